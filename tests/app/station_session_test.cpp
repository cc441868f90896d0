// Stations with their ARQ session in virtual time, driven as a host program drives them: commands
// and DataPort bytes in, status lines and received bytes out, the air through the real audio path.
#include "app/station_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/station.h"
#include "sim/channel_model.h"
#include "sim/harness.h"
#include "support/scratch_dir.h"

namespace zolk {
namespace {

using sim::SimStation;
using std::chrono::milliseconds;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int countOf(const std::string& text, std::string_view part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

class StationSessionTest : public ::testing::Test {
protected:
    // A started station with both host ports taken; settings is the INI file's text, if any.
    SimStation& addStation(const std::string& name, const std::string& settings = {}) {
        std::filesystem::create_directories(root / name);
        if (!settings.empty()) std::ofstream(root / name / "ZOLK SAT.ini") << settings;
        SimStation& s = harness.addStation(root / name);
        EXPECT_TRUE(s.station().start());
        harness.hostConnects(s, HostSocket::Command);
        harness.hostConnects(s, HostSocket::Data);
        return s;
    }
    // Start-up fills the playback queues with silence first.
    void settle() { harness.runFor(milliseconds{1500}); }

    void command(SimStation& s, std::string_view line) {
        harness.hostSends(s, HostSocket::Command, bytesOf(std::string(line) + "\r"));
    }
    static std::string replies(SimStation& s) { return s.hostLink().sentText(HostSocket::Command); }
    static std::string received(SimStation& s) { return s.hostLink().sentText(HostSocket::Data); }
    static ArqSession& arq(SimStation& s) { return s.station().session().arq(); }
    // The last "BUFFER n" line the host got, without its end; empty before the first.
    static std::string lastBuffer(SimStation& s) {
        const std::string r = replies(s);
        const auto at = r.rfind("BUFFER ");
        return at == std::string::npos ? std::string() : r.substr(at, r.find('\r', at) - at);
    }

    // Runs in steps of 100 ms until done() holds; false when limit passed first.
    bool runUntil(const std::function<bool()>& done, milliseconds limit) {
        for (milliseconds t{0}; t < limit; t += milliseconds{100}) {
            if (done()) return true;
            harness.runFor(milliseconds{100});
        }
        return done();
    }
    static bool sentAnything(const SimStation& s) {
        return std::any_of(s.air().begin(), s.air().end(), [](std::int16_t v) { return v != 0; });
    }

    test::ScratchDir scratch;
    const std::filesystem::path& root = scratch.path();
    sim::Harness harness;
};

// With nobody answering, each attempt sends one call; after the last the operator reads "Unable
// to connect", the host gets DISCONNECTED and the log has every attempt and the summary.
TEST_F(StationSessionTest, UnansweredCallEndsAfterTheLastAttempt) {
    SimStation& a = addStation("a", "[Setup]\nRetries=2\n");
    settle();
    command(a, "MYCALL EA5ABC");
    command(a, "CONNECT EA5ABC N0CALL");
    EXPECT_EQ(arq(a).state(), SessionState::Calling);
    EXPECT_FALSE(a.ui().menu(MenuItem::Setup).enabled);
    EXPECT_EQ(a.ui().panelText("Indicativos"), "Connecting to N0CALL ...1/2");
    ASSERT_TRUE(runUntil([&] { return replies(a).find("DISCONNECTED") != std::string::npos; }, milliseconds{60000}))
        << replies(a);
    EXPECT_EQ(replies(a), "OK\rOK\rPTT ON\rPTT OFF\rPTT ON\rPTT OFF\rDISCONNECTED\r");
    EXPECT_EQ(a.ui().panelText("Indicativos"), "Unable to connect");
    EXPECT_TRUE(a.ui().menu(MenuItem::Setup).enabled);
    EXPECT_FALSE(arq(a).inProgress());
    const std::string log = readFile(root / "a" / "ZOLKSAT.log");
    EXPECT_EQ(countOf(log, "Connecting to N0CALL... "), 2) << log;
    EXPECT_NE(log.find("Connecting to N0CALL... 2/2"), std::string::npos) << log;
    EXPECT_NE(log.find("Disconnected      TX: 0 Bytes (Max: 0 bps)   RX: 0 Bytes (Max: 0 bps)"), std::string::npos)
        << log;
    // The START lamp was lit for the call; the lamps go white when a transmission ends.
    EXPECT_EQ(a.ui().indicator(TransmitIndicator::Start), IndicatorColour::White);
}

// Bytes from the host are counted at once; a full transmit buffer holds the DataPort (TCP holds
// the host back) instead of dropping bytes, and the end of the link lets it go again.
TEST_F(StationSessionTest, DataPortBytesAreCountedAndAFullBufferHoldsTheDataPort) {
    SimStation& a = addStation("a", "[Setup]\nRetries=1\n");
    settle();
    harness.hostSends(a, HostSocket::Data, bytesOf("hello"));
    EXPECT_EQ(replies(a), "BUFFER 5\r");
    const std::vector<std::uint8_t> bulk(TransmitBuffer::kCapacityBytes, 0x5a);
    harness.hostSends(a, HostSocket::Data, bulk);
    EXPECT_EQ(replies(a), "BUFFER 5\rBUFFER 150005\r");
    EXPECT_TRUE(a.hostLink().readingHeld(HostSocket::Data));
    EXPECT_EQ(arq(a).bytesToSend(), TransmitBuffer::kCapacityBytes + 5);
    EXPECT_EQ(arq(a).state(), SessionState::Disconnected) << "nothing is aborted";
    command(a, "CONNECT EA5ABC N0CALL");
    ASSERT_TRUE(runUntil([&] { return replies(a).find("DISCONNECTED") != std::string::npos; }, milliseconds{30000}));
    EXPECT_FALSE(a.hostLink().readingHeld(HostSocket::Data));
    EXPECT_EQ(arq(a).bytesToSend(), 0u);
}

// With no link there is nothing to end: both are answered "OK" and nothing goes on the air.
TEST_F(StationSessionTest, DisconnectAndAbortWhileIdleAreOnlyAnswered) {
    SimStation& a = addStation("a");
    settle();
    command(a, "DISCONNECT");
    command(a, "ABORT");
    harness.runFor(milliseconds{3000});
    EXPECT_EQ(replies(a), "OK\rOK\r");
    EXPECT_FALSE(sentAnything(a));
    EXPECT_FALSE(arq(a).inProgress());
}

// A station with LISTEN OFF hears its own call and never answers: no PENDING, nothing sent.
TEST_F(StationSessionTest, ListenOffNeverAnswersACall) {
    SimStation& a = addStation("a", "[Setup]\nRetries=2\n");
    SimStation& b = addStation("b");
    harness.connect(a, b);
    harness.connect(b, a);
    settle();
    command(b, "MYCALL N0CALL");
    command(b, "LISTEN ON");
    command(b, "LISTEN OFF");
    command(a, "MYCALL EA5ABC");
    command(a, "CONNECT EA5ABC N0CALL");
    ASSERT_TRUE(runUntil([&] { return replies(a).find("DISCONNECTED") != std::string::npos; }, milliseconds{60000}));
    // The call is heard only as a busy channel.
    EXPECT_EQ(replies(b), "OK\rOK\rOK\rBUSY ON\r");
    EXPECT_FALSE(sentAnything(b));
    EXPECT_EQ(a.ui().panelText("Indicativos"), "Unable to connect");
}

// Two stations joined sample for sample: A calls B, both hosts send 2 kB, each host gets the
// other's bytes exactly, and A's DISCONNECT ends the link on both sides.
TEST_F(StationSessionTest, TwoStationsConnectAndMoveTwoKilobytesEachWay) {
    SimStation& a = addStation("a");
    SimStation& b = addStation("b");
    harness.connect(a, b);
    harness.connect(b, a);
    a.recordAir(false);
    b.recordAir(false);
    settle();
    ASSERT_TRUE(a.station().sessionLog().setDebug(true));
    command(a, "MYCALL EA5ABC");
    command(b, "MYCALL N0CALL");
    command(b, "LISTEN ON");
    command(a, "CONNECT EA5ABC N0CALL");
    const auto connected = [](SimStation& s) { return replies(s).find("CONNECTED EA5ABC N0CALL\r") != std::string::npos; };
    ASSERT_TRUE(runUntil([&] { return connected(a) && connected(b); }, milliseconds{30000}))
        << "A: " << replies(a) << "\nB: " << replies(b);
    EXPECT_NE(replies(b).find("PENDING\r"), std::string::npos);

    std::mt19937 random(13);
    std::vector<std::uint8_t> fromA(2048);
    std::vector<std::uint8_t> fromB(2048);
    for (auto& v : fromA) v = static_cast<std::uint8_t>(random());
    for (auto& v : fromB) v = static_cast<std::uint8_t>(random());
    harness.hostSends(a, HostSocket::Data, fromA);
    harness.hostSends(b, HostSocket::Data, fromB);
    // Done when every byte arrived and both senders heard the last acknowledgement.
    ASSERT_TRUE(runUntil([&] { return a.hostLink().sent(HostSocket::Data).size() >= fromB.size() &&
                                      b.hostLink().sent(HostSocket::Data).size() >= fromA.size() &&
                                      lastBuffer(a) == "BUFFER 0" && lastBuffer(b) == "BUFFER 0"; },
                         milliseconds{120000}))
        << "A got " << received(a).size() << " (" << lastBuffer(a) << "), B got " << received(b).size() << " ("
        << lastBuffer(b) << ")";
    EXPECT_EQ(a.hostLink().sent(HostSocket::Data), fromB);
    EXPECT_EQ(b.hostLink().sent(HostSocket::Data), fromA);

    command(a, "DISCONNECT");
    ASSERT_TRUE(runUntil([&] { return !arq(a).inProgress() && !arq(b).inProgress(); }, milliseconds{60000}));
    // The radio stays keyed through the three QRT frames and is released by the cleanup.
    const std::string endOfA = "PTT ON\rPTT ON\rPTT ON\rDISCONNECTED\rPTT OFF\r";
    EXPECT_EQ(replies(a).substr(replies(a).size() - std::min(replies(a).size(), endOfA.size())), endOfA);
    for (SimStation* s : {&a, &b}) {
        EXPECT_EQ(countOf(replies(*s), "DISCONNECTED\r"), 1) << replies(*s);
        EXPECT_EQ(s->ui().panelText("Indicativos"), "Disconnected");
    }
    EXPECT_NE(readFile(root / "a" / "ZOLKSAT.log").find("Connected to N0CALL"), std::string::npos);
    EXPECT_NE(readFile(root / "b" / "ZOLKSAT.log").find("EA5ABC connected"), std::string::npos);
    const std::string debug = readFile(root / "a" / "ZOLKSAT-debug.log");
    EXPECT_NE(debug.find("sends Call1"), std::string::npos) << debug;
    EXPECT_NE(debug.find("Calling: hears Answer"), std::string::npos) << debug;
    EXPECT_FALSE(std::filesystem::exists(root / "b" / "ZOLKSAT-debug.log"));
}

// Two stations 0.25 s apart with a different frequency error each way ping each other through the
// host's CALIBRATE: A's fine ping is heard 50 Hz high (reply 14: move 47 Hz down), B's rough ping
// 30 Hz low (reply 7: stay). Each reads the other direction's error as its RX shift and a ping
// time of the round trip plus the processing: each side reports a pattern about 90 ms after its
// last tone (the spectrogram's 43 ms window and 8 more detector runs), and the wait for the reply
// outlasts the reply's lead-in and pattern by 64 ms. A MYCALL during the ping does not take the
// pinged station's patterns away.
TEST_F(StationSessionTest, TwoStationsPingEachOtherThroughOffsetsAndDelay) {
    SimStation& a = addStation("a");
    SimStation& b = addStation("b");
    harness.connect(a, b, std::make_unique<sim::ChannelModel>(sim::ChannelSettings{.delayMs = 250.0, .offsetHz = 50.0}));
    harness.connect(b, a, std::make_unique<sim::ChannelModel>(sim::ChannelSettings{.delayMs = 250.0, .offsetHz = -30.0}));
    a.recordAir(false);
    b.recordAir(false);
    settle();
    for (auto [s, call] : {std::pair{&a, "EA5ABC"}, std::pair{&b, "N0CALL"}}) {
        command(*s, std::string("MYCALL ") + call);
        command(*s, "LISTEN ON");
    }
    command(a, "CALIBRATE FINE n0call");
    EXPECT_EQ(a.station().settings().calibrationTarget, "N0CALL");
    EXPECT_EQ(arq(a).state(), SessionState::Pinging);
    command(a, "MYCALL EA5ABC");
    ASSERT_TRUE(runUntil([&] { return a.ui().calibration().size() == 2; }, milliseconds{10000}));
    const CalibrationView fine = a.ui().calibration()[1];
    ASSERT_EQ(fine.status, CalibrationStatus::Result);
    EXPECT_EQ(fine.txShiftHz, -47);
    EXPECT_NEAR(fine.rxShiftHz, -30, 6);
    constexpr int kPingMs = 2 * 250 + 2 * 90 - 64;
    EXPECT_NEAR(fine.pingMs, kPingMs, 20);
    EXPECT_EQ(a.ui().calibration()[0].status, CalibrationStatus::SendingPing);
    // CALIBRATE is answered once the ping is keyed.
    EXPECT_EQ(replies(a), "OK\rOK\rPTT ON\rOK\rOK\rPTT OFF\r");
    EXPECT_NE(readFile(root / "b" / "ZOLKSAT.log").find("Fine Tuning request"), std::string::npos);

    // B heard A's ping as a busy channel; its own ping waits for the release.
    EXPECT_NE(replies(b).find("BUSY ON\r"), std::string::npos) << replies(b);
    ASSERT_TRUE(runUntil([&] { return !arq(b).inProgress() && replies(b).find("BUSY OFF\r") != std::string::npos; },
                         milliseconds{12000}))
        << replies(b);
    command(b, "CALIBRATE ROUGH EA5ABC");
    ASSERT_TRUE(runUntil([&] { return b.ui().calibration().size() == 2; }, milliseconds{30000}));
    const CalibrationView rough = b.ui().calibration()[1];
    ASSERT_EQ(rough.status, CalibrationStatus::Result);
    EXPECT_EQ(rough.txShiftHz, 0);
    EXPECT_NEAR(rough.rxShiftHz, 50, 6);
    EXPECT_NEAR(rough.pingMs, kPingMs, 20);
    EXPECT_NE(readFile(root / "a" / "ZOLKSAT.log").find("Rough Tuning request"), std::string::npos);
    for (SimStation* s : {&a, &b}) {
        EXPECT_FALSE(arq(*s).inProgress());
        EXPECT_EQ(countOf(replies(*s), "CONNECTED"), 0) << replies(*s);
    }
}

}  // namespace
}  // namespace zolk
