#include "host/host_interface.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "sim/recording_host_link.h"
#include "sim/recording_ui.h"
#include "support/recording_links.h"
#include "support/recording_timers.h"

namespace zolk {
namespace {

using sim::ListenCall;
using sim::RecordingHostLink;
using sim::RecordingUi;
using test::RecordingLinks;
using test::RecordingTimers;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

class HostInterfaceTest : public ::testing::Test {
protected:
    HostInterfaceTest() { host.armListeners(); }

    // The shell's order: the socket's state changes, then the event arrives.
    void hostConnects(HostSocket socket) {
        link.setConnected(socket, true);
        host.onHostConnected(socket);
    }
    void hostCloses(HostSocket socket) {
        link.setConnected(socket, false);
        host.onHostClosed(socket);
    }
    void hostFails(HostSocket socket) {
        link.setConnected(socket, false);
        host.onHostError(socket);
    }
    std::string command(std::string_view chunk) {
        link.clearSent(HostSocket::Command);
        host.onHostBytes(HostSocket::Command, bytesOf(chunk));
        return link.sentText(HostSocket::Command);
    }

    RecordingHostLink link;
    RecordingUi ui;
    RecordingTimers timers;
    RecordingLinks links;
    std::int32_t commandPortNumber = 8300;
    std::uint8_t tcpListenAll = 0;
    HostInterface host{link, ui, timers, {commandPortNumber, tcpListenAll}, links.links()};
};

TEST_F(HostInterfaceTest, ArmingListensOnTheCommandPortAndTheNextOneLocallyWithARedPanel) {
    const std::vector<ListenCall> expected{{HostSocket::Command, 8300, ListenScope::Loopback},
                                           {HostSocket::Data, 8301, ListenScope::Loopback}};
    EXPECT_EQ(link.listens(), expected);
    EXPECT_EQ(ui.panelIcon("TCP"), "LedRojo");
    EXPECT_EQ(ui.panelTip("TCP"), "TCP Ports disconnected");
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(HostInterfaceTest, ListenAllSettingOpensThePortsToEveryInterface) {
    tcpListenAll = 1;
    link.clearListens();
    host.armListeners();
    ASSERT_EQ(link.listens().size(), 2u);
    EXPECT_EQ(link.listens()[0].scope, ListenScope::AllInterfaces);
    EXPECT_EQ(link.listens()[1].scope, ListenScope::AllInterfaces);
}

TEST_F(HostInterfaceTest, OnlyTheCommandPortConnectedKeepsThePanelRedAndStillAnswers) {
    hostConnects(HostSocket::Command);
    EXPECT_EQ(ui.panelIcon("TCP"), "LedRojo");
    EXPECT_EQ(command("MYCALL EA5ABC\rLISTEN ON\r"), "OK\rOK\r");
    EXPECT_EQ(ui.panelIcon("TCP"), "LedRojo");
    EXPECT_EQ(ui.panelTip("TCP"), "TCP Ports disconnected");
}

TEST_F(HostInterfaceTest, BothPortsConnectedTurnThePanelGreen) {
    hostConnects(HostSocket::Data);
    EXPECT_EQ(ui.panelIcon("TCP"), "LedRojo");
    hostConnects(HostSocket::Command);
    EXPECT_EQ(ui.panelIcon("TCP"), "LedVerde");
    EXPECT_EQ(ui.panelTip("TCP"), "Connected to 8300-8301 TCP Ports");
}

TEST_F(HostInterfaceTest, AnOccupiedPortIsNeverReopenedForASecondHost) {
    hostConnects(HostSocket::Command);
    hostConnects(HostSocket::Data);
    link.clearListens();
    hostCloses(HostSocket::Data);
    host.armListeners();
    // Only the free DataPort listens again; the CommandPort keeps its host and stays closed to
    // others.
    const std::vector<ListenCall> expected{{HostSocket::Data, 8301, ListenScope::Loopback},
                                           {HostSocket::Data, 8301, ListenScope::Loopback}};
    EXPECT_EQ(link.listens(), expected);
    EXPECT_TRUE(link.connected(HostSocket::Command));
    EXPECT_EQ(command("GATEWAY X\r"), "OK\r");
}

TEST_F(HostInterfaceTest, PortChangeTo9000MovesBothPorts) {
    hostConnects(HostSocket::Command);
    hostConnects(HostSocket::Data);
    link.clearListens();
    // As the settings dialog does: both sockets closed, new number stored, session reset re-arms.
    link.close(HostSocket::Command);
    link.close(HostSocket::Data);
    commandPortNumber = 9000;
    host.armListeners();
    const std::vector<ListenCall> expected{{HostSocket::Command, 9000, ListenScope::Loopback},
                                           {HostSocket::Data, 9001, ListenScope::Loopback}};
    EXPECT_EQ(link.listens(), expected);
    hostConnects(HostSocket::Command);
    hostConnects(HostSocket::Data);
    EXPECT_EQ(ui.panelTip("TCP"), "Connected to 9000-9001 TCP Ports");
}

TEST_F(HostInterfaceTest, ClosingTheDataPortWhileIdleRearmsItAndTurnsListeningOffQuietly) {
    hostConnects(HostSocket::Command);
    hostConnects(HostSocket::Data);
    command("LISTEN ON\r");
    link.clearListens();
    hostCloses(HostSocket::Data);
    const std::vector<ListenCall> expected{{HostSocket::Data, 8301, ListenScope::Loopback}};
    EXPECT_EQ(link.listens(), expected);
    EXPECT_FALSE(host.protocol().listenMode());
    EXPECT_EQ(ui.panelIcon("Listen"), "LedAmarillo");
    EXPECT_EQ(ui.panelTip("Listen"), "LISTEN OFF");
    EXPECT_EQ(ui.panelIcon("TCP"), "LedRojo");
    EXPECT_TRUE(links.logLines.empty());
    EXPECT_TRUE(links.effects.empty());
    EXPECT_FALSE(ui.hasPanel("Indicativos"));
}

TEST_F(HostInterfaceTest, LosingAHostDuringALinkEndsItLocallyAndLogsThePort) {
    struct Case {
        std::string_view name;
        HostSocket socket;
        bool error;
        std::string_view logLine;
    };
    constexpr std::array<Case, 4> kCases{{
        {"DataPort closed", HostSocket::Data, false, "8301 TCP Port Closed unexpectedly"},
        {"CommandPort closed", HostSocket::Command, false, "8300 TCP Port Closed unexpectedly"},
        {"DataPort error", HostSocket::Data, true, "8301TCP Port Error"},
        {"CommandPort error", HostSocket::Command, true, "8300TCP Port Error"},
    }};
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.name));
        hostConnects(HostSocket::Command);
        hostConnects(HostSocket::Data);
        command("LISTEN ON\r");
        links.sessionInProgress = true;
        links.effects.clear();
        links.logLines.clear();
        c.error ? hostFails(c.socket) : hostCloses(c.socket);
        EXPECT_EQ(ui.panelIcon("Indicativos"), "ErrorAmarillo");
        EXPECT_EQ(ui.panelText("Indicativos"), "TCP connection failed");
        EXPECT_EQ(ui.panelIcon("TCP"), "LedRojo");
        EXPECT_EQ(links.logLines, std::vector<std::string>{std::string(c.logLine)});
        EXPECT_EQ(links.effects, std::vector<std::string>{"dropLocally"});
        EXPECT_FALSE(host.protocol().listenMode());
        EXPECT_EQ(link.listens().back().socket, c.socket);
    }
}

