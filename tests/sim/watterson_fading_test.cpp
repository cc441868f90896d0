#include "sim/watterson_fading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

namespace zolk::sim {
namespace {

constexpr double kRate = 48000.0;

std::complex<double> wide(Complex x) { return {x.real(), x.imag()}; }

// The Doppler spread is Watterson's: twice the standard deviation of each tap's Gaussian power
// spectrum. Such a tap keeps exp(-2 pi^2 sigma^2 tau^2) of its correlation after tau seconds, so
// a 2 Hz spread halves it in 0.1875 s (a 1 Hz spread in 0.375 s); twice or half that spread would
// leave 0.06 or 0.84.
TEST(WattersonFadingTest, TapsDecorrelateAsTheGaussianDopplerSpectrumOfTheSpread) {
    constexpr double kSpreadHz = 2.0;
    constexpr int kRuns = 60;
    constexpr std::size_t kLength = static_cast<std::size_t>(1.5 * kRate);
    constexpr std::size_t kEvery = 240;  // 5 ms between the pairs compared
    const double lags[] = {0.1, 0.1875, 0.25};
    std::vector<std::complex<double>> correlation(std::size(lags));
    double power = 0.0;
    for (int run = 0; run < kRuns; ++run) {
        GaussianNoise random(static_cast<std::uint64_t>(100 + run));
        // No delay: the output of a constant input is g1 + g2, a tap of unit power.
        WattersonFading fading({.spreadHz = kSpreadHz, .delayMs = 0.0}, random);
        std::vector<Complex> taps(kLength, Complex(1.0F, 0.0F));
        fading.process(taps);
        for (std::size_t i = 0; i < std::size(lags); ++i) {
            const auto lag = static_cast<std::size_t>(lags[i] * kRate);
            for (std::size_t n = 0; n + lag < kLength; n += kEvery) {
                correlation[i] += wide(taps[n + lag]) * std::conj(wide(taps[n]));
            }
        }
        for (std::size_t n = 0; n < kLength; n += kEvery) power += std::norm(wide(taps[n]));
    }
    const double pairsPerRun = static_cast<double>((kLength + kEvery - 1) / kEvery);
    power /= kRuns * pairsPerRun;
    EXPECT_NEAR(power, 1.0, 0.1);
    const double sigmaHz = kSpreadHz / 2.0;
    for (std::size_t i = 0; i < std::size(lags); ++i) {
        SCOPED_TRACE("lag " + std::to_string(lags[i]) + " s");
        const auto lag = static_cast<std::size_t>(lags[i] * kRate);
        const double pairs = kRuns * static_cast<double>((kLength - lag + kEvery - 1) / kEvery);
        const double expected = std::exp(-2.0 * std::numbers::pi * std::numbers::pi * sigmaHz * sigmaHz * lags[i] * lags[i]);
        EXPECT_NEAR(std::abs(correlation[i]) / pairs / power, expected, 0.06);
    }
}

// Single samples 20 ms apart come out as g1(n) at n and g2(n + delay) at n + delay: each path
// carries half the power and the two fade independently of each other (a 10 Hz spread makes the
// samples of one run nearly independent too).
TEST(WattersonFadingTest, TwoPathsOfHalfThePowerFadeIndependently) {
    constexpr std::size_t kDelay = 96;  // 2 ms
    constexpr std::size_t kEvery = 960;
    constexpr int kRuns = 20;
    constexpr std::size_t kLength = static_cast<std::size_t>(2.0 * kRate);
    double first = 0.0;
    double second = 0.0;
    std::complex<double> cross = 0.0;
    int count = 0;
    for (int run = 0; run < kRuns; ++run) {
        GaussianNoise random(static_cast<std::uint64_t>(500 + run));
        WattersonFading fading({.spreadHz = 10.0, .delayMs = 2.0}, random);
        std::vector<Complex> x(kLength);
        for (std::size_t n = 0; n < kLength; n += kEvery) x[n] = Complex(1.0F, 0.0F);
        fading.process(x);
        for (std::size_t n = 0; n + kDelay < kLength; n += kEvery) {
            const auto g1 = wide(x[n]);
            const auto g2 = wide(x[n + kDelay]);
            first += std::norm(g1);
            second += std::norm(g2);
            cross += g1 * std::conj(g2);
            ++count;
        }
    }
    EXPECT_NEAR(first / count, 0.5, 0.05);
    EXPECT_NEAR(second / count, 0.5, 0.05);
    // Fully correlated paths would give 0.5 here.
    EXPECT_LT(std::abs(cross) / count, 0.06);
}

}  // namespace
}  // namespace zolk::sim
