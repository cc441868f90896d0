// test_tone.h: transmit generator 2: the steady 1500 Hz tune-up tone at the level of the data
// symbols. Owns only its synthesis; PTT and the choice of generator belong to the tune control.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "phy/tx/symbol_synthesis.h"

namespace zolk {

class TestTone {
public:
    static constexpr int ToneBin = 32;  // 32 x 46.875 Hz = 1500 Hz, 32 whole cycles per block

    TestTone();
    // TestToneNext: one ring period of ToneBlockLength samples. Every block is the same, so the
    // repeated blocks form one continuous tone.
    void TestToneNext(std::span<std::int16_t> ring, std::int16_t txDriveLevel_db);

private:
    ToneBlockSynthesizer m_synthesizer;
    std::vector<Complex> m_spectrum;
    std::vector<float> m_out;
};

}  // namespace zolk
