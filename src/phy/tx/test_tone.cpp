#include "phy/tx/test_tone.h"

namespace zolk {

TestTone::TestTone(const std::int16_t& driveLevelDb)
    : m_driveLevelDb(driveLevelDb), m_spectrum(kToneBlockBins), m_out(kToneBlockSamples) {
    m_spectrum[kToneBin] = Complex{1.0f, 0.0f};
}

void TestTone::next(TxSampleRing& ring) {
    m_synthesizer.synthesize(m_spectrum, m_driveLevelDb, m_out);
    toRingSamples(m_out, std::span(ring).first(kToneBlockSamples));
}

}  // namespace zolk
