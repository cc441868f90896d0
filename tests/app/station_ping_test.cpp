// Link calibration pings between two stations through the channel model: a known frequency error
// on each path, read back by the pinged station (its reply) and by the pinging one (the RX shift).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "sim/ping_exchange.h"
#include "support/scratch_dir.h"

namespace zolk {
namespace {

struct Case {
    PingKind kind;
    double upHz;    // the ping's path
    double downHz;  // the reply's path
    int reply;
    int txShiftHz;
    CalibrationColour txColour;
};

TEST(StationPing, ShiftsOfBothPathsAreReadBack) {
    const test::ScratchDir scratch;
    const std::filesystem::path& folder = scratch.path();
    for (const Case c : {Case{PingKind::Fine, 50.0, -60.0, 14, -47, CalibrationColour::Green},
                         Case{PingKind::Fine, 3.0, 130.0, 10, 0, CalibrationColour::Green},
                         Case{PingKind::Fine, -125.0, -20.0, 3, 141, CalibrationColour::Red},
                         Case{PingKind::Rough, -900.0, 850.0, 3, 800, CalibrationColour::Red},
                         Case{PingKind::Rough, 420.0, -350.0, 10, -400, CalibrationColour::Red},
                         Case{PingKind::Rough, 120.0, 10.0, 8, -100, CalibrationColour::Yellow}}) {
        SCOPED_TRACE(testing::Message() << (c.kind == PingKind::Rough ? "rough" : "fine") << ", up " << c.upHz
                                        << " Hz, down " << c.downHz << " Hz");
        const sim::PingOutcome outcome =
            sim::runPingExchange(folder, c.kind, sim::PingPath{.offsetHz = c.upHz}, sim::PingPath{.offsetHz = c.downHz});
        EXPECT_EQ(outcome.replyCode, c.reply);
        EXPECT_NEAR(outcome.heardHz, c.upHz, 6.0);
        ASSERT_TRUE(outcome.shown.has_value());
        ASSERT_EQ(outcome.shown->status, CalibrationStatus::Result);
        EXPECT_EQ(outcome.shown->txShiftHz, c.txShiftHz);
        EXPECT_EQ(outcome.shown->txColour, c.txColour);
        EXPECT_NEAR(outcome.shown->rxShiftHz, c.downHz, 6.0);
        EXPECT_EQ(outcome.shown->rxColour, shiftColour(outcome.shown->rxShiftHz));
    }
}

// A clean path without frequency error: the ping time is the round trip, the wait for the reply
// allowing for both stations' detection to within a few ms. Without any delay (two stations side
// by side) the reply is complete before that wait is over and is still read, as 0 ms.
TEST(StationPing, AReplyWithoutDelayIsRead) {
    const test::ScratchDir scratch;
    const std::filesystem::path& folder = scratch.path();
    for (const PingKind kind : {PingKind::Fine, PingKind::Rough}) {
        for (const double delayMs : {0.0, 5.0, 250.0}) {
            SCOPED_TRACE(testing::Message() << (kind == PingKind::Rough ? "rough" : "fine") << ", " << delayMs
                                            << " ms each way");
            const sim::PingOutcome outcome = sim::runPingExchange(folder, kind, sim::PingPath{.delayMs = delayMs},
                                                                  sim::PingPath{.delayMs = delayMs});
            EXPECT_EQ(outcome.replyCode, pingReplyCode(kind, 0.0f));
            ASSERT_TRUE(outcome.shown.has_value());
            ASSERT_EQ(outcome.shown->status, CalibrationStatus::Result);
            EXPECT_EQ(outcome.shown->txShiftHz, 0);
            EXPECT_EQ(outcome.shown->rxShiftHz, 0);
            EXPECT_NEAR(outcome.shown->pingMs, 2 * delayMs, 15.0);
            EXPECT_GE(outcome.shown->pingMs, 0);
        }
    }
}

}  // namespace
}  // namespace zolk
