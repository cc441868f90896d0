#include "phy/tx/test_tone.h"

#include <stdexcept>

namespace zolk {

TestTone::TestTone() : m_spectrum(ToneBlockBins), m_out(ToneBlockLength) {
    m_spectrum[ToneBin] = Complex{1.0f, 0.0f};
}

void TestTone::TestToneNext(std::span<std::int16_t> ring, std::int16_t txDriveLevel_db) {
    if (ring.size() < static_cast<std::size_t>(ToneBlockLength)) {
        throw std::invalid_argument("the test tone needs a ring of 1024 samples");
    }
    m_synthesizer.synthesize(m_spectrum, txDriveLevel_db, m_out);
    toRingSamples(m_out, ring.first(ToneBlockLength));
}

}  // namespace zolk
