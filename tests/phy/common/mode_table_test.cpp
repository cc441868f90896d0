#include "phy/common/mode_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>
#include <set>

#include "phy/common/constellation.h"
#include "phy/common/drawn_tables.h"

namespace zolk {
namespace {

// The derived figures, one row per mode, worked out by hand from the base figures.
struct Derived {
    int symbolLength, guardLength, symbolMs;
    float carrierSpacing;
    int tailSymbols, leadInSymbols, lastCarrierBin, pilotCells, reservedCells, dataCells, codedBits,
        infoBits, infoBytes, userBytes, netBitRate, throughput;
};

// clang-format off
constexpr std::array<Derived, kModeCount> kDerived{{
    {1024, 0, 21, 46.875f, 50, 9, 0, 0, 24, 108, 324, 104, 13, 10, 41, 24},
    {1024, 0, 21, 46.875f, 50, 9, 0, 0, 24, 196, 588, 192, 24, 21, 41, 32},
    {1024, 0, 21, 46.875f, 50, 9, 0, 0, 24, 199, 796, 392, 49, 46, 82, 69},
    {512, 0, 11, 93.75f, 100, 16, 0, 0, 24, 425, 1700, 844, 105, 102, 175, 152},
    {512, 0, 11, 93.75f, 100, 16, 0, 0, 24, 874, 2622, 1305, 163, 160, 272, 239},
    {384, 128, 8, 187.5f, 134, 22, 12, 0, 51, 1743, 3486, 1737, 217, 214, 362, 319},
    {640, 128, 13, 93.75f, 80, 14, 26, 0, 48, 2816, 5632, 2810, 351, 348, 587, 520},
    {640, 128, 13, 93.75f, 80, 14, 27, 0, 48, 4248, 8496, 4242, 530, 527, 886, 787},
    {1152, 128, 24, 46.875f, 45, 8, 55, 0, 48, 9456, 18912, 9450, 1181, 1178, 1978, 1763},
    {1152, 128, 24, 46.875f, 45, 8, 55, 0, 48, 9360, 28080, 14034, 1754, 1751, 2968, 2644},
    {1152, 128, 24, 46.875f, 45, 8, 55, 1176, 1224, 8088, 32352, 16170, 2021, 2018, 3473, 3089},
    {1152, 128, 24, 46.875f, 45, 8, 55, 1152, 1200, 8016, 40080, 20034, 2504, 2501, 4347, 3864},
    {1152, 128, 24, 46.875f, 45, 8, 55, 840, 888, 5832, 29160, 19432, 2429, 2426, 5783, 4938},
    {1152, 128, 24, 46.875f, 45, 8, 55, 816, 864, 5568, 27840, 22260, 2782, 2779, 6920, 5871},
    {1024, 0, 21, 46.875f, 50, 9, 0, 0, 24, 84, 252, 80, 10, 7, 41, 19},
}};
// clang-format on

class ModeTableRow : public testing::TestWithParam<int> {};

TEST_P(ModeTableRow, ReproducesTheDerivedFigures) {
    const int mode = GetParam();
    const ModeRecord& r = modeRecord(mode);
    const Derived& d = kDerived[static_cast<std::size_t>(mode)];
    EXPECT_EQ(r.symbolLength, d.symbolLength);
    EXPECT_EQ(r.guardLength, d.guardLength);
    EXPECT_EQ(r.symbolMs, d.symbolMs);
    EXPECT_EQ(r.carrierSpacing, d.carrierSpacing);
    EXPECT_EQ(r.tailSymbols, d.tailSymbols);
    EXPECT_EQ(r.leadInSymbols, d.leadInSymbols);
    EXPECT_EQ(r.lastCarrierBin, d.lastCarrierBin);
    EXPECT_EQ(r.pilotCells, d.pilotCells);
    EXPECT_EQ(r.reservedCells, d.reservedCells);
    EXPECT_EQ(r.dataCells, d.dataCells);
    EXPECT_EQ(r.codedBits, d.codedBits);
    EXPECT_EQ(r.infoBits, d.infoBits);
    EXPECT_EQ(r.infoBytes, d.infoBytes);
    EXPECT_EQ(r.userBytes, d.userBytes);
    EXPECT_EQ(r.netBitRate, d.netBitRate);
    EXPECT_EQ(r.throughput, d.throughput);
}

TEST_P(ModeTableRow, InternalRelationsHold) {
    const int mode = GetParam();
    const ModeRecord& r = modeRecord(mode);
    EXPECT_EQ(r.turboConstraint, 4);
    EXPECT_EQ(r.encoderKind, 1);
    EXPECT_EQ(r.outerParityFraction, 0.0f);
    EXPECT_EQ(r.transformSize, r.binsPerSymbol * 16);
    EXPECT_EQ(r.crossfadeLength, 32);
    EXPECT_EQ(r.binGroups, r.binsPerSymbol / 16);
    EXPECT_EQ(r.guardEighths, std::lround((1.0 + r.guardFraction) * 8));
    EXPECT_EQ(r.frameLengthUnits, (r.symbolLimit - 1) * r.binGroups * r.guardEighths);
    for (int i = 1; i <= kCheckpointCount; ++i) {
        EXPECT_EQ(r.checkpoints[static_cast<std::size_t>(i - 1)],
                  (2 * i - 1) * r.frameLengthUnits / 20);
    }
    EXPECT_EQ(r.codedBits, r.dataCells * r.bitsPerCell);
    EXPECT_EQ(r.netBytes, r.infoBytes);
    EXPECT_EQ(r.outerLayout.netBytes, r.infoBytes);
    EXPECT_EQ(r.outerLayout.codedBytes, r.infoBytes);
    EXPECT_EQ(r.outerLayout.parityBytesPerBlock, 0);
    EXPECT_EQ(r.outerLayout.blocks, (r.infoBytes + 254) / 255);
    EXPECT_FLOAT_EQ(r.snrThresholdAdjusted, r.snrThreshold - 0.8f * (10.0f - r.crestDb));
    EXPECT_EQ(r.snrThresholdAdjusted, adjustedSnrThreshold(r.snrThreshold, mode));
    EXPECT_EQ(r.speedLevel, mode == 0 || mode == 14 ? 1 : mode);
    if (r.modeFamily == Family::Robust) {
        EXPECT_EQ(r.toneBins, r.lastToneBin - r.firstToneBin + 1);
        EXPECT_EQ(r.toneGroups, (1 << r.bitsPerCell) / 8);
        EXPECT_EQ(r.toneBins % r.carriers, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(AllModes, ModeTableRow, testing::Range(0, kModeCount));

TEST(kModeTable, RobustModesZeroAndFourteenReportModeOnesRate) {
    EXPECT_EQ(modeRecord(0).netBitRate, modeRecord(1).netBitRate);
    EXPECT_EQ(modeRecord(14).netBitRate, modeRecord(1).netBitRate);
}

TEST(kModeTable, PilotsOnlyCountedForCoherentQam) {
    for (int mode = 5; mode <= 9; ++mode) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(modeRecord(mode).pilotCells, 0);
    }
    EXPECT_EQ(kFirstPilotMode, 10);
}

TEST(kModeTable, TurboCapacityByRate) {
    struct Case {
        int coded, rate, info;
    };
    const std::array cases{
        Case{100, 0, 100}, Case{324, 2, 104},    Case{326, 2, 104}, Case{27840, 6, 22260},
        Case{113, 3, 50},  Case{1612, 10, 1500}, Case{1000, 1, 0},  Case{1000, 11, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.coded << " rate " << c.rate);
        EXPECT_EQ(turboCapacity(c.coded, 4, c.rate), c.info);
    }
}

TEST(kModeTable, FftShareModePointsToTheFirstModeOfEachTransformSize) {
    constexpr std::array<int, kModeCount> kExpected{0, 1, 1, 3, 3, 5, 3, 3, 1, 1, 1, 1, 1, 1, 1};
    for (int m = 0; m < kModeCount; ++m) {
        EXPECT_EQ(kFftShareMode[static_cast<std::size_t>(m)],
                  kExpected[static_cast<std::size_t>(m)])
            << m;
    }
}

TEST(PilotMap, DiagonalLattice) {
    EXPECT_TRUE(pilotMap(2, 8));
    EXPECT_FALSE(pilotMap(2, 9));
    EXPECT_TRUE(pilotMap(6, 9));
    EXPECT_FALSE(pilotMap(6, 8));
    EXPECT_TRUE(pilotMap(10, 0));
    EXPECT_FALSE(pilotMap(3, 8));
}

TEST(Constellation, EveryOrderHasUnitPeakAndDistinctPoints) {
    for (int bits = 1; bits <= kMaxBitsPerCell; ++bits) {
        SCOPED_TRACE(bits);
        const int count = 1 << bits;
        float peak = 0;
        std::set<std::pair<float, float>> distinct;
        for (int v = 0; v < 64; ++v) {
            const Complex p = kConstellationTable[static_cast<std::size_t>(v)]
                                                 [static_cast<std::size_t>(bits - 1)];
            if (v >= count) {
                EXPECT_EQ(p, Complex(0, 0));
                continue;
            }
            peak = std::max(peak, std::abs(p));
            distinct.insert({p.real(), p.imag()});
        }
        EXPECT_NEAR(peak, 1.0f, 1e-6f);
        EXPECT_EQ(distinct.size(), static_cast<std::size_t>(count));
    }
}

TEST(Constellation, GrayNeighboursAndNamedPoints) {
    const auto& t = kConstellationTable;
    EXPECT_EQ(t[1][1], Complex(0, 1));
    EXPECT_EQ(t[2][1], Complex(0, -1));
    // 8PSK: value 3 at 90 degrees, value 4 at 315.
    EXPECT_NEAR(t[3][2].imag(), 1.0f, 1e-6f);
    EXPECT_NEAR(std::arg(t[4][2]), -std::numbers::pi_v<float> / 4, 1e-6f);
    // 16QAM: 0b1011 -> I by 10 = +3a, Q by 11 = +a.
    EXPECT_NEAR(t[0b1011][3].real(), 0.7071068f, 1e-6f);
    EXPECT_NEAR(t[0b1011][3].imag(), 0.2357023f, 1e-6f);
    // 32QAM: inner 0b0111 -> (-3b, +3b); outer 29 -> (3b, -5b).
    EXPECT_NEAR(t[0b0111][4].real(), -3 * 0.1714987f, 1e-6f);
    EXPECT_NEAR(t[0b0111][4].imag(), 3 * 0.1714987f, 1e-6f);
    EXPECT_NEAR(t[29][4].real(), 3 * 0.1714987f, 1e-6f);
    EXPECT_NEAR(t[29][4].imag(), -5 * 0.1714987f, 1e-6f);
    // 64QAM: 0b010'101 -> (-c, +5c).
    EXPECT_NEAR(t[0b010101][5].real(), -0.1010153f, 1e-6f);
    EXPECT_NEAR(t[0b010101][5].imag(), 5 * 0.1010153f, 1e-6f);
    // Neighbouring PSK points (45 degrees apart) differ in one bit.
    for (int a = 0; a < 8; ++a) {
        for (int b = a + 1; b < 8; ++b) {
            const float distance =
                std::abs(t[static_cast<std::size_t>(a)][2] - t[static_cast<std::size_t>(b)][2]);
            if (distance < 0.8f) {
                EXPECT_EQ(std::popcount(static_cast<unsigned>(a ^ b)), 1) << a << " " << b;
            }
        }
    }
}

TEST(kGrayTable, FilledEntries) {
    constexpr std::array<int, 16> kGray{0, 1, 3, 2, 6, 7, 5, 4, 12, 13, 15, 14, 10, 11, 9, 8};
    for (std::size_t i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kGrayTable[32 + i], kGray[i]);
        EXPECT_EQ(kGrayTable[16 + i], i < 8 ? kGray[i] : 0);
        EXPECT_EQ(kGrayTable[i], i < 4 ? kGray[i] : 0);
    }
}

TEST(DrawnTables, DrawnAfterReseedAndIdenticalForEveryStation) {
    RandomSource first;
    RandomSource second;
    second.seed(99);  // whatever a station did before, the tables restart the generator
    second.next();
    const DrawnTables a(first);
    const DrawnTables b(second);
    EXPECT_EQ(first.next(), second.next());

    // The first draws after reset(); seed(727) are 24, 21, 24 ...
    const double step = 2.0 * std::numbers::pi / 30.0;
    EXPECT_NEAR(std::arg(a.cellPhaseTable(0, 0)), std::remainder(24 * step, 2 * std::numbers::pi),
                1e-6);
    EXPECT_NEAR(std::arg(a.cellPhaseTable(0, 1)), std::remainder(21 * step, 2 * std::numbers::pi),
                1e-6);
    for (int bin = 0; bin < DrawnTables::kBins; bin += 7) {
        for (int k = 0; k < DrawnTables::kCellSymbols; k += 13) {
            ASSERT_EQ(a.cellPhaseTable(bin, k), b.cellPhaseTable(bin, k));
            ASSERT_NEAR(std::abs(a.cellPhaseTable(bin, k)), 1.0f, 1e-6f);
            const double multiples = std::arg(a.cellPhaseTable(bin, k)) / step;
            ASSERT_NEAR(multiples, std::round(multiples), 1e-4);
            if (k + 1 < DrawnTables::kCellSymbols) {
                ASSERT_EQ(a.headerReference(bin, k),
                          complexMul(complexConj(a.cellPhaseTable(bin, k)),
                                     a.cellPhaseTable(bin, k + 1)));
            }
        }
    }
    const auto bits = a.pseudoRandomBits();
    ASSERT_EQ(bits.size(), 150000U);
    long ones = 0;
    for (const auto bit : bits) {
        ASSERT_LE(bit, 1);
        ones += bit;
    }
    EXPECT_NEAR(static_cast<double>(ones) / 150000.0, 0.5, 0.01);
    EXPECT_TRUE(std::equal(bits.begin(), bits.end(), b.pseudoRandomBits().begin()));
}

}  // namespace
}  // namespace zolk
