// Two stations across the satellite path (0.3 s each way, noise, chosen transmissions lost), each
// driven by its host program: the bytes each host hands over reach the other host once and in order.
#include "sim/station_pair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/station_session.h"
#include "sim/link_transfer.h"
#include "support/scratch_dir.h"

namespace zolk::sim {
namespace {

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int countLines(const HostView& view, std::string_view line) {
    return static_cast<int>(std::count_if(view.replies.begin(), view.replies.end(),
                                          [&](const HostReply& r) { return r.line == line; }));
}

class StationPairTest : public ::testing::Test {
protected:
    static bool idle(StationPair& pair) {
        return !pair.station(Side::A).station().session().arq().inProgress() &&
               !pair.station(Side::B).station().session().arq().inProgress();
    }

    zolk::test::ScratchDir scratch;
    const std::filesystem::path& root = scratch.path();
};

// 0.3 s each way at 10 dB: both hosts send 100 kB at once (about 13 minutes of link, 5 s of CPU), each gets the other's bytes exactly, and A's
// DISCONNECT ends the link with one DISCONNECTED on each host.
TEST_F(StationPairTest, HundredKilobytesCrossBothWaysAtTenDecibels) {
    constexpr std::size_t kBytes = 100000;
    StationPair pair(root, LinkSettings{.snrDb = 10.0, .seed = 3});
    const auto fromA = randomBytes(kBytes, 1);
    const auto fromB = randomBytes(kBytes, 2);
    pair.send(Side::A, fromA);
    pair.send(Side::B, fromB);
    pair.callB();
    ASSERT_TRUE(pair.runUntil([&] { return pair.host(Side::A).received.size() >= kBytes &&
                                           pair.host(Side::B).received.size() >= kBytes &&
                                           pair.host(Side::A).lastBuffer == 0u && pair.host(Side::B).lastBuffer == 0u; },
                              1800.0))
        << "A got " << pair.host(Side::A).received.size() << ", B got " << pair.host(Side::B).received.size();
    EXPECT_EQ(pair.host(Side::A).received, fromB);
    EXPECT_EQ(pair.host(Side::B).received, fromA);
    for (const Side side : {Side::A, Side::B}) {
        ASSERT_TRUE(pair.host(side).connectedS.has_value());
        EXPECT_EQ(countLines(pair.host(side), "CONNECTED EA5ABC N0CALL"), 1);
        EXPECT_LT(*pair.host(side).connectedS, *pair.host(side).lastByteS);
    }
    pair.command(Side::A, "DISCONNECT");
    ASSERT_TRUE(pair.runUntil([&] { return idle(pair); }, 120.0));
    for (const Side side : {Side::A, Side::B}) EXPECT_EQ(countLines(pair.host(side), "DISCONNECTED"), 1);
    EXPECT_EQ(pair.pathFrom(Side::A).erased() + pair.pathFrom(Side::B).erased(), 0);
}

// A transmission lost on the air is made good by the repeat paths: the bytes still arrive once and
// in order, and the sender's log shows how it noticed.
TEST_F(StationPairTest, ALostTransmissionIsRepeated) {
    struct Case {
        std::string_view name;
        Side erasedFrom;
        SessionState senderState;
        int nth;                      // the nth transmission in that state is lost
        std::string_view aNotices;    // in A's debug log: how A noticed
        std::string_view thenHears;   // and what A heard next
    };
    const Case cases[] = {
        // B heard nothing: A's request is answered Nak and the burst is sent again.
        {"data burst", Side::A, SessionState::Sending, 1, "no answer within", "hears Nak"},
        {"turn acknowledgement", Side::B, SessionState::Receiving, 1, "no TurnAck: repeating Break", "hears TurnAck"},
        // B has the burst: A's request is answered with the acknowledgement again, nothing repeated.
        {"answer to a data burst", Side::B, SessionState::Receiving, 2, "no answer within", "hears Ack"},
    };
    constexpr std::size_t kBytes = 3000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int seen = 0;
        const ErasureRule rule = [&](const TransmissionStart& t) {
            return t.senderState == c.senderState && ++seen == c.nth;
        };
        LinkSettings link{.snrDb = 10.0, .seed = 5};
        (c.erasedFrom == Side::A ? link.eraseFromA : link.eraseFromB) = rule;
        const auto folder = root / std::string(c.name);
        StationPair pair(folder, link);
        for (const Side side : {Side::A, Side::B}) ASSERT_TRUE(pair.station(side).station().sessionLog().setDebug(true));
        const auto bytes = randomBytes(kBytes, 7);
        pair.send(Side::A, bytes);
        pair.callB();
        ASSERT_TRUE(pair.runUntil([&] { return pair.host(Side::B).received.size() >= kBytes &&
                                               pair.host(Side::A).lastBuffer == 0u; }, 300.0))
            << "B got " << pair.host(Side::B).received.size();
        EXPECT_EQ(pair.pathFrom(c.erasedFrom).erased(), 1);
        EXPECT_EQ(pair.host(Side::B).received, bytes);
        pair.runFor(5.0);
        EXPECT_EQ(pair.host(Side::B).received.size(), kBytes) << "nothing arrives twice";
        const std::string log = readFile(folder / "a" / "ZOLKSAT-debug.log");
        const auto noticed = log.find(c.aNotices);
        ASSERT_NE(noticed, std::string::npos) << log;
        const auto heard = log.find("hears ", noticed);
        ASSERT_NE(heard, std::string::npos) << log;
        EXPECT_EQ(log.substr(heard, c.thenHears.size()), c.thenHears) << log;
    }
}

// A station given a window draws on it from its start on, as it shows its recording: the same
// panels, menus, chart points and waterfall rows through a call.
TEST_F(StationPairTest, AStationWithAWindowDrawsOnItWhatItRecords) {
    RecordingUi window;
    StationPair pair(root, LinkSettings{.snrDb = 10.0, .seed = 7}, "EA5ABC", "N0CALL", {nullptr, &window});
    pair.station(Side::B).station().setWindowShown(true);
    pair.send(Side::A, randomBytes(2000, 7));
    pair.callB();
    ASSERT_TRUE(pair.runUntil([&] { return window.chartPoints().size() >= 3; }, 60.0));
    const RecordingUi& recorded = pair.station(Side::B).ui();
    EXPECT_EQ(window.views(), recorded.views());
    EXPECT_EQ(window.windowPosition(), recorded.windowPosition());
    for (const char* panel : {"Indicativos", "Baud", "Bytes", "Listen", "PTT"}) {
        EXPECT_TRUE(window.hasPanel(panel)) << panel;
        EXPECT_EQ(window.panelText(panel), recorded.panelText(panel)) << panel;
    }
    EXPECT_EQ(window.panelText("Indicativos"), "EA5ABC <-> N0CALL");
    EXPECT_EQ(window.menu(MenuItem::ViewAll).checked, recorded.menu(MenuItem::ViewAll).checked);
    EXPECT_EQ(window.chartPoints(), recorded.chartPoints());
    EXPECT_EQ(window.chartColour(), recorded.chartColour());
    EXPECT_FALSE(window.waterfallRows().empty());
    EXPECT_EQ(window.waterfallRows(), recorded.waterfallRows());
    EXPECT_EQ(window.snrDb(), recorded.snrDb());
    EXPECT_EQ(window.plottedPoints(), recorded.plottedPoints());
}

}  // namespace
}  // namespace zolk::sim
