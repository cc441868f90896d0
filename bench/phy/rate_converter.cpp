#include "rate_converter.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace zolk::bench {
namespace {

constexpr std::size_t kTaps = 145;

std::array<double, kTaps> design() {
    constexpr double kBeta = 8.0;
    constexpr double kCutoff = 3600.0 / 48000.0;  // cycles per sample
    std::array<double, kTaps> h{};
    double sum = 0.0;
    for (std::size_t n = 0; n < kTaps; ++n) {
        const double m = static_cast<double>(n) - (kTaps - 1) / 2.0;
        const double sinc =
            m == 0.0 ? 2.0 * kCutoff
                     : std::sin(2.0 * std::numbers::pi * kCutoff * m) / (std::numbers::pi * m);
        const double r = 2.0 * static_cast<double>(n) / (kTaps - 1) - 1.0;
        h[n] = sinc * std::cyl_bessel_i(0.0, kBeta * std::sqrt(1.0 - r * r)) /
               std::cyl_bessel_i(0.0, kBeta);
        sum += h[n];
    }
    for (auto& tap : h) tap /= sum;  // unit gain at 0 Hz
    return h;
}

const std::array<double, kTaps>& filter() {
    static const auto kH = design();
    return kH;
}

}  // namespace

std::vector<float> upsample(std::span<const float> audio8k) {
    const auto& h = filter();
    std::vector<float> out(audio8k.size() * kRateFactor);
    for (std::size_t n = 0; n < out.size(); ++n) {
        // Only every sixth input of the zero-stuffed signal is non-zero.
        double sum = 0.0;
        for (std::size_t k = n % kRateFactor; k < kTaps && k <= n; k += kRateFactor) {
            sum += h[k] * audio8k[(n - k) / kRateFactor];
        }
        out[n] = static_cast<float>(sum * kRateFactor);
    }
    return out;
}

std::vector<float> downsample(std::span<const float> audio48k) {
    const auto& h = filter();
    std::vector<float> out(audio48k.size() / kRateFactor);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t n = i * kRateFactor;
        double sum = 0.0;
        for (std::size_t k = 0; k < kTaps && k <= n; ++k) sum += h[k] * audio48k[n - k];
        out[i] = static_cast<float>(sum);
    }
    return out;
}

}  // namespace zolk::bench
