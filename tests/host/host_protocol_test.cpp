#include "host/host_protocol.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "phy/common/call_sign.h"
#include "sim/recording_host_link.h"
#include "sim/recording_ui.h"
#include "support/recording_links.h"
#include "version.h"

namespace zolk {
namespace {

using namespace std::string_view_literals;
using sim::RecordingHostLink;
using sim::RecordingUi;
using test::RecordingLinks;

class HostProtocolTest : public ::testing::Test {
protected:
    HostProtocolTest() {
        link.setConnected(HostSocket::Command, true);
        link.setConnected(HostSocket::Data, true);
        links.link = &link;
    }

    // One chunk as the CommandPort delivers it; returns what was answered to it.
    std::string send(std::string_view chunk) {
        link.clearSent(HostSocket::Command);
        protocol.onCommandBytes(
            std::span(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()));
        return link.sentText(HostSocket::Command);
    }

    RecordingHostLink link;
    RecordingUi ui;
    RecordingLinks links;
    HostProtocol protocol{link, ui, links.links()};
};

TEST_F(HostProtocolTest, LowerCaseConnectIsAcceptedAndStoresUpperCaseCalls) {
    EXPECT_EQ(send("connect ea5abc n0call-7\r"), "OK\r");
    EXPECT_EQ(protocol.sourceCall(), "EA5ABC");
    EXPECT_EQ(protocol.destinationCall(), "N0CALL-7");
    const std::vector<std::string> expected{
        "leaveMonitorMode", "buildCallPatterns " + std::to_string(callSeed("N0CALL-7")) + " call",
        "connect"};
    EXPECT_EQ(links.effects, expected);
    // "OK" goes out before the call is set in motion.
    EXPECT_EQ(links.repliesBefore.front(), "OK\r");
}

TEST_F(HostProtocolTest, MalformedConnectIsWrongAndChangesNothing) {
    send("CONNECT EA5ABC N0CALL\r");
    links.effects.clear();
    struct Case {
        std::string_view name, line;
    };
    constexpr std::array<Case, 7> kCases{{
        {"one call sign", "CONNECT EA5ABC\r"},
        {"three call signs", "CONNECT EA5ABC N0CALL K1T\r"},
        {"invalid destination", "CONNECT EA5ABC N0CALL-19\r"},
        {"invalid source", "CONNECT EA5ABCDE N0CALL\r"},
        {"empty source", "CONNECT  N0CALL\r"},
        {"empty destination", "CONNECT EA5ABC \r"},
        {"no blank after the word", "CONNECTEA5ABC N0CALL\r"},
    }};
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.name));
        EXPECT_EQ(send(c.line), "WRONG\r");
    }
    EXPECT_TRUE(links.effects.empty());
    EXPECT_EQ(protocol.sourceCall(), "EA5ABC");
    EXPECT_EQ(protocol.destinationCall(), "N0CALL");
}

TEST_F(HostProtocolTest, ConnectDuringALinkIsRefusedWithoutTouchingIt) {
    send("CONNECT EA5ABC N0CALL\r");
    links.effects.clear();
    links.sessionInProgress = true;
    EXPECT_EQ(send("CONNECT EA5ABC K1T\r"), "WRONG\r");
    EXPECT_EQ(protocol.destinationCall(), "N0CALL");
    EXPECT_TRUE(links.effects.empty());
}

// A CONNECT while a calibration ping is on the air is refused, and the operator is told why.
TEST_F(HostProtocolTest, ConnectDuringACalibrationIsRefusedWithItsReason) {
    links.sessionInProgress = true;
    links.sessionCalibrating = true;
    EXPECT_EQ(send("CONNECT EA5ABC K1T\r"), "WRONG\r");
    EXPECT_EQ(ui.messageBoxes(), (std::vector<std::pair<std::string, std::string>>{
                                     {"ZOLK SAT", "Not while calibration is in progress"}}));
    EXPECT_TRUE(links.effects.empty());
}

