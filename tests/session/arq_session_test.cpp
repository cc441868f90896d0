// Whole links between two ArqSessions on the fake air, in virtual ticks: call set-up, data both
// ways, the repeat paths, the ends of a link, and the flow control at both hosts.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "session/measured_thresholds.h"
#include "session_link.h"

namespace zolk {
namespace {

using test::AirItem;
using test::Fate;
using test::SessionLink;

constexpr long kSecond = 1500;

std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    return bytes;
}

int countOf(const std::vector<ControlCode>& codes, ControlCode code) {
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
}

[[maybe_unused]] bool bothDisconnected(SessionLink& link) {
    return link.a().session.state() == SessionState::Disconnected &&
           link.b().session.state() == SessionState::Disconnected;
}

TEST(ArqCall, CallAnswerIdentificationAndTurnAck) {
    SessionLink link;
    ASSERT_TRUE(link.call()) << link.transcript();
    EXPECT_EQ(link.b().host.lines,
              (std::vector<std::string>{"PENDING", "CONNECTED N0CALL-7 W1AW"}));
    EXPECT_EQ(link.a().host.lines, (std::vector<std::string>{"CONNECTED N0CALL-7 W1AW"}));
    EXPECT_EQ(link.a().radio.sent,
              (std::vector<ControlCode>{ControlCode::Call1, ControlCode::TurnAck}));
    EXPECT_EQ(link.b().radio.sent,
              (std::vector<ControlCode>{ControlCode::Answer, ControlCode::AcceptMode5}));
    EXPECT_EQ(link.a().radio.burstModes, std::vector<int>{0}) << "the identification, in mode 0";
    EXPECT_EQ(link.b().session.sourceCall(), "N0CALL-7");
    EXPECT_EQ(link.b().session.calledCall(), "W1AW");
    EXPECT_EQ(link.b().radio.patternSlots.back(), 1) << "the link's codes come from the called slot";
    EXPECT_EQ(link.a().ui.callPanel.back(), "N0CALL-7 <-> W1AW");
    EXPECT_EQ(link.b().ui.callPanel.back(), "N0CALL-7 <-> W1AW");
    EXPECT_EQ(link.a().log.lines.front(), "Connecting to W1AW... 1/10");
    EXPECT_FALSE(link.a().ui.menusEnabled);
    // Calls and answers are searched over the whole offset range; the link's codes narrowly.
    for (const auto* radio : {&link.a().radio, &link.b().radio}) {
        ASSERT_FALSE(radio->listenSearches.empty());
        EXPECT_EQ(radio->listenSearches.front(), ControlSearch::Wide);
        EXPECT_TRUE(radio->sessionActive);
        EXPECT_EQ(radio->sessionSearch, ControlSearch::Narrow);
    }
    EXPECT_EQ(link.b().radio.listenSearches.back(), ControlSearch::Narrow) << "B waits for TurnAck";
}

// The caller's starting mode follows the S/N the called station measured on the identification,
// against its receiver's measured thresholds: each of modes 2..5 is asked for from just above its
// threshold plus the 4 dB penalty of a single measurement, and not just below.
TEST(ArqCall, StartingModeFromTheIdentificationsSnr) {
    struct Case {
        float snrDb;
        ControlCode accept;
    };
    const auto edge = [](int mode) {
        return measuredThresholdsAdjusted()[static_cast<std::size_t>(mode)] + 4.0f;
    };
    const auto accept = [](int mode) {
        return mode < 2 ? ControlCode::Break
                        : static_cast<ControlCode>(codeNumber(ControlCode::AcceptMode2) + mode - 2);
    };
    std::vector<Case> cases{{10.0f, ControlCode::AcceptMode5}};
    for (int mode = 2; mode <= 5; ++mode) {
        cases.push_back({edge(mode) + 0.05f, accept(mode)});
        cases.push_back({edge(mode) - 0.05f, accept(mode - 1)});
    }
    for (const Case& c : cases) {
        SessionLink link(450, c.snrDb);
        ASSERT_TRUE(link.call()) << c.snrDb << " dB\n" << link.transcript();
        EXPECT_EQ(link.b().radio.sent.back(), c.accept) << c.snrDb << " dB";
    }
}

TEST(ArqCall, IdentificationCarriesTheSsid) {
    for (const auto& [call, shown] : {std::pair<std::string, std::string>{"n0call-r", "N0CALL-R"},
                                      {"K1ABC", "K1ABC"},
                                      {"DL1XY-15", "DL1XY-15"}}) {
        SessionLink link;
        link.a().session.connect(call, "W1AW");
        ASSERT_TRUE(link.runUntil([&] { return link.b().host.lines.size() >= 2; }, 30 * kSecond));
        EXPECT_EQ(link.b().host.lines[1], "CONNECTED " + shown + " W1AW");
    }
}

// A caller whose identification holds more than letters and digits is never shown to the host:
// such a call sign would split or forge reply lines. It is answered as a frame that did not decode.
TEST(ArqCall, UnreadableCallerIsAnsweredWithNakAndNeverReported) {
    SessionLink link;
    link.a().session.connect("AB\rCONNECTED", "W1AW");
    link.run(20 * kSecond);
    EXPECT_EQ(link.b().host.lines, std::vector<std::string>{"PENDING"}) << link.transcript();
    EXPECT_GE(countOf(link.b().radio.sent, ControlCode::Nak), 1) << link.transcript();
    EXPECT_TRUE(link.a().host.lines.empty()) << link.transcript();
}

TEST(ArqCall, TenFailedAttemptsThenUnableToConnect) {
    SessionLink link;
    link.b().host.listen = false;
    link.a().session.connect("N0CALL-7", "W1AW");
    ASSERT_TRUE(link.runUntil([&] { return link.a().host.saw("DISCONNECTED"); }, 200 * kSecond));
    EXPECT_EQ(countOf(link.a().radio.sent, ControlCode::Call1), 10) << link.transcript();
    EXPECT_TRUE(link.b().radio.sent.empty()) << "LISTEN OFF never answers";
    const auto& panel = link.a().ui.callPanel;
    ASSERT_GE(panel.size(), 2u);
    EXPECT_NE(std::find(panel.begin(), panel.end(), "Connecting to W1AW ...10/10"), panel.end());
    EXPECT_EQ(std::count(panel.begin(), panel.end(), "Connecting to W1AW ...11/10"), 0);
    EXPECT_EQ(panel.back(), "Unable to connect");
    EXPECT_EQ(link.a().host.lines, std::vector<std::string>{"DISCONNECTED"});
    EXPECT_EQ(link.a().session.attempt(), 0);
    EXPECT_TRUE(link.a().ui.menusEnabled);
}

// A reset (start-up, the monitor switch) ends a link at once: DISCONNECTED once, nothing sent.
TEST(ArqCall, ResetEndsALinkAtOnceWithoutAWordOnTheAir) {
    SessionLink link;
    ASSERT_TRUE(link.call()) << link.transcript();
    const std::size_t sent = link.a().radio.sent.size();
    link.a().session.reset();
    EXPECT_EQ(link.a().session.state(), SessionState::Disconnected);
    EXPECT_EQ(link.a().host.count("DISCONNECTED"), 1);
    EXPECT_EQ(link.a().radio.sent.size(), sent);
    EXPECT_FALSE(link.a().radio.sessionActive);
    EXPECT_EQ(link.a().radio.leadInTones, 2) << "armed at construction and again now";
    link.run(2 * kSecond);
    EXPECT_EQ(link.a().host.count("DISCONNECTED"), 1) << "the cleanup runs once";
    EXPECT_EQ(link.a().radio.sent.size(), sent);
}

TEST(ArqCall, CallForAnEmptySlotIsIgnored) {
    SessionLink link;
    link.b().host.myCalls[0].clear();
    link.b().host.myCalls[1] = "W1AW";  // Call1 asks for slot 1, which is free
    link.a().session.connect("N0CALL-7", "W1AW");
    link.run(20 * kSecond);
    EXPECT_TRUE(link.b().radio.sent.empty());
    EXPECT_TRUE(link.b().host.lines.empty());
}

// The busy channel watch stops for a call and for an answered call, and resumes at the return to
// idle: after a link's DISCONNECTED, and also after an answered call that never became a link,
// where no DISCONNECTED is sent.
TEST(ArqCall, BusyWatchPausesForCallsAndResumesAtEveryReturnToIdle) {
    SessionLink link;
    for (int side : {0, 1}) link.station(side).radio.busyWatch.clear();
    ASSERT_TRUE(link.call()) << link.transcript();
    EXPECT_EQ(link.a().radio.busyWatch, std::vector<bool>{false}) << "paused by the call";
    EXPECT_EQ(link.b().radio.busyWatch, std::vector<bool>{false}) << "paused by the answer";
    link.a().session.disconnect();
    ASSERT_TRUE(link.runUntil([&] { return link.a().host.saw("DISCONNECTED") && link.b().host.saw("DISCONNECTED"); },
                              60 * kSecond)) << link.transcript();
    EXPECT_EQ(link.a().radio.busyWatch, (std::vector<bool>{false, true}));
    EXPECT_EQ(link.b().radio.busyWatch, (std::vector<bool>{false, true}));

    SessionLink unanswered;
    unanswered.b().radio.busyWatch.clear();
    unanswered.setFate(0, [](const AirItem& item, int) { return item.isCode ? Fate::Pass : Fate::Lose; });
    unanswered.a().session.connect("N0CALL-7", "W1AW");
    ASSERT_TRUE(unanswered.runUntil([&] { return unanswered.b().host.saw("PENDING"); }, 30 * kSecond));
    unanswered.a().session.reset();
    ASSERT_TRUE(unanswered.runUntil([&] { return unanswered.b().host.saw("CANCELPENDING"); }, 60 * kSecond))
        << unanswered.transcript();
    EXPECT_FALSE(unanswered.b().host.saw("DISCONNECTED"));
    ASSERT_FALSE(unanswered.b().radio.busyWatch.empty());
    EXPECT_FALSE(unanswered.b().radio.busyWatch.front());
    EXPECT_TRUE(unanswered.b().radio.busyWatch.back()) << "watching again after the failed answer";
}

TEST(ArqData, BytesBothWaysWithTurnsAndIdle) {
    SessionLink link;
    const auto fromA = randomBytes(4000, 1);
    const auto fromB = randomBytes(6000, 2);
    link.b().session.onHostData(fromB);
    ASSERT_TRUE(link.call()) << link.transcript();
    link.a().session.onHostData(fromA);
    ASSERT_TRUE(link.runUntil([&] {
        return link.a().host.received.size() >= fromB.size() && link.b().host.received.size() >= fromA.size();
    }, 600 * kSecond)) << link.transcript();
    EXPECT_EQ(link.a().host.received, fromB);
    EXPECT_EQ(link.b().host.received, fromA);
    EXPECT_GT(countOf(link.a().radio.sent, ControlCode::Break) + countOf(link.b().radio.sent, ControlCode::Break), 1);
    // With nothing left on either side the turn holder idles and the other answers.
    ASSERT_TRUE(link.runUntil([&] {
        return countOf(link.a().radio.sent, ControlCode::Idle) + countOf(link.b().radio.sent, ControlCode::Idle) > 0 &&
               countOf(link.a().radio.sent, ControlCode::IdleAck) + countOf(link.b().radio.sent, ControlCode::IdleAck) > 0;
    }, 60 * kSecond)) << link.transcript();
    EXPECT_EQ(link.a().host.lastBuffer, 0u);
    EXPECT_EQ(link.b().host.lastBuffer, 0u);
    // New bytes during the idle exchange are picked up.
    const auto late = randomBytes(500, 3);
    link.a().session.onHostData(late);
    ASSERT_TRUE(link.runUntil([&] { return link.b().host.received.size() >= fromA.size() + late.size(); },
                              120 * kSecond)) << link.transcript();
    EXPECT_TRUE(std::equal(late.begin(), late.end(), link.b().host.received.begin() + 4000));
    EXPECT_EQ(link.a().session.state() == SessionState::Disconnected, false);
}

// B holds the turn with data for A; the air takes chosen items from one side.
struct RepeatCase {
    const char* name;
    int side;  // whose transmissions the rule applies to
    std::function<Fate(const AirItem&, int)> rule;
    int expectSide;  // the station that must send expectCode
    ControlCode expectCode;
    int expectAtLeast;
    std::size_t bytes = 3000;  // B's data for A
};

void PrintTo(const RepeatCase& c, std::ostream* out) { *out << c.name; }

class ArqRepeat : public testing::TestWithParam<RepeatCase> {};

TEST_P(ArqRepeat, EveryByteArrivesOnceInOrder) {
    const RepeatCase& c = GetParam();
    SessionLink link;
    const auto fromB = randomBytes(c.bytes, 7);
    link.b().session.onHostData(fromB);
    link.setFate(c.side, c.rule);
    ASSERT_TRUE(link.call(120 * kSecond)) << link.transcript();
    ASSERT_TRUE(link.runUntil([&] { return link.a().host.received.size() >= fromB.size(); }, 600 * kSecond))
        << link.transcript();
    link.run(20 * kSecond);
    EXPECT_EQ(link.a().host.received, fromB) << link.transcript();
    EXPECT_GE(countOf(link.station(c.expectSide).radio.sent, c.expectCode), c.expectAtLeast)
        << link.transcript();
}

// Loses the item of kind and position, counted from the first data frame or code of the side.
std::function<Fate(const AirItem&, int)> nth(bool code, std::vector<int> indices, Fate fate = Fate::Lose,
                                            std::optional<ControlCode> only = std::nullopt) {
    auto count = std::make_shared<int>(0);
    return [=](const AirItem& item, int) {
        if (item.isCode != code) return Fate::Pass;
        if (only && item.code != *only) return Fate::Pass;
        const int index = (*count)++;
        return std::find(indices.begin(), indices.end(), index) != indices.end() ? fate : Fate::Pass;
    };
}

// The frame of the given position in the first two-frame bursts (each burst once).
std::function<Fate(const AirItem&, int)> inTwoFrameBursts(int frameIndex, Fate fate, int bursts = 1) {
    auto count = std::make_shared<int>(0);
    return [=](const AirItem& item, int) {
        if (item.isCode || item.burstFrames != 2 || item.frameIndex != frameIndex) return Fate::Pass;
        return (*count)++ < bursts ? fate : Fate::Pass;
    };
}

// Loses every answer code (1..11) in the given positions of A's answers.
std::function<Fate(const AirItem&, int)> answers(std::vector<int> indices) {
    auto count = std::make_shared<int>(0);
    return [=](const AirItem& item, int) {
        if (!item.isCode || codeNumber(item.code) > 11 || item.code == ControlCode::Qrt) return Fate::Pass;
        const int index = (*count)++;
        return std::find(indices.begin(), indices.end(), index) != indices.end() ? Fate::Lose : Fate::Pass;
    };
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ArqRepeat,
    testing::Values(
        // A's answer to B's second burst is lost: B asks with its request code and A repeats the
        // answer instead of taking the repeat as new data.
        RepeatCase{"LostAnswerIsRepeated", 0, answers({1}), 1, ControlCode::Req1, 1},
        RepeatCase{"TwoAnswersLostInARow", 0, answers({2, 3}), 1, ControlCode::Req0, 2},
        // B's burst never reaches A: B's request is new to A, which answers Nak.
        RepeatCase{"LostBurstIsAnsweredNak", 1, nth(false, {2}), 0, ControlCode::Nak, 1},
        // The burst is detected but fails its check: A answers Nak at once.
        RepeatCase{"FailedBurstIsAnsweredNak", 1, nth(false, {2, 3}, Fate::Corrupt), 0, ControlCode::Nak, 2},
        // The identification is lost, then A's repeated identification gets through.
        RepeatCase{"LostIdentificationIsRepeated", 0, nth(false, {0}), 0, ControlCode::Req0, 1},
        // B's Answer is lost: A's next attempt is answered.
        RepeatCase{"LostAnswerToTheCall", 1, nth(true, {0}), 0, ControlCode::Call1, 2},
        // A's TurnAck is lost: B repeats its accept code after its turn-request wait.
        RepeatCase{"LostTurnAck", 0, nth(true, {0}, Fate::Lose, ControlCode::TurnAck), 1,
                   ControlCode::AcceptMode5, 2},
        // Two-frame bursts: frame 1 fails its check, or is never detected, or frame 2 fails;
        // the answer names the frame and the repeat fills the gap in order.
        RepeatCase{"FirstOfTwoFails", 1, inTwoFrameBursts(1, Fate::Corrupt, 3), 0, ControlCode::NakFirst, 3,
                   60000},
        RepeatCase{"FirstOfTwoUnseen", 1, inTwoFrameBursts(1, Fate::Lose, 3), 0, ControlCode::NakFirst, 3,
                   60000},
        RepeatCase{"SecondOfTwoFails", 1, inTwoFrameBursts(2, Fate::Corrupt, 3), 0, ControlCode::NakSecond, 3,
                   60000}),
    [](const auto& info) { return std::string(info.param.name); });

// Frame 1 of a two-frame burst is lost and frame 2 arrives: A keeps frame 2 back until the repeat
// fills the gap. If B's host goes away then, the last BUFFER B's host saw must still count frame
// 2's bytes, which A's host never got.
TEST(ArqLinkLoss, LastBufferCountsTheBytesHeldBehindALostFrame) {
    SessionLink link;
    const auto fromB = randomBytes(60000, 9);
    link.b().session.onHostData(fromB);
    // Frame 1 of the first two-frame burst is lost, its frame 2 arrives, and nothing B sends after
    // it does: the repeat that would fill the gap never gets there.
    auto phase = std::make_shared<int>(0);  // 0: before that burst, 1: after its frame 1, 2: after it
    link.setFate(1, [phase](const AirItem& item, int) {
        if (item.isCode) return Fate::Pass;
        switch (*phase) {
            case 0:
                if (item.burstFrames != 2 || item.frameIndex != 1) return Fate::Pass;
                *phase = 1;
                return Fate::Lose;
            case 1:
                *phase = 2;
                return Fate::Pass;
            default:
                return Fate::Lose;
        }
    });
    ASSERT_TRUE(link.call(120 * kSecond)) << link.transcript();
    ASSERT_TRUE(link.runUntil([&] { return countOf(link.b().radio.heard, ControlCode::NakFirst) > 0; },
                              600 * kSecond))
        << link.transcript();
    link.b().session.dropLocally();
    ASSERT_TRUE(link.runUntil([&] { return link.a().host.saw("DISCONNECTED"); }, 120 * kSecond))
        << link.transcript();
    const auto& got = link.a().host.received;
    ASSERT_LE(got.size(), fromB.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), fromB.begin()));
    EXPECT_GE(link.b().host.lastBuffer, fromB.size() - got.size()) << "A's host got " << got.size() << " bytes";
}

}  // namespace
}  // namespace zolk

