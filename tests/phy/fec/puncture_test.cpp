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
    }
}

TEST(PunctureTest, RateIndicesWithoutPatternAreRefused) {
    EXPECT_TRUE(isSupportedRateIndex(0));
    EXPECT_FALSE(isSupportedRateIndex(1));
    EXPECT_FALSE(isSupportedRateIndex(11));
    EXPECT_FALSE(isSupportedRateIndex(-1));
    EXPECT_EQ(kPuncturePattern[1].period, 0);
}

// The patterns and the mode table's TurboCapacity agree: every mode's encoder output fills its
// frame, except mode 13, which leaves three positions free.
TEST(PunctureTest, EncoderLengthFillsEveryModesFrame) {
    for (int mode = 0; mode < kModeCount; ++mode) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        const ModeRecord& r = modeRecord(mode);
        const int length = turboEncodedLength(r.infoBits, r.turboConstraint, r.codeRateIndex);
        EXPECT_EQ(length, mode == 13 ? r.codedBits - 3 : r.codedBits);
    }
    EXPECT_EQ(turboEncodedLength(modeRecord(13).infoBits, 4, 6), 27837);
}

}  // namespace
}  // namespace zolk
