// tx_rig.h: one station's transmit side without a sound card: the transmit chain on an audio
// engine that the rig itself keys. Owns both; what the played samples become (a WAV file, a
// measurement) is the caller's business.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "app/settings.h"
#include "phy/common/audio_engine.h"
#include "phy/common/control_patterns.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/tx/transmit_chain.h"

namespace zolk::phytool {

class TxRig {
public:
    using SampleSink = std::function<void(std::span<const std::int16_t>)>;

    TxRig(const TablesFile& tables, std::int16_t txDriveLevel_db);
    ~TxRig();
    TxRig(const TxRig&) = delete;
    TxRig& operator=(const TxRig&) = delete;

    // Sends one data transmission of one or two frames (NetBytes each) in mode and hands sink
    // every sample the playback sends from PTT on until the feeder releases PTT.
    void transmit(int mode, std::span<const std::span<const std::uint8_t>> frames,
                  const SampleSink& sink);

    // Sends the control frame of code (1..26) drawn in table, the lead-in tone first when
    // leadInTone; the same hand-over of samples.
    void transmitControl(const ControlPatternTable& table, int code, bool leadInTone, const SampleSink& sink);

private:
    struct Surroundings;

    void play(const SampleSink& sink);

    RandomSource m_random;
    DrawnTables m_drawn;
    Settings m_settings;
    std::unique_ptr<Surroundings> m_surroundings;
    AudioEngine m_engine;
    TransmitChain m_chain;
};

}  // namespace zolk::phytool
