#include "phy/rx/frame_acceptance.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "phy/common/crc16.h"
#include "phy/common/mode_table.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {
namespace {

class NullFrontEndClient : public FrontEndClient {
public:
    ReceiveConditions receiveConditions() const override { return {}; }
    void busySample(Complex) override {}
    void waterfallSample(Complex) override {}
    void sessionTick() override {}
};

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
    std::uint8_t decision = 1;
    std::vector<float> soft{0.5f, -0.5f};
    std::vector<Complex> cells{{1.0f, 0.0f}};
    void buildSoftValues() override { ++softBuilds; }
    std::span<const float> softValues() const override { return soft; }
    float estimateSnrDb() override { return snrDb; }
    float shiftEstimateHz() const override { return shiftHz; }
    std::uint8_t decisionFlag() const override { return decision; }
    std::span<const Complex> constellationCells() const override { return cells; }
    std::span<const float> constellationSoftValues() const override { return soft; }
};

class RecordingSession : public AcceptanceSession {
public:
    std::uint8_t burst = 1;
    bool monitor = false;
    bool hideMonitorFrame = false;
    int frameTicksCleared = 0;
    std::vector<std::string> calls;
    float lastSnr = 0.0f;
    std::uint8_t framesPerBurst() const override { return burst; }
    bool monitorMode() const override { return monitor; }
    void clearFrameTicks() override { ++frameTicksCleared; }
    void onFirstFrame(std::span<const std::uint8_t>, float snrDb) override {
        calls.push_back("onFirstFrame");
        lastSnr = snrDb;
    }
    void onFrame(std::span<const std::uint8_t>, float snrDb) override {
        calls.push_back("onFrame");
        lastSnr = snrDb;
    }
    void onFirstFrameFailed() override { calls.push_back("onFirstFrameFailed"); }
    void onMissingFrame() override { calls.push_back("onMissingFrame"); }
    bool onMonitorFrame(std::span<const std::uint8_t>, int) override {
        calls.push_back("onMonitorFrame");
        return hideMonitorFrame;
    }
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
          acceptance(frontEnd, fec, session) {}

    // Runs all ten stages of one frame of `mode`.
    std::optional<FrameVerdict> decode(int mode, bool corrupt = false) {
        fec.bytes = frameWithCrc(static_cast<std::size_t>(modeRecord(mode).netBytes - 2), corrupt);
        std::optional<FrameVerdict> verdict;
        for (int stage = 1; stage <= kDecodeStages; ++stage) {
            verdict = acceptance.decodeStage(stage, mode, receiver);
            if (stage < kDecodeStages) {
                EXPECT_FALSE(verdict.has_value());
            }
        }
        return verdict;
    }

    RandomSource random;
    DrawnTables tables;
    NullFrontEndClient client;
    ReceiveFrontEnd frontEnd;
    ScriptedFec fec;
    ScriptedReceiver receiver;
    RecordingSession session;
    FrameAcceptance acceptance;
};

TEST_F(AcceptanceTest, StagesRunSoftValuesThenNineFecSteps) {
    const auto verdict = decode(8);
    EXPECT_EQ(receiver.softBuilds, 1);
    EXPECT_EQ(fec.steps, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    ASSERT_TRUE(verdict.has_value());
    EXPECT_TRUE(verdict->good);
    EXPECT_FALSE(acceptance.decodeStage(0, 8, receiver).has_value());
    EXPECT_FALSE(acceptance.decodeStage(11, 8, receiver).has_value());
    EXPECT_EQ(fec.steps.size(), 9u);
}

TEST_F(AcceptanceTest, DispatchFollowsBurstAndDecisionFlag) {
    struct Case {
        const char* name;
        std::uint8_t burst;
        std::uint8_t decision;
        bool corrupt;
        const char* entry;
        bool gauges;
    };
    constexpr std::array<Case, 8> kCases{{
        {"single good", 1, 1, false, "onFrame", true},
        {"single failed", 1, 1, true, "onMissingFrame", true},
        {"first of two good", 2, 1, false, "onFirstFrame", false},
        {"first of two failed", 2, 1, true, "onFirstFrameFailed", false},
        {"second of two good", 2, 2, false, "onFrame", true},
        {"second of two failed", 2, 2, true, "onMissingFrame", true},
        {"single, late flag, good", 1, 2, false, "onFrame", true},
        {"single, late flag, failed", 1, 2, true, "onMissingFrame", true},
    }};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        session.calls.clear();
        frontEnd.setReceiveFrequencyOffsetHz(0.0f);
        session.burst = c.burst;
        receiver.decision = c.decision;
        receiver.shiftHz = 3.0f;
        const auto verdict = decode(8, c.corrupt);
        EXPECT_EQ(session.calls, std::vector<std::string>{c.entry});
        EXPECT_EQ(verdict->display.gauges, c.gauges);
        const bool afcMoves = c.gauges && !c.corrupt;
        EXPECT_EQ(verdict->display.afcMoved, afcMoves);
        EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), afcMoves ? -3.0f : 0.0f);
        EXPECT_EQ(verdict->display.bitsPerCell, c.gauges ? 2 : 0);
        EXPECT_FALSE(verdict->display.rateHeard);
    }
}

