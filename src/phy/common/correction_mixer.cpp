#include "phy/common/correction_mixer.h"

#include <numbers>

namespace zolk {
namespace {
constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
}

Complex CorrectionMixer::mix(Complex sample, float frequency_hz, float sampleRate_hz) {
    if (frequency_hz != m_lastFrequency_hz) {
        // Reduced to one turn so that a single wrap step below always suffices.
        m_increment = std::fmod(kTwoPi * frequency_hz / sampleRate_hz, kTwoPi);
        m_lastFrequency_hz = frequency_hz;
    }
    const Complex out = ComplexMul(sample, Complex{std::cos(m_phase), std::sin(m_phase)});
    m_phase += m_increment;
    if (m_phase > kTwoPi) {
        m_phase -= kTwoPi;
    } else if (m_phase < 0.0f) {
        m_phase += kTwoPi;
    }
    return out;
}

void CorrectionMixer::reset() { *this = CorrectionMixer{}; }

}  // namespace zolk