// Our own command for a station without a window: "OK" once the ping is on its way.
TEST_F(HostProtocolTest, CalibrateStartsAPingOrIsWrong) {
    EXPECT_EQ(send("calibrate fine n0call-7\r"), "OK\r");
    EXPECT_EQ(send("CALIBRATE ROUGH EA5ABC\r"), "OK\r");
    EXPECT_EQ(links.effects, (std::vector<std::string>{"startPing 2 N0CALL-7", "startPing 1 EA5ABC"}));
    links.effects.clear();
    for (const std::string_view line : {"CALIBRATE FINE\r", "CALIBRATE  N0CALL\r", "CALIBRATE MEDIUM N0CALL\r",
                                        "CALIBRATE FINE N0CALL EXTRA\r", "CALIBRATE FINE TOOLONGCALL\r",
                                        "CALIBRATE FINE \r", "CALIBRATE\r"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(send(line), "WRONG\r");
    }
    EXPECT_TRUE(links.effects.empty());
    links.pingAccepted = false;  // a ping or a link already under way
    EXPECT_EQ(send("CALIBRATE FINE N0CALL\r"), "WRONG\r");
}

TEST_F(HostProtocolTest, MyCallWithFiveCallsFillsEverySlotAndTheCaption) {
    EXPECT_EQ(send("MYCALL EA5ABC EA5ABC-1 EA5ABC-T K1T N0CALL-15\r"), "OK\r");
    const std::array<std::string, 5> expected{"EA5ABC", "EA5ABC-1", "EA5ABC-T", "K1T", "N0CALL-15"};
    EXPECT_EQ(protocol.myCalls(), expected);
    EXPECT_EQ(ui.caption(), std::string(kWindowCaption) + "EA5ABC  EA5ABC-1  EA5ABC-T  K1T  N0CALL-15  ");
    for (std::size_t slot = 0; slot < 5; ++slot)
        EXPECT_EQ(protocol.slotSeeds()[slot], callSeed(expected[slot])) << "slot " << slot + 1;
    EXPECT_EQ(links.lastSlotSeeds, protocol.slotSeeds());
}

TEST_F(HostProtocolTest, MyCallRunsItsStepsInOrderAndAnswersAfterTheRadioPort) {
    send("MYCALL ea5abc\r");
    const std::vector<std::string> expected{
        "takeOverPtt", "applyRadioPort", "buildCallPatterns 0 idle",
        "drawPingPatterns " + std::to_string(callSeed("EA5ABC"))};
    EXPECT_EQ(links.effects, expected);
    const std::vector<std::string> answered{"", "", "OK\r", "OK\r"};
    EXPECT_EQ(links.repliesBefore, answered);
}

TEST_F(HostProtocolTest, MyCallWithOneCallEmptiesSlotsTwoToFive) {
    send("MYCALL EA5ABC EA5ABC-1 EA5ABC-2 EA5ABC-3 EA5ABC-4\r");
    EXPECT_EQ(send("MYCALL K1T\r"), "OK\r");
    const std::array<std::string, 5> expected{"K1T", "", "", "", ""};
    EXPECT_EQ(protocol.myCalls(), expected);
    const SlotSeeds seeds{callSeed("K1T"), 0, 0, 0, 0};
    EXPECT_EQ(protocol.slotSeeds(), seeds);
    EXPECT_EQ(ui.caption(), std::string(kWindowCaption) + "K1T  ");
}

TEST_F(HostProtocolTest, RefusedMyCallChangesNothing) {
    send("MYCALL EA5ABC\r");
    links.effects.clear();
    ui.clearCaption();
    struct Case {
        std::string_view name, line;
    };
    constexpr std::array<Case, 9> kCases{{
        {"six call signs", "MYCALL A1A A1B A1C A1D A1E A1F\r"},
        {"dash and 0", "MYCALL K1T-0\r"},
        {"dash and nothing", "MYCALL K1T-\r"},
        {"dash and 19", "MYCALL K1T-19\r"},
        {"invalid second call", "MYCALL K1T K1T-X1\r"},
        {"first call empty", "MYCALL  K1T\r"},
        {"nothing after the word", "MYCALL \r"},
        {"word alone", "MYCALL\r"},
        {"eight characters", "MYCALL K1TABCDE\r"},
    }};
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.name));
        EXPECT_EQ(send(c.line), "WRONG\r");
    }
    EXPECT_EQ(protocol.myCalls()[0], "EA5ABC");
    EXPECT_TRUE(links.effects.empty());
    EXPECT_TRUE(ui.caption().empty());
}

TEST_F(HostProtocolTest, MyCallAcceptsTheListedSuffixes) {
    for (std::string_view call : {"K1T-T", "K1T-7", "K1T-15", "K1T-R", "K1T-x", "K1T-09"}) {
        SCOPED_TRACE(std::string(call));
        EXPECT_EQ(send("MYCALL " + std::string(call) + "\r"), "OK\r");
        EXPECT_EQ(protocol.myCalls()[0], upperAscii(call));
    }
}

TEST_F(HostProtocolTest, ListenOnAndOffInOneChunkAnswerTwiceAndEndOff) {
    EXPECT_EQ(send("LISTEN ON\rLISTEN OFF\r"), "OK\rOK\r");
    EXPECT_FALSE(protocol.listenMode());
    EXPECT_EQ(ui.panelIcon("Listen"), "LedAmarillo");
    EXPECT_EQ(ui.panelTip("Listen"), "LISTEN OFF");
    EXPECT_EQ(send("listen on\r"), "OK\r");
    EXPECT_TRUE(protocol.listenMode());
    EXPECT_EQ(ui.panelIcon("Listen"), "LedVerde");
    EXPECT_EQ(ui.panelTip("Listen"), "LISTEN ON");
}

