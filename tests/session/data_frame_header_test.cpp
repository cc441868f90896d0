// Reading received data frames and the backlog class a sender puts in the header.
#include <gtest/gtest.h>

#include <vector>

#include "phy/common/mode_table.h"
#include "phy/tx/data_frame.h"
#include "session/data_frame_header.h"

namespace zolk {
namespace {

struct FrameCase {
    const char* name;
    std::vector<std::uint8_t> payload;
    bool lastFrame;
    std::uint8_t backlogClass;
};

std::vector<std::uint8_t> filled(std::size_t n, std::uint8_t value) { return std::vector<std::uint8_t>(n, value); }

class ReadDataFrame : public testing::TestWithParam<FrameCase> {};

// Mode 1 carries 21 user bytes.
TEST_P(ReadDataFrame, GivesBackWhatWasBuilt) {
    const FrameCase& c = GetParam();
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(modeRecord(1).NetBytes));
    buildDataFrame(c.payload, {c.lastFrame, c.backlogClass, false}, frame);
    const auto read = readDataFrame(frame);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(std::vector<std::uint8_t>(read->payload.begin(), read->payload.end()), c.payload);
    EXPECT_EQ(read->lastFrame, c.lastFrame);
    EXPECT_EQ(read->backlogClass, c.backlogClass);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, ReadDataFrame,
    testing::Values(FrameCase{"Full", filled(21, 0x41), true, 5},
                    FrameCase{"OneShort", filled(20, 0x42), false, 3},
                    FrameCase{"Empty", {}, true, 0},
                    FrameCase{"FullOfTerminators", filled(21, DataFrameTerminator), false, 1},
                    FrameCase{"EndsInTerminator", {1, 2, DataFrameTerminator}, false, 2},
                    FrameCase{"TerminatorsInside", {DataFrameTerminator, 9, DataFrameTerminator, 0}, true, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDataFrameRefusal, FrameWithoutLengthOrTooShort) {
    std::vector<std::uint8_t> frame(24, 0x00);  // header 0: not full, and no terminator anywhere
    EXPECT_FALSE(readDataFrame(frame).has_value());
    EXPECT_FALSE(readDataFrame(std::vector<std::uint8_t>(2, 0)).has_value());
}

struct BacklogCase {
    std::size_t remaining;
    int mode;
    TurnPosition position;
    int goodExchanges;
    int expected;
};

// UserBytes per mode: 1:21 2:46 3:102 4:160 5:214 6:348 7:527 8:1178 9:1751 10:2018 11:2501
// 12:2426 13:2779.
TEST(BacklogClass, Table) {
    const BacklogCase cases[] = {
        {0, 5, TurnPosition::Settled, 0, 0},       // fits the mode below
        {200, 5, TurnPosition::Settled, 0, 1},     // fits this mode only
        {300, 5, TurnPosition::Settled, 0, 2},     // one mode up
        {1000, 5, TurnPosition::Settled, 0, 4},    // three modes up
        {1500, 5, TurnPosition::Settled, 0, 5},    // four modes up
        {2000, 5, TurnPosition::Settled, 0, 4},    // only a two-frame burst of mode 8 holds it
        {100000, 5, TurnPosition::Settled, 0, 5},
        {100000, 10, TurnPosition::Settled, 0, 4},
        {100000, 11, TurnPosition::Settled, 0, 3},
        {100000, 12, TurnPosition::Settled, 0, 2},
        {100000, 13, TurnPosition::Settled, 0, 1},
        {0, 0, TurnPosition::First, 0, 0},         // the identification frame
        {100000, 1, TurnPosition::First, 0, 4},
        {100000, 2, TurnPosition::First, 0, 3},
        {0, 3, TurnPosition::First, 0, 2},
        {0, 7, TurnPosition::First, 0, 1},
        {0, 14, TurnPosition::Settled, 0, 1},      // counts as mode 1: nothing below it
        {0, 5, TurnPosition::Second, 0, 1},        // second turn never offers a step down
        {400, 5, TurnPosition::Settled, 6, 1},     // two frames per burst double the room
        {400, 5, TurnPosition::Settled, 5, 3},
        {3000, 5, TurnPosition::Settled, 0, 5},
        {3000, 5, TurnPosition::Settled, 5, 4},    // at five exchanges the second frame counts double
    };
    for (const BacklogCase& c : cases) {
        EXPECT_EQ(backlogClass(c.remaining, c.mode, c.position, c.goodExchanges), c.expected)
            << "remaining " << c.remaining << " mode " << c.mode << " position "
            << static_cast<int>(c.position) << " exchanges " << c.goodExchanges;
    }
}

TEST(BacklogClass, TurnPositionFromTheCallRole) {
    EXPECT_EQ(turnPosition(true, 1), TurnPosition::First);
    EXPECT_EQ(turnPosition(true, 2), TurnPosition::Second);
    EXPECT_EQ(turnPosition(true, 3), TurnPosition::Settled);
    EXPECT_EQ(turnPosition(false, 1), TurnPosition::Second);
    EXPECT_EQ(turnPosition(false, 2), TurnPosition::Settled);
    EXPECT_EQ(turnPosition(false, 0), TurnPosition::Settled);
}

}  // namespace
}  // namespace zolk
