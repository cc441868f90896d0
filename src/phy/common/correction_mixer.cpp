#include "phy/common/correction_mixer.h"

#include <numbers>

namespace zolk {
namespace {
constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
}

Complex CorrectionMixer::mix(Complex sample, float frequencyHz, float sampleRateHz) {
    if (frequencyHz != m_lastFrequencyHz) {
        // Reduced to one turn so that a single wrap step below always suffices.
        m_increment = std::fmod(kTwoPi * frequencyHz / sampleRateHz, kTwoPi);
        m_lastFrequencyHz = frequencyHz;
    }
    const Complex out = complexMul(sample, Complex{std::cos(m_phase), std::sin(m_phase)});
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
