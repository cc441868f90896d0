#include "phy/common/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "phy/common/random_source.h"

namespace zolk {
namespace {

std::vector<Complex> randomSignal(std::size_t n, std::int32_t seed) {
    RandomSource random;
    random.seed(seed);
    std::vector<Complex> x(n);
    for (auto& v : x) {
        v = {static_cast<float>(random.next() - 0.5), static_cast<float>(random.next() - 0.5)};
    }
    return x;
}

TEST(Fft, MatchesTheDirectSumForward) {
    for (const std::size_t n : {2U, 16U, 64U, 1024U}) {
        SCOPED_TRACE(n);
        const auto x = randomSignal(n, static_cast<std::int32_t>(n));
        auto spectrum = x;
        Fft fft(n);
        fft.transform(spectrum);
        for (std::size_t k = 0; k < n; k += n / 16 + 1) {
            std::complex<double> sum = 0;
            for (std::size_t t = 0; t < n; ++t) {
                const double angle = -2.0 * std::numbers::pi * double(k * t % n) / double(n);
                sum += std::complex<double>(x[t]) * std::polar(1.0, angle);
            }
            EXPECT_NEAR(spectrum[k].real(), sum.real(), 1e-4 * double(n)) << k;
            EXPECT_NEAR(spectrum[k].imag(), sum.imag(), 1e-4 * double(n)) << k;
        }
    }
}

TEST(Fft, RefusesSizesThatAreNotPowersOfTwo) {
    for (const std::size_t n : {0U, 1U, 3U, 48U, 1000U}) {
        SCOPED_TRACE(n);
        EXPECT_THROW(Fft{n}, std::invalid_argument);
        EXPECT_THROW(RealSynthesis{n}, std::invalid_argument);
    }
}

TEST(RealSynthesis, Bin32Of1024IsA1500HzCosineOfPeakTwo) {
    std::vector<Complex> bins(513);
    bins[32] = {1, 0};
    std::vector<float> block(1024);
    RealSynthesis synthesis(1024);
    synthesis.synthesize(bins, block);
    float peak = 0;
    for (std::size_t n = 0; n < block.size(); ++n) {
        const double expected =
            2.0 * std::cos(2.0 * std::numbers::pi * 1500.0 * double(n) / 48000.0);
        ASSERT_NEAR(block[n], expected, 1e-4) << n;
        peak = std::max(peak, std::fabs(block[n]));
    }
    EXPECT_NEAR(peak, 2.0f, 1e-5f);
    // 32 whole periods: the next block would start where this one started.
    const double next = 2.0 * std::cos(2.0 * std::numbers::pi * 1500.0 * 1024.0 / 48000.0);
    EXPECT_NEAR(next, block[0], 1e-9);
}

TEST(RealSynthesis, IsTheUnnormalisedInverseOfTheHermitianCompletion) {
    constexpr std::size_t kN = 64;
    auto bins = randomSignal(kN / 2 + 1, 3);
    bins[0].imag(0.0f);
    bins[kN / 2].imag(0.0f);
    std::vector<float> out(kN);
    RealSynthesis synthesis(kN);
    synthesis.synthesize(bins, out);
    for (std::size_t n = 0; n < kN; ++n) {
        std::complex<double> sum = 0;
        for (std::size_t k = 0; k < kN; ++k) {
            const std::complex<double> x = k <= kN / 2
                                               ? std::complex<double>(bins[k])
                                               : std::conj(std::complex<double>(bins[kN - k]));
            sum += x * std::polar(1.0, 2.0 * std::numbers::pi * double(k * n % kN) / double(kN));
        }
        EXPECT_NEAR(out[n], sum.real(), 1e-4) << n;
        EXPECT_NEAR(sum.imag(), 0.0, 1e-4) << n;
    }
    // A phase on a bin shows up as the cosine's phase.
    std::vector<Complex> one(kN / 2 + 1);
    one[5] = std::polar(0.5f, 1.0f);
    synthesis.synthesize(one, out);
    EXPECT_NEAR(out[3], std::cos(2.0 * std::numbers::pi * 15.0 / 64.0 + 1.0), 1e-5);
}

TEST(Fft, MovedObjectsKeepWorkingAndTwinsAgree) {
    Fft a(32);
    Fft moved = std::move(a);
    Fft twin(32);
    auto x = randomSignal(32, 9);
    auto y = x;
    moved.transform(x);
    twin.transform(y);
    EXPECT_EQ(x, y);
}

}  // namespace
}  // namespace zolk