TEST_F(AcceptanceTest, ForcedFailureFailsExactlyOneFrame) {
    acceptance.forceNextFrameFailure();
    EXPECT_FALSE(decode(8)->good);
    EXPECT_FALSE(acceptance.failureForced());
    EXPECT_TRUE(decode(8)->good);
    EXPECT_EQ(session.calls, (std::vector<std::string>{"onMissingFrame", "onFrame"}));
    // Spent on a frame that fails anyway, it does not carry over either.
    acceptance.forceNextFrameFailure();
    EXPECT_FALSE(decode(8, true)->good);
    EXPECT_TRUE(decode(8)->good);
}

TEST_F(AcceptanceTest, AfcMovesOnlyOnGoodFramesByTheFullEstimate) {
    frontEnd.setReceiveFrequencyOffsetHz(5.0f);
    receiver.shiftHz = 12.5f;
    decode(8, true);
    EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), 5.0f);
    const auto good = decode(8);
    EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), -7.5f);
    ASSERT_TRUE(good->display.afcMoved);
    EXPECT_FLOAT_EQ(good->display.afcHz, 7.5f);
    receiver.shiftHz = -2.0f;
    decode(8);
    EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), -5.5f);
}

TEST_F(AcceptanceTest, SnrIsAdjustedByTheModesCrest) {
    receiver.snrDb = 10.0f;
    struct Case { int mode; float expected; };
    for (const auto& c : std::array<Case, 3>{{{0, 3.0f}, {5, 6.5f}, {13, 9.8f}}}) {
        SCOPED_TRACE(c.mode);
        const auto verdict = decode(c.mode);
        EXPECT_FLOAT_EQ(verdict->snrDb, c.expected);
        EXPECT_FLOAT_EQ(session.lastSnr, c.expected);
    }
}

TEST_F(AcceptanceTest, MonitorModeShowsGoodFramesAndDropsFailedOnes) {
    session.monitor = true;
    session.burst = 2;
    receiver.decision = 1;
    receiver.shiftHz = 1.0f;
    EXPECT_FALSE(decode(8, true)->display.gauges);
    EXPECT_TRUE(session.calls.empty());
    EXPECT_EQ(session.frameTicksCleared, 0);

    const auto shown = decode(8);
    EXPECT_EQ(session.calls, std::vector<std::string>{"onMonitorFrame"});
    EXPECT_EQ(session.frameTicksCleared, 1);
    EXPECT_EQ(shown->mode, 8);
    EXPECT_TRUE(shown->display.rateHeard);
    // Monitor mode shows gauges even for a first frame of two.
    EXPECT_TRUE(shown->display.gauges);
    EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), -1.0f);

    session.hideMonitorFrame = true;
    const auto hidden = decode(0);
    EXPECT_EQ(session.frameTicksCleared, 2);
    EXPECT_FALSE(hidden->display.rateHeard);
    EXPECT_FALSE(hidden->display.gauges);
    EXPECT_FLOAT_EQ(frontEnd.receiveFrequencyOffsetHz(), -1.0f);
}

}  // namespace
}  // namespace zolk
