#include "phy/rx/soft_demapper.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "phy/common/constellation.h"
#include "synthetic_frames.h"

namespace zolk {
namespace {

const QamNeighbourTable& qam() {
    static const QamNeighbourTable kTable(qamColumn());
    return kTable;
}

struct ClipCase {
    int bits;
    float clip;
};

class SoftDemapperClips : public ::testing::TestWithParam<ClipCase> {};

// A cell on a constellation point yields its label's bits as signs; far outside the constellation
// every value sits exactly at the clip.
TEST_P(SoftDemapperClips, SignsFollowTheLabelAndMagnitudesStopAtTheClip) {
    const auto [bits, clip] = GetParam();
    EXPECT_FLOAT_EQ(softClip(bits), clip);
    const int points = 1 << bits;
    for (int value = 0; value < points; ++value) {
        SCOPED_TRACE(::testing::Message() << "value " << value);
        const Complex p = kConstellationTable[static_cast<std::size_t>(value)]
                                             [static_cast<std::size_t>(bits - 1)];
        std::vector<float> soft(static_cast<std::size_t>(bits));
        softDemap(std::array<Complex, 1>{p}, bits, qam(), soft);
        for (int j = 0; j < bits; ++j) {
            const float v = soft[static_cast<std::size_t>(j)];
            EXPECT_LE(std::abs(v), clip);
            EXPECT_EQ(v > 0.0f, test::bitOf(value, bits, j) == 1) << "bit " << j << " soft " << v;
        }
        // Fifty times too strong: the linear values run into the clip (the 32-point max-log
        // values depend on the far point's geometry and are left out).
        softDemap(std::array<Complex, 1>{Complex{p.real() * 50.0f, p.imag() * 50.0f}}, bits, qam(),
                  soft);
        for (int j = 0; j < bits; ++j) {
            if (bits == 5 && j % 2 == 0) continue;
            EXPECT_FLOAT_EQ(std::abs(soft[static_cast<std::size_t>(j)]), clip) << "bit " << j;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BitsPerCell, SoftDemapperClips,
                         ::testing::Values(ClipCase{2, 2.0f}, ClipCase{3, 2.0f}, ClipCase{4, 0.4714f},
                                           ClipCase{5, 0.343f}));

TEST(SoftDemapper, ZeroSixteenPointCellGivesFourZeros) {
    const std::array<Complex, 2> cells{Complex{0.0f, 0.0f}, Complex{1e-6f, 0.0f}};
    std::vector<float> soft(8);
    softDemap(cells, 4, qam(), soft);
    EXPECT_EQ(soft[0], 0.0f);
    EXPECT_EQ(soft[1], 0.0f);
    EXPECT_EQ(soft[2], 0.0f);
    EXPECT_EQ(soft[3], 0.0f);
    // A cell that is merely small still says "inner level" on both axes.
    EXPECT_NEAR(soft[5], 0.4714f, 1e-5f);
    EXPECT_NEAR(soft[7], 0.4714f, 1e-5f);
}

TEST(SoftDemapper, PskFormulasOnKnownCells) {
    // QPSK: (x, y) = (0.5, -0.25): -0.707 (y + x), -0.707 (x - y).
    std::vector<float> soft(2);
    softDemap(std::array<Complex, 1>{Complex{0.5f, -0.25f}}, 2, qam(), soft);
    EXPECT_NEAR(soft[0], -0.707f * 0.25f, 1e-6f);
    EXPECT_NEAR(soft[1], -0.707f * 0.75f, 1e-6f);
    // 8PSK: a cell halfway between the points 0 (0 deg) and 1 (45 deg) leaves the last bit undecided.
    soft.assign(3, 0.0f);
    const float a = 22.5f * 3.14159265f / 180.0f;
    softDemap(std::array<Complex, 1>{Complex{std::cos(a), std::sin(a)}}, 3, qam(), soft);
    EXPECT_LT(soft[0], 0.0f);
    EXPECT_LT(soft[1], 0.0f);
    EXPECT_NEAR(soft[2], 0.0f, 1e-3f);
}

TEST(SoftDemapper, ThirtyTwoPointCellBetweenTwoPointsIsUndecidedInTheirDifferingBit) {
    // Labels 0 (-b, -b) and 1 (-b, -3b) differ only in the last bit; halfway between them that
    // bit's max-log value is 0 and the others keep their sign.
    const Complex p0 = qam().point(0);
    const Complex p1 = qam().point(1);
    const Complex mid{(p0.real() + p1.real()) / 2.0f, (p0.imag() + p1.imag()) / 2.0f};
    std::vector<float> soft(5);
    softDemap(std::array<Complex, 1>{mid}, 5, qam(), soft);
    EXPECT_NEAR(soft[4], 0.0f, 1e-5f);
    EXPECT_LT(soft[0], 0.0f);
    EXPECT_LT(soft[1], 0.0f);
    EXPECT_LT(soft[2], 0.0f);
    EXPECT_LT(soft[3], 0.0f);
}

TEST(QamNeighbourTable, ListsHoldTheNearestPointsOfTheOtherBitValue) {
    const auto& table = qam();
    for (int a = 0; a < kQamPoints; ++a) {
        for (int bit = 0; bit < kQamBits; ++bit) {
            SCOPED_TRACE(::testing::Message() << "point " << a << " bit " << bit);
            const int own = test::bitOf(a, kQamBits, bit);
            for (const auto entry : table.list(a, bit, own)) EXPECT_EQ(entry, kQamSelf);
            const auto& other = table.list(a, bit, 1 - own);
            float previous = 0.0f;
            for (const auto entry : other) {
                ASSERT_LT(entry, kQamPoints);
                EXPECT_EQ(test::bitOf(entry, kQamBits, bit), 1 - own);
                const float d = std::norm(table.point(entry) - table.point(a));
                EXPECT_GE(d, previous);
                previous = d;
            }
            // No point of the other value lies closer than the first entry.
            const float nearest = std::norm(table.point(other[0]) - table.point(a));
            for (int q = 0; q < kQamPoints; ++q) {
                if (test::bitOf(q, kQamBits, bit) != own) {
                    EXPECT_GE(std::norm(table.point(q) - table.point(a)), nearest);
                }
            }
        }
    }
}

TEST(QamNeighbourTable, DecidesEveryPointToItself) {
    for (int a = 0; a < kQamPoints; ++a) EXPECT_EQ(qam().decide(qam().point(a)), a);
    // Beyond the missing corner (5, 5) units the nearest existing points are (5, 3) and (3, 5).
    const float b = 0.1714987f;
    const int corner = qam().decide(Complex{6.0f * b, 5.5f * b});
    EXPECT_EQ(qam().point(corner), (Complex{5.0f * b, 3.0f * b}));
}

}  // namespace
}  // namespace zolk
