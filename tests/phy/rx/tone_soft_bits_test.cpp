#include "phy/rx/tone_soft_bits.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <random>
#include <stdexcept>
#include <vector>

namespace zolk {
namespace {

TEST(LogBesselI0, FollowsTheBesselFunctionWithoutOverflow) {
    for (const double x : {0.0, 0.3, 1.0, 2.5, 3.7, 3.8, 6.0, 20.0, 200.0}) {
        const double expected = std::log(std::cyl_bessel_i(0.0, x));
        EXPECT_NEAR(logBesselI0(static_cast<float>(x)), expected, 1e-5 * (1.0 + expected))
            << "x " << x;
    }
    // Far beyond the double range of I0 itself: x - ln(2 pi x) / 2.
    const double x = 1e5;
    EXPECT_NEAR(logBesselI0(static_cast<float>(x)), x - 0.5 * std::log(2.0 * M_PI * x), 0.02);
}

// Four candidates (two bits): each bit is ln of the summed likelihoods of the values with the bit
// set over those with it clear, computed here straight from the Bessel function.
TEST(ToneBitMetric, TwoBitCellMatchesTheSummedLikelihoods) {
    const ToneLevels levels{2.0f, 3.0f};  // gain 2 A / N = 3
    const ToneBitMetric metric(levels);
    const std::array<float, 4> magnitudes{0.4f, 1.1f, 0.2f, 0.9f};
    std::array<float, 2> out{};
    metric.cellBits(magnitudes, 2, out);
    std::array<double, 4> likelihood{};
    for (std::size_t v = 0; v < 4; ++v) likelihood[v] = std::cyl_bessel_i(0.0, 3.0 * magnitudes[v]);
    EXPECT_NEAR(out[0], std::log((likelihood[2] + likelihood[3]) / (likelihood[0] + likelihood[1])),
                1e-4);
    EXPECT_NEAR(out[1], std::log((likelihood[1] + likelihood[3]) / (likelihood[0] + likelihood[2])),
                1e-4);
}

TEST(ToneBitMetric, RefusesCellsOfTheWrongSize) {
    const ToneBitMetric metric(ToneLevels{1.0f, 1.0f});
    std::array<float, 3> out{};
    const std::array<float, 4> four{};
    const std::array<float, 8> eight{};
    EXPECT_THROW(metric.cellBits(four, 3, out), std::invalid_argument);
    EXPECT_THROW(metric.cellBits(eight, 5, out), std::invalid_argument);
    EXPECT_THROW(metric.cellBits(eight, 3, std::span<float>(out).first(2)), std::invalid_argument);
}

// The values are true log-likelihood ratios: among bits whose value has magnitude near |L|, the
// share with the wrong sign is 1 / (1 + e^|L|). Eight-tone cells at 6 dB Es/N0 in complex noise.
TEST(ToneBitMetric, SoftValuesAreCalibratedLikelihoodRatios) {
    constexpr int kBits = 3;
    constexpr int kTones = 1 << kBits;
    constexpr float kNoisePower = 1.0f;
    const float amplitude = std::sqrt(std::pow(10.0f, 0.6f) * kNoisePower);
    const ToneBitMetric metric(ToneLevels{kNoisePower, amplitude});
    std::mt19937 rng(7);
    std::normal_distribution<float> gauss(0.0f, std::sqrt(kNoisePower / 2.0f));
    std::uniform_real_distribution<float> phase(0.0f, 2.0f * static_cast<float>(M_PI));
    struct Bucket {
        float low, high;
        int count = 0;
        int wrong = 0;
        double expectedWrong = 0.0;
    };
    std::array<Bucket, 3> buckets{Bucket{0.5f, 1.5f}, Bucket{1.5f, 3.0f}, Bucket{3.0f, 5.0f}};
    std::array<float, kTones> magnitudes{};
    std::array<float, kBits> out{};
    for (int cell = 0; cell < 40000; ++cell) {
        const int value = static_cast<int>(rng() % kTones);
        for (int t = 0; t < kTones; ++t) {
            std::complex<float> y(gauss(rng), gauss(rng));
            if (t == value) y += std::polar(amplitude, phase(rng));
            magnitudes[static_cast<std::size_t>(t)] = std::abs(y);
        }
        metric.cellBits(magnitudes, kBits, out);
        for (int k = 0; k < kBits; ++k) {
            const float l = out[static_cast<std::size_t>(k)];
            const bool one = ((value >> (kBits - 1 - k)) & 1) == 1;
            for (Bucket& b : buckets) {
                if (std::abs(l) < b.low || std::abs(l) >= b.high) continue;
                ++b.count;
                b.wrong += (l > 0.0f) != one;
                b.expectedWrong += 1.0 / (1.0 + std::exp(std::abs(l)));
            }
        }
    }
    for (const Bucket& b : buckets) {
        ASSERT_GT(b.count, 2000) << b.low;
        const double measured = static_cast<double>(b.wrong) / b.count;
        const double expected = b.expectedWrong / b.count;
        EXPECT_NEAR(measured, expected, 0.15 * expected + 0.005)
            << "|L| in " << b.low << ".." << b.high;
    }
}

}  // namespace
}  // namespace zolk
