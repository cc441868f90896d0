// The link calibration ping between two ArqSessions on the fake air: the reply tables, what the
// pinging station shows, the waits and the time-out, who answers, and that a ping never gets in
// the way of a call.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "session/ping_codes.h"
#include "session_link.h"

namespace zolk {
namespace {

using test::AirItem;
using test::SessionLink;

constexpr long kSecond = 1500;
constexpr std::int32_t kInitialControlRtt = 5264;

TEST(PingTables, ReplyRowsAreTestedFromTheTop) {
    struct Case {
        PingKind kind;
        float fHz;
        int reply;
        int txShiftHz;
    };
    for (const Case c : {Case{PingKind::Fine, 50.0f, 14, -47}, Case{PingKind::Fine, 6.0f, 10, 0},
                         Case{PingKind::Fine, 6.01f, 11, -12}, Case{PingKind::Fine, -6.0f, 9, 12},
                         Case{PingKind::Fine, -117.0f, 3, 141}, Case{PingKind::Fine, 117.5f, 17, -141},
                         Case{PingKind::Fine, -300.0f, 3, 141}, Case{PingKind::Rough, -600.0f, 3, 800},
                         Case{PingKind::Rough, -599.0f, 4, 400}, Case{PingKind::Rough, 0.0f, 7, 0},
                         Case{PingKind::Rough, 50.0f, 7, 0}, Case{PingKind::Rough, 151.0f, 9, -200},
                         Case{PingKind::Rough, 900.0f, 11, -800}}) {
        SCOPED_TRACE(testing::Message() << "kind " << pingCode(c.kind) << " at " << c.fHz << " Hz");
        EXPECT_EQ(pingReplyCode(c.kind, c.fHz), c.reply);
        EXPECT_EQ(pingTxShiftHz(c.kind, c.reply), c.txShiftHz);
    }
    EXPECT_EQ(pingReplyCodes(PingKind::Rough).size(), 9u);
    EXPECT_EQ(pingReplyCodes(PingKind::Fine).size(), 15u);
    EXPECT_EQ(pingReplyCodes(PingKind::Fine).front(), 3);
    EXPECT_EQ(pingReplyCodes(PingKind::Fine).back(), 17);
}

TEST(PingTables, ColoursOfShiftsAndTimes) {
    using enum CalibrationColour;
    struct Case {
        int value;
        CalibrationColour colour;
    };
    // A shift by its magnitude, either way.
    for (const Case c : {Case{0, Green}, Case{82, Green}, Case{-82, Green}, Case{83, Yellow}, Case{-83, Yellow},
                         Case{117, Yellow}, Case{-117, Yellow}, Case{118, Red}, Case{-118, Red}, Case{800, Red},
                         Case{-800, Red}}) {
        EXPECT_EQ(shiftColour(c.value), c.colour) << "shift " << c.value << " Hz";
    }
    for (const Case c : {Case{0, Green}, Case{2000, Green}, Case{2001, Yellow}, Case{3000, Yellow}, Case{3001, Red},
                         Case{12000, Red}}) {
        EXPECT_EQ(pingTimeColour(c.value), c.colour) << "ping " << c.value << " ms";
    }
}

TEST(PingTables, PatternsStayInTheirBandAndDependOnTheSeedOnly) {
    RandomSource first;
    RandomSource second;
    second.seed(99);  // a generator elsewhere in its sequence draws the same tables
    ControlPatternTable a;
    ControlPatternTable b;
    ControlPatternTable other;
    buildPingPatterns(first, 4711, a);
    buildPingPatterns(second, 4711, b);
    buildPingPatterns(first, 4712, other);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, other);
    for (int c = 1; c <= kControlCodeCount; ++c) {
        for (int s = 0; s < kControlSymbols; ++s) {
            EXPECT_EQ(a.bandLow[c][s], kPingBandLow);
            EXPECT_GE(a.toneOf[c][s], 29);
            EXPECT_LE(a.toneOf[c][s], 35);
        }
    }
}

// What A reads: the lines, their colours, and the time from the end of its ping to the reply's
// report beyond the wait for the reply's lead-in.
TEST(LinkPing, PingerReadsTheShiftsAndTheTime) {
    struct Case {
        PingKind kind;
        float upHz;    // where B hears A's ping
        float downHz;  // where A hears B's reply
        int reply;
        int txShiftHz;
        CalibrationColour txColour;
        CalibrationColour rxColour;
    };
    for (const Case c : {Case{PingKind::Fine, 50.0f, -30.4f, 14, -47, CalibrationColour::Green, CalibrationColour::Green},
                         Case{PingKind::Fine, 6.0f, 90.0f, 10, 0, CalibrationColour::Green, CalibrationColour::Yellow},
                         Case{PingKind::Rough, -700.0f, 400.0f, 3, 800, CalibrationColour::Red, CalibrationColour::Red},
                         Case{PingKind::Rough, 120.0f, -20.0f, 8, -100, CalibrationColour::Yellow,
                              CalibrationColour::Green}}) {
        SCOPED_TRACE(testing::Message() << "kind " << pingCode(c.kind) << ", up " << c.upHz << " Hz");
        const long delay = 375;  // 0.25 s each way
        SessionLink link(delay);
        link.setPingOffset(0, c.upHz);
        link.setPingOffset(1, c.downHz);
        ASSERT_TRUE(link.a().session.startPing(c.kind, 1002));
        EXPECT_EQ(link.a().session.state(), SessionState::Pinging);
        EXPECT_EQ(link.a().radio.pingSeed, 1002) << "A pings with B's patterns";
        ASSERT_EQ(link.a().ui.calibration.size(), 1u);
        EXPECT_EQ(link.a().ui.calibration[0].status, CalibrationStatus::SendingPing);
        ASSERT_TRUE(link.runUntil([&] { return link.a().ui.calibration.size() == 2; }, 30 * kSecond))
            << link.transcript();

        EXPECT_EQ(link.a().radio.pingsSent, std::vector<int>{pingCode(c.kind)});
        EXPECT_EQ(link.a().radio.leadInLengths, std::vector<int>{0});
        EXPECT_EQ(link.b().radio.pingsSent, std::vector<int>{c.reply});
        EXPECT_EQ(link.b().radio.leadInLengths, std::vector<int>{pingCode(c.kind)})
            << "the reply's lead-in tone follows the ping's kind";
        EXPECT_EQ(link.b().log.lines,
                  std::vector<std::string>{c.kind == PingKind::Rough ? "Rough Tuning request" : "Fine Tuning request"});

        const CalibrationView& view = link.a().ui.calibration[1];
        EXPECT_EQ(view.status, CalibrationStatus::Result);
        EXPECT_EQ(view.txShiftHz, c.txShiftHz);
        EXPECT_EQ(view.rxShiftHz, static_cast<int>(std::nearbyint(c.downHz)));
        EXPECT_EQ(view.txColour, c.txColour);
        EXPECT_EQ(view.rxColour, c.rxColour);
        EXPECT_EQ(view.pingColour, CalibrationColour::Green);
        // From the end of A's ping: the delay, B's report, its playback queue, its lead-in tone
        // (long after a rough ping) and pattern, the delay and A's report; less the wait.
        const long leadIn = c.kind == PingKind::Rough ? test::kLongToneTicks : test::kShortToneTicks;
        const long ticks = 2 * delay + 2 * test::kPingReportTicks + test::kPlaybackQueueTicks + leadIn +
                           test::kCodeTicks - pingWaitTicks(c.kind);
        EXPECT_NEAR(view.pingMs, ticks * 1000.0 / 1500, 6.0);

        link.run(kSecond);
        EXPECT_EQ(link.a().session.state(), SessionState::Disconnected);
        EXPECT_EQ(link.b().session.state(), SessionState::Disconnected);
        EXPECT_EQ(link.a().radio.pingSeed, 1001) << "A listens with its own patterns again";
        EXPECT_EQ(link.b().radio.wideClears, 1) << "B forgets the ping it answered";
        EXPECT_TRUE(link.a().host.lines.empty()) << "a ping is none of the host's business";
        EXPECT_TRUE(link.b().host.lines.empty());
    }
}

// Without ListenMode B never runs the ping detector; A shows that no reply came once the reply's
// wait and the round-trip allowance are over, and not before.
TEST(LinkPing, NoReplyFromAStationThatDoesNotListen) {
    for (const PingKind kind : {PingKind::Fine, PingKind::Rough}) {
        SCOPED_TRACE(testing::Message() << "kind " << pingCode(kind));
        SessionLink link;
        link.b().host.listen = false;
        // The ping pauses the busy watch; the return to idle after the time-out resumes it.
        const auto& busyWatch = link.a().radio.busyWatch;
        const auto watchBefore = static_cast<std::ptrdiff_t>(busyWatch.size());
        ASSERT_TRUE(link.a().session.startPing(kind, 1002));
        EXPECT_EQ(std::vector<bool>(busyWatch.begin() + watchBefore, busyWatch.end()), std::vector<bool>{false});
        ASSERT_TRUE(link.runUntil([&] { return link.a().session.stateTicks() > 0; }, 10 * kSecond));
        const long quiet = link.now();
        ASSERT_TRUE(link.runUntil([&] { return link.a().ui.calibration.size() == 2; }, 30 * kSecond));
        EXPECT_NEAR(link.now() - quiet, kInitialControlRtt + pingWaitTicks(kind), 2);
        EXPECT_EQ(link.a().ui.calibration[1].status, CalibrationStatus::NoReply);
        EXPECT_TRUE(link.b().radio.pingsSent.empty());
        EXPECT_TRUE(link.b().radio.pingListens.empty());
        EXPECT_TRUE(link.b().log.lines.empty());
        link.run(10);
        EXPECT_EQ(link.a().session.state(), SessionState::Disconnected);
        EXPECT_EQ(link.a().radio.pingSeed, 1001);
        EXPECT_EQ(std::vector<bool>(busyWatch.begin() + watchBefore, busyWatch.end()),
                  (std::vector<bool>{false, true}));
    }
}

// A station listens for its own pings only: a ping drawn for another call sign is not answered.
TEST(LinkPing, APingForAnotherCallSignIsNotAnswered) {
    SessionLink link;
    ASSERT_TRUE(link.a().session.startPing(PingKind::Fine, 4242));
    ASSERT_TRUE(link.runUntil([&] { return link.a().ui.calibration.size() == 2; }, 30 * kSecond));
    EXPECT_EQ(link.a().ui.calibration[1].status, CalibrationStatus::NoReply);
    EXPECT_TRUE(link.b().radio.pingsSent.empty());
    EXPECT_FALSE(link.b().radio.pingListens.empty());
}

TEST(LinkPing, ASecondPressWhilePingingDoesNothing) {
    SessionLink link;
    ASSERT_TRUE(link.a().session.startPing(PingKind::Fine, 1002));
    link.run(kSecond);
    EXPECT_FALSE(link.a().session.startPing(PingKind::Rough, 1002));
    EXPECT_FALSE(link.a().session.startPing(PingKind::Fine, 1002));
    EXPECT_EQ(link.a().radio.pingsSent, std::vector<int>{2});
    EXPECT_EQ(link.a().ui.calibration.size(), 1u);
    EXPECT_TRUE(link.a().ui.messages.empty());
    EXPECT_EQ(link.a().session.state(), SessionState::Pinging);
}

// A ping may not take the session out of a call under way, nor a call out of a ping; each is
// refused with the operator told why, and what was under way goes on to its end.
TEST(LinkPing, PingsAndCallsRefuseEachOther) {
    SessionLink link;
    link.a().session.connect("N0CALL-7", "W1AW");
    ASSERT_EQ(link.a().session.state(), SessionState::Calling);
    EXPECT_FALSE(link.a().session.startPing(PingKind::Fine, 1002));
    EXPECT_EQ(link.a().ui.messages, std::vector<std::string>{"Not while connection is in progress"});
    EXPECT_TRUE(link.a().radio.pingsSent.empty());
    ASSERT_TRUE(link.runUntil([&] { return link.a().host.saw("CONNECTED N0CALL-7 W1AW"); }, 60 * kSecond))
        << link.transcript();

    SessionLink other;
    ASSERT_TRUE(other.a().session.startPing(PingKind::Fine, 1002));
    other.a().session.connect("N0CALL-7", "W1AW");
    EXPECT_EQ(other.a().ui.messages, std::vector<std::string>{"Not while calibration is in progress"});
    EXPECT_EQ(other.a().session.state(), SessionState::Pinging);
    EXPECT_TRUE(other.a().radio.sent.empty()) << "no call went out";
    ASSERT_TRUE(other.runUntil([&] { return other.a().ui.calibration.size() == 2; }, 30 * kSecond));
    EXPECT_EQ(other.a().ui.calibration[1].status, CalibrationStatus::Result);
    // While B's reply is on the air B refuses a call and a ping of its own too.
    SessionLink third;
    ASSERT_TRUE(third.a().session.startPing(PingKind::Rough, 1002));
    ASSERT_TRUE(third.runUntil([&] { return third.b().session.state() == SessionState::PingReplied; }, 10 * kSecond));
    third.b().session.connect("W1AW", "N0CALL-7");
    EXPECT_FALSE(third.b().session.startPing(PingKind::Fine, 1001));
    EXPECT_EQ(third.b().ui.messages, (std::vector<std::string>{"Not while calibration is in progress",
                                                               "Not while calibration is in progress"}));
    EXPECT_TRUE(third.b().radio.sent.empty());
}

// A ping that reaches a station while it answers a call, or while it calls, is not heard; the
// call goes on, and after the link no stale ping is answered.
TEST(LinkPing, APingHeardDuringCallSetUpDoesNotDerailTheCall) {
    for (const SessionState when : {SessionState::Answering, SessionState::Calling}) {
        SCOPED_TRACE(testing::Message() << sessionStateName(when));
        SessionLink link;
        link.a().session.connect("N0CALL-7", "W1AW");
        auto& target = when == SessionState::Answering ? link.b() : link.a();
        ASSERT_TRUE(link.runUntil([&] { return target.session.state() == when; }, 10 * kSecond));
        AirItem ping;
        ping.isCode = false;
        ping.isPing = true;
        ping.pingCode = 2;
        ping.pingSeed = target.radio.ownPingSeed;
        ping.startTick = link.now() - 992;
        ping.arrivalTick = ping.readyTick = link.now();
        target.radio.arrive(ping);
        ASSERT_TRUE(link.runUntil([&] { return link.a().host.saw("CONNECTED N0CALL-7 W1AW") &&
                                               link.b().host.saw("CONNECTED N0CALL-7 W1AW"); },
                                  60 * kSecond))
            << link.transcript();
        link.a().session.disconnect();
        ASSERT_TRUE(link.runUntil([&] { return link.a().host.saw("DISCONNECTED") && link.b().host.saw("DISCONNECTED"); },
                                  120 * kSecond))
            << link.transcript();
        link.run(5 * kSecond);
        EXPECT_TRUE(link.a().radio.pingsSent.empty());
        EXPECT_TRUE(link.b().radio.pingsSent.empty());
    }
}

std::vector<CalibrationStatus> statuses(const std::vector<CalibrationView>& views) {
    std::vector<CalibrationStatus> shown;
    for (const CalibrationView& view : views) shown.push_back(view.status);
    return shown;
}

// The calling station closes its calibration window as the call starts, the called one as it
// answers; once each, however many calls and answers the set-up takes.
TEST(LinkPing, ACallAndAnAnsweredCallCloseTheCalibrationWindow) {
    SessionLink link;
    link.a().session.connect("N0CALL-7", "W1AW");
    EXPECT_EQ(statuses(link.a().ui.calibration), std::vector{CalibrationStatus::Closed});
    ASSERT_TRUE(link.runUntil([&] { return link.b().session.state() == SessionState::Answering; }, 10 * kSecond));
    EXPECT_EQ(statuses(link.b().ui.calibration), std::vector{CalibrationStatus::Closed});
    ASSERT_TRUE(link.runUntil([&] { return link.b().host.saw("CONNECTED N0CALL-7 W1AW"); }, 60 * kSecond))
        << link.transcript();
    EXPECT_EQ(link.a().ui.calibration.size(), 1u);
    EXPECT_EQ(link.b().ui.calibration.size(), 1u);
}

// A ping that the return to idle drops (the monitor switch, a lost host port) shows that no reply
// came, so the window does not wait for one; a reply arriving later is not read.
TEST(LinkPing, APingDroppedOnTheWayShowsNoReply) {
    for (const bool reset : {true, false}) {
        SCOPED_TRACE(reset ? "reset" : "host port lost");
        SessionLink link;
        ASSERT_TRUE(link.a().session.startPing(PingKind::Fine, 1002));
        link.run(kSecond);
        if (reset) {
            link.a().session.reset();
        } else {
            link.a().session.dropLocally();
        }
        EXPECT_EQ(link.a().session.state(), SessionState::Disconnected);
        EXPECT_EQ(statuses(link.a().ui.calibration),
                  (std::vector{CalibrationStatus::SendingPing, CalibrationStatus::NoReply}));
        link.run(10 * kSecond);
        EXPECT_EQ(link.a().ui.calibration.size(), 2u);
        // Idle, nothing further is reported.
        link.a().session.reset();
        EXPECT_EQ(link.a().ui.calibration.size(), 2u);
    }
}

}  // namespace
}  // namespace zolk