TEST_F(HostInterfaceTest, AHostLeavingMidLineLeavesNothingForTheNext) {
    hostConnects(HostSocket::Command);
    EXPECT_EQ(command("MYCALL EA5"), "");
    hostCloses(HostSocket::Command);
    hostConnects(HostSocket::Command);
    EXPECT_EQ(command("LISTEN ON\r"), "OK\r");
    EXPECT_TRUE(host.protocol().listenMode());
    EXPECT_TRUE(links.effects.empty());
}

TEST_F(HostInterfaceTest, DataPortBytesGoToTheTransmitBufferUnchanged) {
    hostConnects(HostSocket::Data);
    const std::string payload("binary\0\r\n\xff data", 15);
    host.onHostBytes(HostSocket::Data, bytesOf(payload));
    host.onHostBytes(HostSocket::Data, bytesOf("more"));
    EXPECT_EQ(links.transmitBuffer, payload + "more");
    EXPECT_TRUE(link.sentText(HostSocket::Command).empty());
}

TEST_F(HostInterfaceTest, ReceivedDataGoesOutInOneSendPerTick) {
    hostConnects(HostSocket::Data);
    host.deliverToHost(bytesOf("first "));
    host.deliverToHost(bytesOf("second"));
    EXPECT_TRUE(timers.isRunning(TimerId::DeliverData));
    EXPECT_EQ(timers.interval(TimerId::DeliverData),
              std::chrono::milliseconds(1));
    EXPECT_EQ(link.sendCalls(HostSocket::Data), 0);
    host.onDeliverData();
    EXPECT_FALSE(timers.isRunning(TimerId::DeliverData));
    EXPECT_EQ(link.sendCalls(HostSocket::Data), 1);
    EXPECT_EQ(link.sentText(HostSocket::Data), "first second");
    host.onDeliverData();
    EXPECT_EQ(link.sendCalls(HostSocket::Data), 1);
}

