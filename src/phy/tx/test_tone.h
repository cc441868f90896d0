// test_tone.h: transmit generator 2: the steady 1500 Hz tune-up tone at the level of the data
// symbols. Owns only its synthesis; PTT and the choice of generator belong to the tune control.
#pragma once

#include <vector>

#include <cstdint>
#include "phy/common/audio_engine.h"
#include "phy/tx/symbol_synthesis.h"

namespace zolk {

class TestTone final : public TxSignalGenerator {
public:
    static constexpr int kToneBin = 32;  // 32 x 46.875 Hz = 1500 Hz, 32 whole cycles per block

    // Reads the drive level (dB, the operator's setting, which must outlive the tone) at every
    // block, so the slider acts while tuning.
    explicit TestTone(const std::int16_t& driveLevelDb);

    // The engine never starts the test tone: its first keyed buffer only flushes.
    void init() override {}
    // One 1024-sample block. Every block is the same, so the repeated blocks form
    // one continuous tone.
    void next(TxSampleRing& ring) override;

private:
    const std::int16_t& m_driveLevelDb;
    ToneBlockSynthesizer m_synthesizer;
    std::vector<Complex> m_spectrum;
    std::vector<float> m_out;
};

}  // namespace zolk
