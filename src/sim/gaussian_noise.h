// gaussian_noise.h: a seeded source of independent Gaussian and uniform draws for the channel.
// Owns its generator state; callers own the scaling and where the draws go.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

namespace zolk::sim {

// mt19937_64's output sequence is fixed by the C++ standard and the transform below is our own,
// so a seed gives the same noise on every compiler and machine.
class GaussianNoise {
public:
    explicit GaussianNoise(std::uint64_t seed) : m_engine(seed) {}

    // Uniform in [0, 1), 53 bits.
    double uniform() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }

    // Zero mean, unit variance (Box-Muller; the second value of each pair is kept for the next call).
    double next() {
        if (m_hasSpare) {
            m_hasSpare = false;
            return m_spare;
        }
        const double u1 = 1.0 - uniform();  // (0, 1]: the logarithm stays finite
        const double u2 = uniform();
        const double radius = std::sqrt(-2.0 * std::log(u1));
        const double angle = 2.0 * std::numbers::pi * u2;
        m_spare = radius * std::sin(angle);
        m_hasSpare = true;
        return radius * std::cos(angle);
    }

private:
    std::mt19937_64 m_engine;
    double m_spare = 0.0;
    bool m_hasSpare = false;
};

}  // namespace zolk::sim
