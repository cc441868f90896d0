#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/correction_mixer.h"
#include "phy/common/numeric.h"
#include "phy/common/random_source.h"
#include "phy/common/window.h"

namespace zolk {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

TEST(ComplexOps, AngleInEveryQuadrantAndOnTheAxes) {
    struct Case {
        Complex a;
        float angle;
    };
    const std::array cases{
        Case{{1, 1}, kPi / 4},   Case{{-1, 1}, 3 * kPi / 4}, Case{{-1, -1}, -3 * kPi / 4},
        Case{{1, -1}, -kPi / 4}, Case{{-1, 0}, kPi},         Case{{2, 0}, 0},
        Case{{0, 3}, kPi / 2},   Case{{0, -3}, -kPi / 2},    Case{{0, 0}, 0},
        Case{{-1, -0.0f}, kPi},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a);
        EXPECT_NEAR(complexAngle(c.a), c.angle, 1e-6f);
    }
}

TEST(ComplexOps, ArithmeticNormalizeAndZero) {
    const Complex a{1.5f, -2.0f};
    const Complex b{-0.5f, 3.0f};
    EXPECT_EQ(complexMul(a, b), Complex(1.5f * -0.5f - 3.0f * -2.0f, -2.0f * -0.5f + 3.0f * 1.5f));
    EXPECT_EQ(complexConj(a), Complex(1.5f, 2.0f));
    EXPECT_EQ(complexAdd(a, b), Complex(1.0f, 1.0f));
    EXPECT_EQ(complexSub(a, b), Complex(2.0f, -5.0f));
    EXPECT_FLOAT_EQ(complexPower(a), 6.25f);
    EXPECT_FLOAT_EQ(complexAbs(a), 2.5f);
    const Complex unit = complexNormalize(a);
    EXPECT_FLOAT_EQ(unit.real(), 0.6f);
    EXPECT_FLOAT_EQ(unit.imag(), -0.8f);
    EXPECT_EQ(complexNormalize(Complex{0, 0}), Complex(0, 0));
}

TEST(Window, HammingAndHannComputedInDouble) {
    for (const auto type : {WindowType::Hamming, WindowType::Hann}) {
        SCOPED_TRACE(static_cast<int>(type));
        std::vector<float> w(65);
        window(type, w);
        for (std::size_t i = 0; i < w.size(); ++i) {
            const double c = std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / 64.0);
            const double expected = type == WindowType::Hamming ? 0.54 - 0.46 * c : 0.5 - 0.5 * c;
            EXPECT_EQ(w[i], static_cast<float>(expected)) << i;
        }
        EXPECT_EQ(w[32], 1.0f);
        EXPECT_EQ(w.front(), type == WindowType::Hamming ? static_cast<float>(0.54 - 0.46) : 0.0f);
        EXPECT_EQ(w.front(), w.back());
    }
    std::array<float, 1> single{};
    window(WindowType::Hamming, single);
    EXPECT_FALSE(std::isnan(single[0]));
}

TEST(Log10, ValuesAndNoValueForNonPositive) {
    EXPECT_FLOAT_EQ(log10(1000.0f), 3.0f);
    EXPECT_FLOAT_EQ(log10(0.01f), -2.0f);
    EXPECT_EQ(log10(0.0f), kNoValue);
    EXPECT_EQ(log10(-4.0f), kNoValue);
    EXPECT_EQ(log10(std::nanf("")), kNoValue);
}

TEST(OrderStatistic, WalksDescendingDistinctValues) {
    struct Case {
        const char* name;
        std::vector<float> values;
        float expected;
    };
    const std::array cases{
        Case{"distinct odd is the median", {5, 1, 4, 2, 3}, 3},
        Case{"repeats push the pick further down", {9, 9, 9, 8, 7}, 7},
        Case{"sorting median would be 9", {9, 9, 9, 9, 8, 7, 1}, 1},
        Case{"even count averages two picks", {4, 1, 3, 2}, 2.5f},
        Case{"no-value entries are never picked", {kNoValue, 6, kNoValue, 2, 4}, 2},
        Case{"values from 1e35 up are never picked", {1e35f, 3, 2}, 2},
        Case{"all equal stays on that value", {3, 3, 3, 3}, 3},
        Case{"distinct values run out", {5, 3, 3, 3, 3}, 3},
        Case{"single value", {7}, 7},
        Case{"only no-values", {kNoValue, kNoValue, kNoValue}, kNoValue},
        Case{"empty", {}, kNoValue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FLOAT_EQ(orderStatistic(c.values), c.expected);
    }
}

TEST(ToBits, MostSignificantFirstPaddedOrTruncatedAtTheTop) {
    struct Case {
        std::uint32_t value;
        std::vector<std::uint8_t> bits;
    };
    const std::array cases{
        Case{5, {0, 0, 0, 0, 0, 1, 0, 1}},
        Case{0xA5, {1, 0, 1, 0, 0, 1, 0, 1}},
        Case{0, {0, 0, 0}},
        Case{0b10110, {1, 0, 1}},
        Case{1, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        std::vector<std::uint8_t> bits(c.bits.size(), 9);
        toBits(c.value, bits);
        EXPECT_EQ(bits, c.bits);
    }
}

TEST(CorrectionMixer, ShiftsByTheRequestedFrequencyAndKeepsInstancesApart) {
    constexpr float kRate = 3000.0f;
    CorrectionMixer a;
    CorrectionMixer b;
    for (int n = 0; n < 3000; ++n) {
        const Complex outA = a.mix({1, 0}, 100.0f, kRate);
        const Complex outB = b.mix({0, 2}, -250.0f, kRate);
        const double phaseA = 2.0 * std::numbers::pi * 100.0 * n / kRate;
        const double phaseB = -2.0 * std::numbers::pi * 250.0 * n / kRate;
        ASSERT_NEAR(outA.real(), std::cos(phaseA), 1e-3) << n;
        ASSERT_NEAR(outA.imag(), std::sin(phaseA), 1e-3) << n;
        ASSERT_NEAR(outB.real(), -2 * std::sin(phaseB), 2e-3) << n;
        ASSERT_NEAR(outB.imag(), 2 * std::cos(phaseB), 2e-3) << n;
    }
}

TEST(CorrectionMixer, FrequencyChangeTakesEffectFromTheCurrentPhase) {
    CorrectionMixer mixer;
    mixer.mix({1, 0}, 750.0f, 3000.0f);  // phase 0, advances a quarter turn
    const Complex second = mixer.mix({1, 0}, 1500.0f, 3000.0f);
    EXPECT_NEAR(second.real(), 0.0f, 1e-6f);
    EXPECT_NEAR(second.imag(), 1.0f, 1e-6f);
    const Complex third = mixer.mix({1, 0}, 1500.0f, 3000.0f);  // advanced by half a turn
    EXPECT_NEAR(third.imag(), -1.0f, 1e-6f);
    mixer.reset();
    EXPECT_EQ(mixer.mix({1, 0}, 10.0f, 3000.0f), Complex(1, 0));
}

}  // namespace
}  // namespace zolk