namespace zolk {
namespace {

using test::AirItem;
using test::Fate;
using test::SessionLink;

// Puts a code on the station's detector now, as if the peer had just sent it.
void hearNow(SessionLink& link, int side, ControlCode code) {
    AirItem item;
    item.isCode = true;
    item.code = code;
    item.startTick = item.arrivalTick = item.readyTick = link.now();
    link.station(side).radio.arrive(std::move(item));
}

struct EndCase {
    const char* name;
    int side;
    bool abort;
};

void PrintTo(const EndCase& c, std::ostream* out) { *out << c.name; }

class ArqEnd : public testing::TestWithParam<EndCase> {};

TEST_P(ArqEnd, BothHostsHearDisconnectedOnce) {
    const EndCase& c = GetParam();
    SessionLink link;
    const auto fromB = randomBytes(3000, 11);
    link.b().session.onHostData(fromB);
    ASSERT_TRUE(link.call()) << link.transcript();
    link.run(3 * kSecond);
    if (c.abort)
        link.station(c.side).session.abort();
    else
        link.station(c.side).session.disconnect();
    ASSERT_TRUE(link.runUntil([&] { return link.a().host.saw("DISCONNECTED") && link.b().host.saw("DISCONNECTED"); },
                              120 * kSecond)) << link.transcript();
    link.run(40 * kSecond);
    EXPECT_EQ(link.a().host.count("DISCONNECTED"), 1);
    EXPECT_EQ(link.b().host.count("DISCONNECTED"), 1);
    EXPECT_EQ(link.station(c.side).ui.callPanel.back(), "Disconnected");
    EXPECT_EQ(countOf(link.a().radio.sent, ControlCode::Qrt) + countOf(link.b().radio.sent, ControlCode::Qrt), 3);
    EXPECT_EQ(link.station(1 - c.side).log.lines.back().rfind("Disconnected", 0), 0u);
    const auto& got = link.a().host.received;
    if (c.abort) {
        ASSERT_LE(got.size(), fromB.size());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), fromB.begin())) << "what arrived arrived once, in order";
    } else {
        EXPECT_EQ(got, fromB) << "an orderly end waits for the turn, so the sender's data is through";
    }
}

