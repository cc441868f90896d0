// symbol_feeder.h: transmit generator 1: fills the TxSampleRing period by period with lead-in,
// frame symbols or tone blocks, the optional 1500 Hz lead-in tone and the queue-draining tail,
// then releases PTT. Owns the transmission's timeline and the lead-in tone flags; the cells come
// from TxCells, the ring and its pacing from the audio engine, the keying from the PTT control.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/audio_engine.h"
#include "phy/common/mode_table.h"
#include "phy/tx/symbol_synthesis.h"
#include "phy/tx/tx_cells.h"

namespace zolk {

// The keying the feeder drops when its signal has left the playback queue.
class PttRelease {
public:
    virtual ~PttRelease() = default;
    virtual void pttOff() = 0;
};

class SymbolFeeder final : public TxSignalGenerator {
public:
    static constexpr int kToneSignalEnd = 32;    // kind-1 signals send columns 1..31
    static constexpr int kLongToneBlocks = 469;  // 10 s of lead-in tone in 21.333 ms blocks
    static constexpr int kShortToneBlocks = 19;  // 400 ms

    // Reads the signal kind from the engine and the drive level (dB, the operator's setting,
    // which must outlive the feeder) at every period, so a change acts on the next one.
    SymbolFeeder(const TxCells& cells, const AudioEngine& engine, const std::int16_t& driveLevelDb,
                 PttRelease& ptt);

    // The transmit ModeIndex of the coming kind-2 transmissions.
    void setTransmitMode(int modeIndex);
    // FramesPerBurst: 1, or 2 to send both FrameMatrix slots.
    void setFramesPerBurst(int frames);
    // LeadInToneArmed: transmissions start with the 1500 Hz tone instead of lead-in symbols until
    // a kind-1 transmission reaches PTT off, which disarms it.
    void setLeadInToneArmed(bool armed) { m_leadInToneArmed = armed; }
    bool leadInToneArmed() const { return m_leadInToneArmed; }
    // LeadInToneLength: 1 selects the 10 s tone, any other value 400 ms; the next transmission
    // that sends the tone resets it to 0.
    void setLeadInToneLength(std::uint8_t selector) { m_leadInToneLength = selector; }
    std::uint8_t leadInToneLength() const { return m_leadInToneLength; }

    // The first playback buffer after PTT on.
    void init() override;
    // One ring period (1024 samples for kind 1, the mode's SymbolLength for kind 2).
    void next(TxSampleRing& ring) override;

    // SymbolCounter: negative during the lead-in, then 1, 2, ... for the signal periods.
    int symbolCounter() const { return m_symbolCounter; }

private:
    int signalEnd() const;
    void leadInTone(std::span<float> out, std::int16_t txDriveLevelDb);

    const TxCells& m_cells;
    const AudioEngine& m_engine;
    const std::int16_t& m_driveLevelDb;
    PttRelease& m_ptt;
    ToneBlockSynthesizer m_toneSynthesizer;
    CarrierSymbolSynthesizer m_carrierSynthesizer;
    std::vector<float> m_out;

    const ModeRecord* m_mode = &modeRecord(0);
    TxSignalKind m_kind = TxSignalKind::ToneBlocks;
    int m_framesPerBurst = 1;
    int m_symbolCounter = 0;
    int m_leadInCounter = 0;
    double m_tonePhase = 0.0;
    bool m_leadInToneArmed = false;
    std::uint8_t m_leadInToneLength = 0;
};

}  // namespace zolk