// Each case is a sequence of chunks and the replies after each one.
TEST_F(HostProtocolTest, LinesRunAtTheirCarriageReturnAndALineFeedAfterItIsDropped) {
    struct Case {
        std::string_view name;
        std::vector<std::pair<std::string_view, std::string_view>> chunks;
        bool listenAfter;
    };
    const Case kCases[] = {
        {"CR LF lines answer at once", {{"LISTEN ON\r\n", "OK\r"}, {"LISTEN OFF\r\n", "OK\r"}}, false},
        {"CR LF split between chunks", {{"LISTEN ON\r", "OK\r"}, {"\nGATEWAY A\r\n", "OK\r"}}, true},
        {"lone LF is no line end", {{"LISTEN ON\n", ""}, {"\r", "WRONG\r"}}, false},
        {"LF LF: the second is content", {{"LISTEN ON\r\n\n", "OK\r"}, {"\r", "WRONG\r"}}, true},
        {"chunk ending inside a line", {{"GATEWAY ON\rLISTEN O", "OK\r"}, {"N\r", "OK\r"}}, true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.name));
        protocol.clearCommandBuffer();
        protocol.setListenMode(false);
        for (const auto& [chunk, replies] : c.chunks) EXPECT_EQ(send(chunk), replies);
        EXPECT_EQ(protocol.listenMode(), c.listenAfter);
    }
}

TEST_F(HostProtocolTest, PublicCommandsClearTheFlagAndAnswerNothing) {
    EXPECT_EQ(send("PUBLIC ON\r"), "");
    EXPECT_EQ(protocol.publicFlag(), 0);
    EXPECT_EQ(send("public off\r"), "");
    EXPECT_EQ(protocol.publicFlag(), 0);
}

TEST_F(HostProtocolTest, ExactCommandsAnswerBeforeTheirEffect) {
    EXPECT_EQ(send("DISCONNECT\rABORT\r"), "OK\rOK\r");
    const std::vector<std::string> expected{"disconnect", "abort"};
    EXPECT_EQ(links.effects, expected);
    const std::vector<std::string> answered{"OK\r", "OK\rOK\r"};
    EXPECT_EQ(links.repliesBefore, answered);
}

TEST_F(HostProtocolTest, GatewayTakesAnyTextAfterItsBlank) {
    EXPECT_EQ(send("GATEWAY OFF\rgateway \rGATEWAY\r"), "OK\rOK\rWRONG\r");
}

TEST_F(HostProtocolTest, EverythingElseIsWrong) {
    struct Case {
        std::string_view name, chunk, replies;
    };
    const std::array<Case, 8> kCases{{
        {"unknown word", "HELLO\r", "WRONG\r"},
        {"empty lines", "\r\r", "WRONG\rWRONG\r"},
        {"trailing blank", "ABORT \r", "WRONG\r"},
        {"extra word", "DISCONNECT NOW\r", "WRONG\r"},
        {"LISTEN alone", "LISTEN\r", "WRONG\r"},
        {"NUL inside", "LISTEN\0ON\r"sv, "WRONG\r"},
        {"binary garbage", "\x00\xff\x80\x1b[2J\x7f\r"sv, "WRONG\r"},
        {"NUL bytes only", "\0\0\0\r"sv, "WRONG\r"},
    }};
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.name));
        EXPECT_EQ(send(c.chunk), c.replies);
    }
    EXPECT_TRUE(links.effects.empty());
    EXPECT_FALSE(protocol.listenMode());
}

TEST_F(HostProtocolTest, LineOfTheBufferLimitRunsOneByteMoreIsDroppedAsWrong) {
    const std::size_t limit = HostProtocol::kCommandBufferLimit;
    const std::string longest = "GATEWAY " + std::string(limit - 8, 'X');
    EXPECT_EQ(send(longest + "\r"), "OK\r");
    EXPECT_EQ(send(longest + "Y\rLISTEN ON\r"), "WRONG\rOK\r");
    EXPECT_TRUE(protocol.listenMode());
}

TEST_F(HostProtocolTest, MegabytesWithoutCarriageReturnStayBounded) {
    const std::string chunk(64 * 1024, 'A');
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(send(chunk), "");
        ASSERT_LE(protocol.heldBytes(), HostProtocol::kCommandBufferLimit);
    }
    // The monster line ends as one "WRONG"; the line after it is intact.
    EXPECT_EQ(send("AAAA\rLISTEN ON\r"), "WRONG\rOK\r");
    EXPECT_EQ(protocol.heldBytes(), 0u);
}

TEST_F(HostProtocolTest, ManyHeldLinesRunEarlyInsteadOfPilingUp) {
    std::string chunk;
    for (int i = 0; i < 500; ++i) chunk += "GATEWAY A\r";
    chunk += "LISTEN O";
    const std::string early = send(chunk);
    EXPECT_LE(protocol.heldBytes(), HostProtocol::kCommandBufferLimit);
    const std::string rest = send("N\r");
    std::string all;
    for (int i = 0; i < 501; ++i) all += "OK\r";
    EXPECT_EQ(early + rest, all);
    EXPECT_TRUE(protocol.listenMode());
}

}  // namespace
}  // namespace zolk
