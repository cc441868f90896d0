// tx_rig.h: one station's transmit side without a sound card: modulator, symbol feeder and audio
// engine, keyed by the rig itself. Owns all of them; what the played samples become (a WAV file,
// a measurement) is the caller's business.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "app/settings.h"
#include "phy/common/audio_engine.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/tx/frame_modulator.h"
#include "phy/tx/symbol_feeder.h"
#include "phy/tx/tx_cells.h"

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
    void transmit(int mode, std::span<const std::vector<std::uint8_t>> frames,
                  const SampleSink& sink);

private:
    struct Surroundings;

    RandomSource m_random;
    DrawnTables m_drawn;
    TxCells m_cells;
    FrameModulator m_modulator;
    Settings m_settings;
    std::unique_ptr<Surroundings> m_surroundings;
    AudioEngine m_engine;
    SymbolFeeder m_feeder;
};

}  // namespace zolk::phytool
