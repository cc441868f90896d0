#include "phy/rx/tone_soft_bits.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace zolk {

namespace {

constexpr int kMaxCellBits = 4;
constexpr float kMinusInfinity = -1e30f;

// ln of the sum of exp(values[t]) over the tones whose value has `bit` set (wanted = 1) or clear.
float logSumOfSet(std::span<const float> values, int bit, int wanted) {
    float most = kMinusInfinity;
    for (std::size_t t = 0; t < values.size(); ++t) {
        if (static_cast<int>((t >> bit) & 1U) == wanted) most = std::max(most, values[t]);
    }
    float sum = 0.0f;
    for (std::size_t t = 0; t < values.size(); ++t) {
        if (static_cast<int>((t >> bit) & 1U) == wanted) sum += std::exp(values[t] - most);
    }
    return most + std::log(sum);
}

}  // namespace

float logBesselI0(float x) {
    const double a = std::fabs(static_cast<double>(x));
    if (a < 3.75) {
        const double t = (a / 3.75) * (a / 3.75);
        const double i0 =
            1.0 + t * (3.5156229 +
                       t * (3.0899424 +
                            t * (1.2067492 + t * (0.2659732 + t * (0.0360768 + t * 0.0045813)))));
        return static_cast<float>(std::log(i0));
    }
    const double u = 3.75 / a;
    const double scaled =
        0.39894228 +
        u * (0.01328592 +
             u * (0.00225319 +
                  u * (-0.00157565 +
                       u * (0.00916281 +
                            u * (-0.02057706 +
                                 u * (0.02635537 + u * (-0.01647633 + u * 0.00392377)))))));
    return static_cast<float>(a - 0.5 * std::log(a) + std::log(scaled));
}

ToneBitMetric::ToneBitMetric(const ToneLevels& levels)
    : m_gain(levels.noisePower > 0.0f ? 2.0f * levels.amplitude / levels.noisePower : 0.0f) {}

void ToneBitMetric::cellBits(std::span<const float> magnitudes, int bits,
                             std::span<float> out) const {
    if (bits < 1 || bits > kMaxCellBits || magnitudes.size() != (std::size_t{1} << bits) ||
        out.size() < static_cast<std::size_t>(bits)) {
        throw std::invalid_argument("tone soft bits: 2^bits magnitudes and room for bits values");
    }
    std::array<float, std::size_t{1} << kMaxCellBits> metric{};
    for (std::size_t t = 0; t < magnitudes.size(); ++t)
        metric[t] = logBesselI0(m_gain * magnitudes[t]);
    const std::span<const float> values(metric.data(), magnitudes.size());
    for (int k = 0; k < bits; ++k) {
        const int bit = bits - 1 - k;
        out[static_cast<std::size_t>(k)] =
            logSumOfSet(values, bit, 1) - logSumOfSet(values, bit, 0);
    }
}

}  // namespace zolk
