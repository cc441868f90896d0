#include "sim/watterson_fading.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace zolk::sim {
namespace {

constexpr double kSampleRateHz = 48000.0;

}  // namespace

WattersonFading::WattersonFading(const FadingSettings& settings, GaussianNoise& random) {
    if (!(settings.spreadHz >= 0.0 && settings.spreadHz <= kMaxSpreadHz)) {
        throw std::invalid_argument("fading spread " + std::to_string(settings.spreadHz) + " Hz is outside 0..50 Hz");
    }
    if (!(settings.delayMs >= 0.0 && settings.delayMs <= kMaxDelayMs)) {
        throw std::invalid_argument("fading path delay " + std::to_string(settings.delayMs) +
                                    " ms is outside 0..50 ms");
    }
    const double sigmaHz = settings.spreadHz / 2.0;
    for (auto& path : m_paths) {
        for (std::size_t i = 0; i < kSinusoids; ++i) {
            path.frequencyHz.push_back(sigmaHz * random.next());
            path.phase.push_back(2.0 * std::numbers::pi * random.uniform());
        }
    }
    m_delaySamples = static_cast<std::size_t>(std::lround(settings.delayMs * kSampleRateHz / 1000.0));
    m_line.assign(m_delaySamples + 1, Complex{});
    for (int p = 0; p < 2; ++p) m_tapTo[p] = tapAt(m_paths[p], 0);
}

Complex WattersonFading::tapAt(const Path& path, std::int64_t sample) const {
    const double t = static_cast<double>(sample) / kSampleRateHz;
    double re = 0.0;
    double im = 0.0;
    for (std::size_t i = 0; i < kSinusoids; ++i) {
        // Whole cycles dropped before scaling, so the phase stays exact over long runs.
        const double cycles = path.frequencyHz[i] * t;
        const double angle = 2.0 * std::numbers::pi * (cycles - std::floor(cycles)) + path.phase[i];
        re += std::cos(angle);
        im += std::sin(angle);
    }
    const double scale = 1.0 / std::sqrt(2.0 * static_cast<double>(kSinusoids));
    return {static_cast<float>(re * scale), static_cast<float>(im * scale)};
}

void WattersonFading::process(std::span<Complex> samples) {
    for (auto& x : samples) {
        const auto step = static_cast<std::size_t>(m_sample % static_cast<std::int64_t>(kTapStep));
        if (step == 0) {
            for (int p = 0; p < 2; ++p) {
                m_tapFrom[p] = m_tapTo[p];
                m_tapTo[p] = tapAt(m_paths[p], m_sample + static_cast<std::int64_t>(kTapStep));
            }
        }
        const float w = static_cast<float>(step) / static_cast<float>(kTapStep);
        const Complex g1 = m_tapFrom[0] + (m_tapTo[0] - m_tapFrom[0]) * w;
        const Complex g2 = m_tapFrom[1] + (m_tapTo[1] - m_tapFrom[1]) * w;
        m_line[m_linePos] = x;
        const std::size_t older = (m_linePos + 1) % m_line.size();  // written delay samples ago
        x = g1 * x + g2 * m_line[older];
        m_linePos = older;
        ++m_sample;
    }
}

}  // namespace zolk::sim