// A DataPort that takes only part of a send (a failure, a host that stopped reading) loses
// nothing: the rest waits and goes out at the retry, in order.
TEST_F(HostInterfaceTest, BytesTheDataPortDidNotTakeAreSentAgainLater) {
    hostConnects(HostSocket::Data);
    link.setAcceptLimit(HostSocket::Data, 4);
    EXPECT_EQ(host.deliverToHost(bytesOf("abcdefghij")), 10u);
    host.onDeliverData();
    EXPECT_EQ(link.sentText(HostSocket::Data), "abcd");
    EXPECT_EQ(host.waitingForHost(), 6u);
    EXPECT_TRUE(timers.isRunning(TimerId::DeliverData));
    EXPECT_EQ(timers.interval(TimerId::DeliverData), HostInterface::kDeliverRetry);
    link.setAcceptLimit(HostSocket::Data, 0);
    host.onDeliverData();
    EXPECT_EQ(link.sentText(HostSocket::Data), "abcd");
    EXPECT_TRUE(timers.isRunning(TimerId::DeliverData));
    link.setAcceptLimit(HostSocket::Data, std::numeric_limits<std::size_t>::max());
    host.onDeliverData();
    EXPECT_EQ(link.sentText(HostSocket::Data), "abcdefghij");
    EXPECT_FALSE(timers.isRunning(TimerId::DeliverData));
}

// Waiting bytes are bounded: past the limit the caller keeps what was not taken.
TEST_F(HostInterfaceTest, DeliveryTakesOnlyWhatFitsBelowTheLimit) {
    const std::vector<std::uint8_t> block(HostInterface::kHostDataLimit - 10, 'x');
    EXPECT_EQ(host.deliverToHost(block), block.size());
    EXPECT_EQ(host.deliverToHost(bytesOf("0123456789abc")), 10u);
    EXPECT_EQ(host.deliverToHost(bytesOf("more")), 0u);
    EXPECT_EQ(host.waitingForHost(), HostInterface::kHostDataLimit);
    hostConnects(HostSocket::Data);
    host.onDeliverData();
    EXPECT_EQ(host.waitingForHost(), 0u);
    EXPECT_EQ(link.sentText(HostSocket::Data).substr(block.size()), "0123456789");
}

TEST_F(HostInterfaceTest, HoldingTheDataPortStopsItsReading) {
    host.holdDataPort(true);
    EXPECT_TRUE(link.readingHeld(HostSocket::Data));
    EXPECT_FALSE(link.readingHeld(HostSocket::Command));
    host.holdDataPort(false);
    EXPECT_FALSE(link.readingHeld(HostSocket::Data));
}

TEST_F(HostInterfaceTest, ReceivedDataWaitsForAHostOnTheDataPort) {
    host.deliverToHost(bytesOf("kept"));
    host.onDeliverData();
    EXPECT_EQ(link.sendCalls(HostSocket::Data), 0);
    hostConnects(HostSocket::Data);
    EXPECT_TRUE(timers.isRunning(TimerId::DeliverData));
    host.onDeliverData();
    EXPECT_EQ(link.sentText(HostSocket::Data), "kept");
}

TEST_F(HostInterfaceTest, APortThatCannotBeOpenedIsToldOnceAndStaysRed) {
    link.setBusyPorts({8300, 8301});
    host.armListeners();
    host.armListeners();
    ASSERT_EQ(ui.messageBoxes().size(), 2u);  // one per port number
    EXPECT_EQ(ui.messageBoxes()[0],
              (std::pair<std::string, std::string>{
                  "ZOLK SAT", "Unable to open TCP port 8300: it is in use by another program or not allowed"}));
    EXPECT_EQ(ui.panelIcon("TCP"), "LedRojo");
    link.setBusyPorts({});
    host.armListeners();
    link.setBusyPorts({8300, 8301});
    host.armListeners();
    EXPECT_EQ(ui.messageBoxes().size(), 4u);  // a port that recovered and fails again is told again
}

TEST_F(HostInterfaceTest, ShowListenStateFollowsListenMode) {
    host.showListenState();
    EXPECT_EQ(ui.panelTip("Listen"), "LISTEN OFF");
    host.protocol().setListenMode(true);
    host.showListenState();
    EXPECT_EQ(ui.panelIcon("Listen"), "LedVerde");
}

}  // namespace
}  // namespace zolk
