// The receiving station's choice of mode: S/N estimate and margins, the learner's hold-off, the
// answer code for a burst, and the round-trip allowance.
#include <gtest/gtest.h>

#include <cmath>

#include "phy/common/mode_table.h"
#include "session/burst_answer.h"
#include "session/measured_thresholds.h"
#include "session/round_trip.h"
#include "session/speed_adaptation.h"

namespace zolk {
namespace {

float threshold(int mode) { return measuredThresholdsAdjusted()[static_cast<std::size_t>(mode)]; }

TEST(SpeedAdaptation, EstimateIsTheLowestOfTheLastFourWithAPenaltyForFewMeasurements) {
    SpeedAdaptation speed;
    const float penalty[] = {4.0f, 2.5f, 1.5f, 0.0f, 0.0f, 0.0f};
    const float values[] = {12.0f, 9.0f, 15.0f, 14.0f, 13.0f, 16.0f};
    const float lowest[] = {12.0f, 9.0f, 9.0f, 9.0f, 9.0f, 13.0f};  // the 9 drops out after four more
    for (int i = 0; i < 6; ++i) {
        speed.addSnr(values[i]);
        EXPECT_EQ(speed.estimateDb(), lowest[i]) << i;
        const auto margins = speed.margins(7);
        for (int k = 0; k < 5; ++k) {
            const int mode = 7 + k;
            EXPECT_FLOAT_EQ(margins[static_cast<std::size_t>(k)], lowest[i] - threshold(mode) - penalty[i])
                << "measurement " << i << " mode " << mode;
        }
    }
    const auto top = speed.margins(11);
    EXPECT_EQ(top[3], -100.0f);  // mode 14 is no data mode to climb to
    EXPECT_EQ(top[4], -100.0f);
}

TEST(SpeedAdaptation, ALostFrameCapsTheClimbAndPullsTheEstimateDown) {
    SpeedAdaptation speed;
    for (int i = 0; i < 4; ++i) speed.addSnr(30.0f);
    speed.lostFrame(5, false);
    EXPECT_EQ(speed.estimateDb(), threshold(5));
    speed.lostFrame(5, false);
    EXPECT_EQ(speed.estimateDb(), threshold(4)) << "a second loss at the same mode counts one lower";
    for (int i = 0; i < 4; ++i) speed.addSnr(30.0f);
    const auto low = speed.margins(5);
    EXPECT_GT(low[2], 0.0f) << "two steps up stay open below the pilot modes";
    EXPECT_EQ(low[3], 0.0f);
    EXPECT_EQ(low[4], 0.0f);
    const auto high = speed.margins(kFirstPilotMode - 2);
    EXPECT_EQ(high[2], 0.0f) << "no two-step jump into the pilot modes after a loss";
    speed.resetSnr();
    EXPECT_FALSE(speed.lossSeen());
    EXPECT_EQ(speed.measurements(), 0);
}

// The thresholds a station takes its margins against are its own receiver's: a table whose mode 5
// needs 1 dB less than the design threshold moves that margin, the starting mode and the pseudo
// measurement of a lost frame, and nothing else.
TEST(SpeedAdaptation, MarginsStartingModeAndLossesFollowTheThresholdTable) {
    ModeThresholds design{};
    for (int m = 0; m < kModeCount; ++m)
        design[static_cast<std::size_t>(m)] = modeRecord(m).snrThresholdAdjusted;
    ModeThresholds better = design;
    better[5] -= 1.0f;
    const float reading = design[5] + 4.0f - 0.5f;  // one measurement carries a 4 dB penalty
    SpeedAdaptation byDesign(design);
    SpeedAdaptation byTable(better);
    byDesign.addSnr(reading);
    byTable.addSnr(reading);
    const auto a = byDesign.margins(1);
    const auto b = byTable.margins(1);
    EXPECT_FLOAT_EQ(a[4], -0.5f);
    EXPECT_FLOAT_EQ(b[4], 0.5f);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(a[k], b[k]) << "mode " << k + 1;
    EXPECT_EQ(byDesign.startingMode(), 4);
    EXPECT_EQ(byTable.startingMode(), 5) << "the table lets the caller start one mode faster";
    byTable.lostFrame(5, false);
    EXPECT_EQ(byTable.estimateDb(), better[5]);
    byTable.lostFrame(5, false);
    EXPECT_EQ(byTable.estimateDb(), better[4]);
}

// The generated table holds what a receiver can do: no mode below the Shannon limit of 2500 Hz at
// its net bit rate (a table shifted by modes or scales would break this), none a whole 3 dB above
// its design threshold.
TEST(SpeedAdaptation, MeasuredThresholdsArePlausible) {
    for (int m = 0; m < kModeCount; ++m) {
        const double rate = modeRecord(m).netBitRate;
        const double shannonDb = 10.0 * std::log10(std::exp2(rate / 2500.0) - 1.0);
        EXPECT_GT(measuredSnr90Db(m), shannonDb) << "mode " << m;
        EXPECT_LT(measuredSnr90Db(m), modeRecord(m).snrThreshold + 3.0f) << "mode " << m;
    }
}

// A climb to mode 5 that delivered less than staying in mode 4 would have: mode 5 is held off
// for a number of good frames that grows with the shortfall, and each good frame shortens it.
TEST(SpeedAdaptation, LearnerHoldsOffAModeThatDidNotPayOff) {
    SpeedAdaptation speed;
    speed.goodFrame(4, true);
    speed.goodFrame(5, true);   // climbed: measuring mode 5
    speed.lostFrame(5, true);
    speed.lostFrame(5, true);   // one of three frames good
    speed.goodFrame(4, true);   // stepped down: mode 5 judged
    const float ratio = static_cast<float>(modeRecord(5).throughput) / modeRecord(4).throughput;
    const float shortfall = (1.0f - ratio / 3.0f) * 3.0f;
    EXPECT_NEAR(speed.offsetDb(5), shortfall, 1e-4);
    const int blocked = static_cast<int>(std::nearbyint(shortfall / (ratio - 1.0f) * 2.0f));
    EXPECT_EQ(speed.heldOff(5), blocked - 1) << "the good frame that judged it already counts";
    EXPECT_EQ(speed.highestAllowedMode(), 4);
    for (int i = 1; i < blocked - 1; ++i) speed.goodFrame(4, true);
    EXPECT_EQ(speed.heldOff(5), 1);
    EXPECT_EQ(speed.highestAllowedMode(), 4);
    speed.goodFrame(4, true);
    EXPECT_EQ(speed.highestAllowedMode(), 13);
    // Without the learner (the station is sending), nothing is held off.
    SpeedAdaptation sending;
    sending.goodFrame(5, false);
    sending.lostFrame(5, false);
    sending.goodFrame(4, false);
    EXPECT_EQ(sending.highestAllowedMode(), 13);
}

struct AnswerCase {
    int mode;
    int highest;
    bool allOk;
    std::array<float, 5> margins;
    int backlog;
    ControlCode code;
    int next;
};

TEST(BurstAnswer, Table) {
    const std::array<float, 5> good = {1, 1, 1, 1, 1};
    const AnswerCase cases[] = {
        {5, 13, true, good, 5, ControlCode::AckUp4, 9},
        {5, 13, true, good, 4, ControlCode::AckUp3, 8},
        {5, 13, true, good, 3, ControlCode::AckUp2, 7},
        {5, 13, true, good, 2, ControlCode::AckUp1, 6},
        {5, 6, true, good, 5, ControlCode::AckUp1, 6},            // the learner's ceiling
        {5, 5, true, good, 5, ControlCode::Ack, 5},
        {5, 13, true, {1, 1, 1, 0, 0}, 5, ControlCode::AckUp2, 7}, // no margin above two steps
        {5, 13, true, {1, -1, -1, -1, -1}, 1, ControlCode::Ack, 5},
        {5, 13, true, {-0.5f, -1, -1, -1, -1}, 1, ControlCode::AckDown1, 4},
        {5, 13, true, good, 0, ControlCode::AckDown1, 4},          // nothing left: a smaller mode does
        {1, 13, true, {-3, -4, -5, -6, -7}, 0, ControlCode::Ack, 1},
        {12, 13, true, good, 5, ControlCode::AckUp1, 13},
        {5, 13, false, good, 5, ControlCode::NakFirst, 4},
        {1, 13, false, good, 5, ControlCode::NakFirst, 1},
    };
    for (const AnswerCase& c : cases) {
        const BurstAnswer answer = chooseBurstAnswer(c.mode, c.highest, c.allOk, c.margins, c.backlog);
        EXPECT_EQ(answer.code, c.code) << "mode " << c.mode << " backlog " << c.backlog;
        EXPECT_EQ(answer.mode, c.next) << "mode " << c.mode << " backlog " << c.backlog;
    }
}

TEST(RoundTrip, LearnsFromControlAndDataAnswers) {
    RoundTrip rtt;
    const auto pd = [](int m) { return static_cast<std::int32_t>(modeRecord(m).processingDelayMs); };
    EXPECT_EQ(rtt.controlTicks(), 5264);
    EXPECT_EQ(rtt.dataTicks(1), 3 * pd(1) + 2532 + 200);

    rtt.recordControl(1000);
    rtt.recordControl(-50);  // counts as 0
    EXPECT_EQ(rtt.controlTicks(), 2 * 500 + 200);
    EXPECT_EQ(rtt.dataTicks(7), 3 * pd(7) + 500 + 200);
    EXPECT_EQ(rtt.dataTicks(14), rtt.dataTicks(1));

    rtt.recordData(5, 2000);
    rtt.recordData(8, 3000);
    EXPECT_EQ(rtt.dataTicks(5), 4200);
    EXPECT_EQ(rtt.dataTicks(8), 6200);
    EXPECT_EQ(rtt.dataTicks(2), 2 * (2000 + pd(2) - pd(5)) + 200);    // below: from mode 5
    EXPECT_EQ(rtt.dataTicks(12), 2 * (3000 + pd(12) - pd(8)) + 200);  // above: from mode 8
    // Mode 6 was above the only sampled mode; between two sampled modes it keeps that figure.
    EXPECT_EQ(rtt.dataTicks(6), 2 * (2000 + pd(6) - pd(5)) + 200);

    rtt.reset();
    EXPECT_EQ(rtt.controlTicks(), 5264);
    EXPECT_EQ(rtt.dataTicks(8), 3 * pd(8) + 2532 + 200);
}

}  // namespace
}  // namespace zolk
