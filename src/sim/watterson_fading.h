// watterson_fading.h: two-path Rayleigh fading (Watterson model) on an analytic signal, streaming.
// Owns both paths' tap processes and the delay line of the second path; callers own the samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "sim/gaussian_noise.h"

namespace zolk::sim {

struct FadingSettings {
    double spreadHz = 1.0;  // Doppler spread: twice the standard deviation of the Gaussian spectrum
    double delayMs = 2.0;   // delay of the second path behind the first
};

// out(n) = g1(n) in(n) + g2(n) in(n - delay). Each tap is a sum of kSinusoids complex sinusoids
// with Gaussian-distributed Doppler frequencies and uniform phases, which approaches a complex
// Gaussian process with the Gaussian Doppler spectrum of the model; each path carries half of the
// mean power, so the channel keeps the mean power of its input. Taps are computed exactly every
// kTapStep samples and interpolated linearly in between (a 1 Hz spread changes nothing in 1/3 ms).
class WattersonFading {
public:
    static constexpr std::size_t kSinusoids = 32;
    static constexpr std::size_t kTapStep = 16;
    static constexpr double kMaxDelayMs = 50.0;
    static constexpr double kMaxSpreadHz = 50.0;

    // Throws std::invalid_argument for a spread outside 0..kMaxSpreadHz or a delay outside
    // 0..kMaxDelayMs. The Doppler frequencies and phases are drawn from random.
    WattersonFading(const FadingSettings& settings, GaussianNoise& random);

    void process(std::span<Complex> samples);

private:
    struct Path {
        std::vector<double> frequencyHz;
        std::vector<double> phase;  // radians at sample 0
    };
    Complex tapAt(const Path& path, std::int64_t sample) const;

    Path m_paths[2];
    std::size_t m_delaySamples;
    std::vector<Complex> m_line;  // the input's last values for the second path
    std::size_t m_linePos = 0;
    std::int64_t m_sample = 0;    // samples processed so far
    Complex m_tapFrom[2];         // taps at the start of the current step
    Complex m_tapTo[2];           // and at its end
};

}  // namespace zolk::sim
