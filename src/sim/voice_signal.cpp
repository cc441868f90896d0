#include "sim/voice_signal.h"

#include <cmath>
#include <numbers>

namespace zolk::sim {

double voiceSample(const VoiceSettings& v, std::int64_t n) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    const double t = static_cast<double>(n) / 48000.0;
    // The integral of pitch + depth sin(2 pi r t): cycles of the fundamental so far.
    const double cycles = v.pitchHz * t + v.vibratoDepthHz / (kTwoPi * v.vibratoHz) * (1.0 - std::cos(kTwoPi * v.vibratoHz * t));
    const auto formant = [](double f, double centreHz, double widthHz) {
        return std::exp(-(f - centreHz) * (f - centreHz) / (2.0 * widthHz * widthHz));
    };
    double sum = 0.0;
    for (int h = 3; h * v.pitchHz < 2800.0; ++h) {
        const double f = h * v.pitchHz;
        const double weight = formant(f, 600.0, 150.0) + 0.6 * formant(f, 1300.0, 200.0) + 0.3 * formant(f, 2400.0, 250.0);
        sum += weight * std::cos(kTwoPi * h * cycles + 0.9 * h);
    }
    return v.amplitude * 0.5 * std::abs(std::sin(std::numbers::pi * v.syllablesPerS * t + v.syllablePhase)) * sum;
}

}  // namespace zolk::sim
