#include "phy/fec/puncture.h"

#include <gtest/gtest.h>

#include <array>

namespace zolk {
namespace {

struct PatternCase {
    int rateIndex;
    int period;
    int parity2Position;  // parity 1 always goes out at position 0
    int rateK;
    int rateN;
};

TEST(PunctureTest, PatternsSendSystematicAlwaysAndEachParityOncePerPeriod) {
    const std::array<PatternCase, 9> cases = {{
        {2, 1, 0, 1, 3},
        {3, 2, 1, 1, 2},
        {4, 4, 2, 2, 3},
        {5, 6, 3, 3, 4},
        {6, 8, 4, 4, 5},
        {7, 10, 5, 5, 6},
        {8, 12, 6, 6, 7},
        {9, 14, 7, 7, 8},
        {10, 30, 15, 15, 16},
    }};
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "q=" << c.rateIndex);
        const PuncturePattern& p = kPuncturePattern[c.rateIndex];
        ASSERT_EQ(p.period, c.period);
        int sent = 0;
        for (int r = 0; r < p.period; ++r) {
            EXPECT_TRUE(p.at[r].systematic) << "position " << r;
            EXPECT_EQ(p.at[r].parity1, r == 0) << "position " << r;
            EXPECT_EQ(p.at[r].parity2, r == c.parity2Position) << "position " << r;
            sent += int{p.at[r].systematic} + int{p.at[r].parity1} + int{p.at[r].parity2};
        }
        // The pattern really has the rate it names: period/sent = k/n.
        EXPECT_EQ(p.period * c.rateN, sent * c.rateK);
        EXPECT_EQ(p.rateK, c.rateK);
        EXPECT_EQ(p.rateN, c.rateN);
    }
}

TEST(PunctureTest, RateIndicesWithoutPatternAreRefused) {
    EXPECT_TRUE(isSupportedRateIndex(0));
    EXPECT_FALSE(isSupportedRateIndex(1));
    EXPECT_FALSE(isSupportedRateIndex(11));
    EXPECT_FALSE(isSupportedRateIndex(-1));
    EXPECT_EQ(kPuncturePattern[1].period, 0);
}

struct CapacityCase {
    int mode;
    int codedBits;
    int rateIndex;
    int infoBits;
    int encodedLength;
};

// CodedBits, CodeRateIndex and InfoBits of the fifteen modes; every mode fills its frame
// except mode 13, which leaves three positions free.
constexpr std::array<CapacityCase, 15> kModeCapacity = {{
    {0, 324, 2, 104, 324},         {1, 588, 2, 192, 588},
    {2, 796, 3, 392, 796},         {3, 1700, 3, 844, 1700},
    {4, 2622, 3, 1305, 2622},      {5, 3486, 3, 1737, 3486},
    {6, 5632, 3, 2810, 5632},      {7, 8496, 3, 4242, 8496},
    {8, 18912, 3, 9450, 18912},    {9, 28080, 3, 14034, 28080},
    {10, 32352, 3, 16170, 32352},  {11, 40080, 3, 20034, 40080},
    {12, 29160, 4, 19432, 29160},  {13, 27840, 6, 22260, 27837},
    {14, 252, 2, 80, 252},
}};

TEST(PunctureTest, TurboCapacityAndEncodedLengthMatchEveryMode) {
    for (const CapacityCase& c : kModeCapacity) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode);
        EXPECT_EQ(TurboCapacity(c.codedBits, 4, c.rateIndex), c.infoBits);
        EXPECT_EQ(turboEncodedLength(c.infoBits, 4, c.rateIndex), c.encodedLength);
    }
}

TEST(PunctureTest, TurboCapacityEdgeCases) {
    EXPECT_EQ(TurboCapacity(500, 4, kUncodedRateIndex), 500);
    EXPECT_EQ(TurboCapacity(500, 4, 1), 0);
    EXPECT_EQ(TurboCapacity(500, 4, 11), 0);
    EXPECT_EQ(TurboCapacity(12, 4, 2), 0);   // nothing beyond the tail
    EXPECT_EQ(TurboCapacity(15, 4, 2), 1);   // one bit: three coded bits plus the tail
    EXPECT_EQ(TurboCapacity(17, 4, 2), 1);   // leftover bits stay unused
    EXPECT_EQ(TurboCapacity(100, 3, 3), 46);  // tail of 8 bits for K = 3
    EXPECT_EQ(TurboCapacity(100, 5, 5), 63);  // tail of 16: 3 x (100 - 16) / 4
    // Rate 15/16 with a non-multiple of the period still fits its own length.
    const int info = TurboCapacity(1000, 4, 10);
    EXPECT_LE(turboEncodedLength(info, 4, 10), 1000);
}

}  // namespace
}  // namespace zolk
