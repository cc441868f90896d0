#include "phy/rx/frame_acceptance.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "phy/common/crc16.h"
#include "phy/common/mode_table.h"
#include "phy/rx/receive_front_end.h"
#include "support/recording_front_end_client.h"

namespace zolk {
namespace {

// A decoder that hands out prepared frame bytes and records the steps it was asked for.
class ScriptedFec : public FrameFecDecoder {
public:
    std::vector<std::uint8_t> bytes;
    std::vector<int> steps;
    void fecStep(int step, int, std::span<const float>) override { steps.push_back(step); }
    std::span<const std::uint8_t> frameBytes() const override { return bytes; }
};

class ScriptedReceiver : public DetectedFrameSource {
public:
    int softBuilds = 0;
    float snrDb = 10.0f;
    float shiftHz = 0.0f;
    std::vector<float> soft{0.5f, -0.5f};
    std::vector<Complex> cells{{1.0f, 0.0f}};
    void buildSoftValues() override { ++softBuilds; }
    std::span<const float> softValues() const override { return soft; }
    float estimateSnrDb() override { return snrDb; }
    float shiftEstimateHz() const override { return shiftHz; }
    std::span<const Complex> constellationCells() const override { return cells; }
    std::span<const float> constellationSoftValues() const override { return soft; }
};

std::vector<std::uint8_t> frameWithCrc(std::size_t payload, bool corrupt) {
    std::vector<std::uint8_t> bytes(payload);
    for (std::size_t i = 0; i < payload; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 5);
    const auto crc = crc16StoredBytes(bytes);
    bytes.insert(bytes.end(), crc.begin(), crc.end());
    if (corrupt) bytes[3] ^= 0x10;
    return bytes;
}

class AcceptanceTest : public ::testing::Test {
protected:
    AcceptanceTest()
        : tables(random),
          frontEnd(tables, client),
          acceptance(frontEnd, fec) {}

    // Runs all ten stages of one frame of `mode` at `place`.
    std::optional<FrameVerdict> decode(int mode, bool corrupt = false, FramePlace place = FramePlace::Only) {
        fec.bytes = frameWithCrc(static_cast<std::size_t>(modeRecord(mode).netBytes - 2), corrupt);
        std::optional<FrameVerdict> verdict;
        for (int stage = 1; stage <= kDecodeStages; ++stage) {
            verdict = acceptance.decodeStage(stage, ModeIndex(mode), place, receiver);
            if (stage < kDecodeStages) {
                EXPECT_FALSE(verdict.has_value());
            }
        }
        return verdict;
    }

    RandomSource random;
    DrawnTables tables;
    test::RecordingFrontEndClient client;
    ReceiveFrontEnd frontEnd;
    ScriptedFec fec;
    ScriptedReceiver receiver;
    FrameAcceptance acceptance;
};

TEST_F(AcceptanceTest, StagesRunSoftValuesThenNineFecSteps) {
    const auto verdict = decode(8);
    EXPECT_EQ(receiver.softBuilds, 1);
    EXPECT_EQ(fec.steps, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    ASSERT_TRUE(verdict.has_value());
    EXPECT_TRUE(verdict->good);
}

// A stage outside 1..10 is a bug in the caller: the program stops and says so.
TEST_F(AcceptanceTest, AStageOutsideOneToTenStopsTheProgram) {
    for (const int stage : {0, 11}) {
        SCOPED_TRACE(stage);
        EXPECT_DEATH(acceptance.decodeStage(stage, ModeIndex(8), FramePlace::Only, receiver),
                     "broken promise.*decode stages are 1..10");
    }
}

// The display is proposed for every frame but the first of two, and in monitor mode only for
// good frames; a shown good frame moves the correction when the verdict is followed.
TEST_F(AcceptanceTest, DisplayAndCorrectionFollowThePlace) {
    struct Case {
        const char* name;
        FramePlace place;
        bool corrupt;
        bool gauges;
        bool rateHeard;
    };
    constexpr std::array<Case, 8> kCases{{
        {"single good", FramePlace::Only, false, true, false},
        {"single failed", FramePlace::Only, true, true, false},
        {"first of two good", FramePlace::FirstOfTwo, false, false, false},
        {"first of two failed", FramePlace::FirstOfTwo, true, false, false},
        {"second of two good", FramePlace::SecondOfTwo, false, true, false},
        {"second of two failed", FramePlace::SecondOfTwo, true, true, false},
        {"monitored good", FramePlace::Monitored, false, true, true},
        {"monitored failed", FramePlace::Monitored, true, false, false},
    }};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        frontEnd.setReceiveFrequencyOffsetHz(0.0f);
        receiver.shiftHz = 3.0f;
        auto verdict = decode(8, c.corrupt, c.place);
        ASSERT_TRUE(verdict.has_value());
        EXPECT_EQ(verdict->place, c.place);
        EXPECT_EQ(verdict->good, !c.corrupt);
        EXPECT_EQ(verdict->display.gauges, c.gauges);
        EXPECT_EQ(verdict->display.rateHeard, c.rateHeard);
        EXPECT_EQ(verdict->display.bitsPerCell, c.gauges ? 2 : 0);
        EXPECT_EQ(verdict->display.cells.size(), c.gauges ? 1U : 0U);
        // Deciding alone moves nothing; following the verdict does, for a shown good frame.
        EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), 0.0f);
        acceptance.followFrequency(*verdict);
        const bool afcMoves = c.gauges && !c.corrupt;
        EXPECT_EQ(verdict->display.afcMoved, afcMoves);
        EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), afcMoves ? -3.0f : 0.0f);
    }
}

TEST_F(AcceptanceTest, ForcedFailureFailsExactlyOneFrame) {
    acceptance.forceNextFrameFailure();
    EXPECT_FALSE(decode(8)->good);
    EXPECT_FALSE(acceptance.failureForced());
    EXPECT_TRUE(decode(8)->good);
    // Spent on a frame that fails anyway, it does not carry over either.
    acceptance.forceNextFrameFailure();
    EXPECT_FALSE(decode(8, true)->good);
    EXPECT_TRUE(decode(8)->good);
}

TEST_F(AcceptanceTest, AfcMovesOnlyOnGoodFramesByTheFullEstimate) {
    frontEnd.setReceiveFrequencyOffsetHz(5.0f);
    receiver.shiftHz = 12.5f;
    auto failed = decode(8, true);
    acceptance.followFrequency(*failed);
    EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), 5.0f);
    auto good = decode(8);
    acceptance.followFrequency(*good);
    EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), -7.5f);
    ASSERT_TRUE(good->display.afcMoved);
    EXPECT_FLOAT_EQ(good->display.afcHz, 7.5f);
    receiver.shiftHz = -2.0f;
    auto next = decode(8);
    acceptance.followFrequency(*next);
    EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), -5.5f);
}

TEST_F(AcceptanceTest, SnrIsAdjustedByTheModesCrest) {
    receiver.snrDb = 10.0f;
    struct Case { int mode; float expected; };
    for (const auto& c : std::array<Case, 3>{{{0, 3.0f}, {5, 6.5f}, {13, 9.8f}}}) {
        SCOPED_TRACE(c.mode);
        EXPECT_FLOAT_EQ(decode(c.mode)->snrDb, c.expected);
    }
}

}  // namespace
}  // namespace zolk