INSTANTIATE_TEST_SUITE_P(Ends, ArqEnd,
                         testing::Values(EndCase{"DisconnectByReceiver", 0, false},
                                         EndCase{"DisconnectBySender", 1, false},
                                         EndCase{"AbortByReceiver", 0, true},
                                         EndCase{"AbortBySender", 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct QrtCase {
    const char* name;
    int side;
    SessionState state;
    int lossSide;  // whose items are lost to hold the state (-1: none)
    bool lossOfFrames;
    std::optional<ControlCode> lostCode;
    const char* hostLine;
};

void PrintTo(const QrtCase& c, std::ostream* out) { *out << c.name; }

class ArqQrt : public testing::TestWithParam<QrtCase> {};

TEST_P(ArqQrt, EndsTheLinkInEveryListeningState) {
    const QrtCase& c = GetParam();
    SessionLink link;
    link.b().session.onHostData(randomBytes(20000, 5));
    if (c.lossSide >= 0) {
        const bool frames = c.lossOfFrames;
        const auto code = c.lostCode;
        link.setFate(c.lossSide, [frames, code](const AirItem& item, int) {
            if (frames) return item.isCode ? Fate::Pass : Fate::Lose;
            return item.isCode && code && item.code == *code ? Fate::Lose : Fate::Pass;
        });
    }
    link.a().session.connect("N0CALL-7", "W1AW");
    auto& station = link.station(c.side);
    ASSERT_TRUE(link.runUntil([&] {
        return station.session.state() == c.state && !station.radio.transmitActive() &&
               station.session.stateTicks() > 1100;
    }, 60 * kSecond)) << link.transcript();
    hearNow(link, c.side, ControlCode::Qrt);
    link.run(8);
    EXPECT_EQ(station.session.state(), SessionState::Disconnected) << link.transcript();
    EXPECT_TRUE(station.host.saw(c.hostLine));
    EXPECT_EQ(station.log.lines.back().rfind(c.hostLine == std::string("CANCELPENDING") ? "Incoming" : "Disconnected", 0), 0u);
    EXPECT_NE(std::find(station.log.lines.begin(), station.log.lines.end(), "QRT Received"), station.log.lines.end());
}

INSTANTIATE_TEST_SUITE_P(
    States, ArqQrt,
    testing::Values(QrtCase{"Answering", 1, SessionState::Answering, 0, true, std::nullopt, "CANCELPENDING"},
                    QrtCase{"Identifying", 0, SessionState::Identifying, 0, true, std::nullopt, "DISCONNECTED"},
                    QrtCase{"TurnRequested", 1, SessionState::TurnRequested, 0, false, ControlCode::TurnAck,
                            "DISCONNECTED"},
                    QrtCase{"Receiving", 0, SessionState::Receiving, -1, false, std::nullopt, "DISCONNECTED"},
                    QrtCase{"Sending", 1, SessionState::Sending, -1, false, std::nullopt, "DISCONNECTED"}),
    [](const auto& info) { return std::string(info.param.name); });

// Codes heard again while a state waits: the answer is repeated, never taken as new.
TEST(ArqLink, RepeatedCodesAreAnsweredAgain) {
    SessionLink link;
    link.setFate(1, [](const AirItem& item, int) {
        return item.isCode && item.code == ControlCode::AcceptMode5 ? Fate::Lose : Fate::Pass;
    });
    link.a().session.connect("N0CALL-7", "W1AW");
    ASSERT_TRUE(link.runUntil([&] {
        return link.a().session.state() == SessionState::Identifying && !link.a().radio.transmitActive() &&
               link.a().session.stateTicks() > 1100;
    }, 30 * kSecond));
    const auto identifications = link.a().radio.burstModes.size();
    hearNow(link, 0, ControlCode::Answer);  // Answer heard a second time
    link.run(8);
    EXPECT_EQ(link.a().radio.burstModes.size(), identifications + 1);
    EXPECT_EQ(link.a().radio.burstModes.back(), 0);
    // B, waiting for TurnAck, answers a request with the accept code it sent before.
    ASSERT_TRUE(link.runUntil([&] {
        return link.b().session.state() == SessionState::TurnRequested && !link.b().radio.transmitActive() &&
               link.b().session.stateTicks() > 1100;
    }, 30 * kSecond)) << link.transcript();
    const auto sentBefore = link.b().radio.sent.size();
    hearNow(link, 1, ControlCode::Req1);
    link.run(8);
    ASSERT_EQ(link.b().radio.sent.size(), sentBefore + 1);
    EXPECT_EQ(link.b().radio.sent.back(), ControlCode::AcceptMode5);
}

TEST(ArqLink, ThirtySecondsOfSilenceEndTheLink) {
    SessionLink link;
    link.b().session.onHostData(randomBytes(50000, 3));
    ASSERT_TRUE(link.call()) << link.transcript();
    link.run(5 * kSecond);
    link.cut(true);
    std::array<long, 2> endedAt{-1, -1};
    std::array<long, 2> reportedAt{-1, -1};
    link.runUntil([&] {
        for (int side = 0; side < 2; ++side) {
            auto& s = link.station(side);
            if (endedAt[side] < 0 && !s.session.inProgress()) endedAt[side] = link.now();
            if (reportedAt[side] < 0 && s.host.saw("DISCONNECTED")) reportedAt[side] = link.now();
        }
        return reportedAt[0] >= 0 && reportedAt[1] >= 0;
    }, 60 * kSecond);
    for (int side = 0; side < 2; ++side) {
        auto& s = link.station(side);
        ASSERT_GE(reportedAt[side], 0) << side;
        // Thirty seconds after the last code or frame this station heard (to the tick, which may
        // have counted already when the frame came before it); the host
        // hears of it once the station's own transmission under way is over.
        EXPECT_NEAR(endedAt[side] - s.radio.lastHeardTick(), 30 * kSecond, 1) << side;
        EXPECT_LE(reportedAt[side] - endedAt[side], 3 * kSecond) << side;
        EXPECT_EQ(s.host.count("DISCONNECTED"), 1) << side;
        const auto& panel = s.ui.callPanel;
        EXPECT_NE(std::find(panel.begin(), panel.end(), "Connection timed out"), panel.end()) << side;
        EXPECT_EQ(s.log.lines.back().rfind("Disconnected (Time Out)", 0), 0u) << s.log.lines.back();
    }
}

TEST(ArqLink, FullTransmitBufferHoldsTheDataPortAndLosesNothing) {
    SessionLink link;
    const auto fromB = randomBytes(200000, 9);
    link.b().session.onHostData(std::span(fromB).first(120000));
    link.b().session.onHostData(std::span(fromB).subspan(120000));
    EXPECT_TRUE(link.b().host.held);
    EXPECT_EQ(link.b().host.lastBuffer, 200000u) << "the held bytes are counted as still to send";
    ASSERT_TRUE(link.call()) << link.transcript();
    ASSERT_TRUE(link.runUntil([&] { return link.a().host.received.size() >= fromB.size(); }, 1500 * kSecond))
        << link.transcript();
    link.run(30 * kSecond);
    EXPECT_EQ(link.a().host.received, fromB);
    EXPECT_EQ(link.b().host.holdChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(link.b().host.lastBuffer, 0u);
    EXPECT_TRUE(link.b().session.inProgress()) << "a full buffer does not end the link";
}

TEST(ArqLink, HostThatDoesNotReadHoldsTheSenderBack) {
    SessionLink link;
    const auto fromB = randomBytes(90000, 4);
    link.b().session.onHostData(fromB);
    link.a().host.takeLimit = 0;
    ASSERT_TRUE(link.call()) << link.transcript();
    link.run(400 * kSecond);
    EXPECT_TRUE(link.a().host.received.empty());
    EXPECT_LE(link.a().session.bytesHeldForHost(), ReceiveBuffer::kCapacityBytes) << "never past its end";
    EXPECT_GT(link.a().session.bytesHeldForHost(), ReceiveBuffer::kCapacityBytes - 5000) << "but nearly full";
    EXPECT_GE(link.b().host.lastBuffer, fromB.size() - ReceiveBuffer::kCapacityBytes);
    EXPECT_TRUE(link.b().session.inProgress());
    link.a().host.takeLimit = SIZE_MAX;
    ASSERT_TRUE(link.runUntil([&] { return link.a().host.received.size() >= fromB.size(); }, 600 * kSecond))
        << link.transcript();
    EXPECT_EQ(link.a().host.received, fromB);
}

TEST(ArqLink, HundredKilobytesEachWayAtTenDbWithSatelliteDelay) {
    SessionLink link(450, 10.0f);
    const auto fromA = randomBytes(100000, 21);
    const auto fromB = randomBytes(100000, 22);
    link.a().session.onHostData(fromA);
    link.b().session.onHostData(fromB);
    ASSERT_TRUE(link.call()) << link.transcript();
    ASSERT_TRUE(link.runUntil([&] {
        return link.a().host.received.size() >= fromB.size() && link.b().host.received.size() >= fromA.size();
    }, 3000 * kSecond)) << link.transcript();
    EXPECT_EQ(link.a().host.received, fromB);
    EXPECT_EQ(link.b().host.received, fromA);
    link.a().session.disconnect();
    ASSERT_TRUE(link.runUntil([&] { return link.a().host.saw("DISCONNECTED") && link.b().host.saw("DISCONNECTED"); },
                              120 * kSecond)) << link.transcript();
}

}  // namespace
}  // namespace zolk

namespace zolk {
namespace {

// DISCONNECT while the link idles: the station holding the turn ends it at the next IdleAck,
// the other takes the turn with Break as it would for data, then ends it.
TEST(ArqLink, DisconnectWhileIdleEndsTheLink) {
    for (int side = 0; side < 2; ++side) {
        SCOPED_TRACE(side);
        SessionLink link;
        ASSERT_TRUE(link.call()) << link.transcript();
        ASSERT_TRUE(link.runUntil([&] { return countOf(link.a().radio.sent, ControlCode::IdleAck) +
                                               countOf(link.b().radio.sent, ControlCode::IdleAck) >= 2; },
                                  120 * kSecond)) << link.transcript();
        link.station(side).session.disconnect();
        ASSERT_TRUE(link.runUntil([&] { return link.a().host.saw("DISCONNECTED") && link.b().host.saw("DISCONNECTED"); },
                                  60 * kSecond)) << link.transcript();
        EXPECT_EQ(countOf(link.station(side).radio.sent, ControlCode::Qrt), 3);
        EXPECT_EQ(link.station(side).log.lines.back().rfind("Disconnected      TX", 0), 0u);
    }
}

// Links over an air that loses or corrupts a share of all codes and frames at random, data both
// ways, and on odd seeds an ABORT or DISCONNECT from either side at a random moment: every byte
// arrives at most once and in order, and every link ends.
TEST(ArqLink, RandomLossesNeverDuplicateReorderOrWedge) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        const float snr = std::uniform_real_distribution<float>(-12.0f, 20.0f)(rng);
        const double lossShare = std::uniform_real_distribution<double>(0.0, 0.15)(rng);
        test::SessionLink link(450, snr);
        for (int side = 0; side < 2; ++side) {
            auto draw = std::make_shared<std::mt19937>(seed * 7 + static_cast<unsigned>(side));
            link.setFate(side, [draw, lossShare](const AirItem&, int) {
                const double u = std::uniform_real_distribution<double>(0.0, 1.0)(*draw);
                if (u < lossShare / 2) return Fate::Lose;
                if (u < lossShare) return Fate::Corrupt;
                return Fate::Pass;
            });
        }
        const auto fromA = randomBytes(std::uniform_int_distribution<std::size_t>(0, 3000)(rng), seed);
        const auto fromB = randomBytes(std::uniform_int_distribution<std::size_t>(1, 6000)(rng), seed + 100);
        link.a().session.onHostData(fromA);
        link.b().session.onHostData(fromB);
        link.a().session.connect("N0CALL-7", "W1AW");
        if (seed % 2 == 1) {
            link.run(std::uniform_int_distribution<long>(1, 200)(rng) * kSecond);
            auto& session = link.station(static_cast<int>(rng() % 2)).session;
            if (rng() % 2 == 0)
                session.abort();
            else
                session.disconnect();
        }
        const bool done = link.runUntil([&] {
            return link.a().host.received.size() >= fromB.size() && link.b().host.received.size() >= fromA.size();
        }, 1200 * kSecond);
        const bool connected = link.a().host.saw("CONNECTED N0CALL-7 W1AW");
        for (const auto& [got, sent] : {std::pair{&link.a().host.received, &fromB},
                                        std::pair{&link.b().host.received, &fromA}}) {
            ASSERT_LE(got->size(), sent->size()) << link.transcript();
            const auto mismatch = std::mismatch(got->begin(), got->end(), sent->begin());
            EXPECT_TRUE(mismatch.first == got->end())
                << "first difference at byte " << (mismatch.first - got->begin()) << " of " << got->size()
                << " received, " << sent->size() << " sent\n" << link.transcript(400);
        }
        if (connected && !done) {
            // A link that dropped on its own must have told both hosts.
            EXPECT_FALSE(link.a().session.inProgress() && link.b().session.inProgress()) << link.transcript();
        }
        link.a().session.disconnect();
        link.b().session.disconnect();
        EXPECT_TRUE(link.runUntil([&] {
            return !link.a().session.inProgress() && !link.b().session.inProgress();
        }, 300 * kSecond)) << "wedged\n" << link.transcript();
        link.run(5 * kSecond);  // the cleanup waits for a transmission under way
        EXPECT_EQ(link.a().host.count("DISCONNECTED"), 1);
        EXPECT_EQ(link.b().host.count("DISCONNECTED"), link.b().host.saw("CONNECTED N0CALL-7 W1AW") ? 1 : 0);
    }
}

}  // namespace
}  // namespace zolk
