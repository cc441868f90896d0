#include <gtest/gtest.h>

#include <string>

#include "host/host_interface.h"
#include "loopback.h"
#include "shell/qt_host_link.h"
#include "sim/recording_ui.h"
#include "support/recording_links.h"
#include "support/recording_timers.h"
#include "test_application.h"

namespace zolk {
namespace {

using namespace std::chrono_literals;
using test::HostClient;
using test::pumpUntil;

// The core's host side behind the shell's socket adapter, on real loopback sockets.
class HostLinkTcpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shell::test::ensureApplication(); }

    HostLinkTcpTest() {
        m_port = test::freePortPair();
        commandPortNumber = m_port;
        link.attach(&host);
        host.armListeners();
    }

    bool bothConnected(HostClient& command, HostClient& data) {
        return command.connectTo(m_port) && data.connectTo(m_port + 1) && pumpUntil([this] {
                   return link.connected(HostSocket::Command) && link.connected(HostSocket::Data);
               });
    }

    std::uint16_t m_port = 0;
    sim::RecordingUi ui;
    test::RecordingTimers timers;
    test::RecordingLinks links;
    std::int32_t commandPortNumber = 8300;
    std::uint8_t tcpListenAll = 0;
    shell::QtHostLink link;
    HostInterface host{link, ui, timers, {commandPortNumber, tcpListenAll}, links.links()};
};

TEST_F(HostLinkTcpTest, ScriptedCommandSessionGetsTheExactReplies) {
    ASSERT_NE(m_port, 0);
    HostClient command;
    ASSERT_TRUE(command.connectTo(m_port));
    const std::string expected = "OK\rOK\rOK\rOK\rWRONG\r";
    command.send("MYCALL EA5ABC\rLISTEN ON\rLISTEN OFF\rGATEWAY OFF\rHELLO\r");
    EXPECT_EQ(command.receive(expected.size()), expected);
    EXPECT_EQ(host.protocol().myCalls()[0], "EA5ABC");

    // A line split across two segments waits for its carriage return.
    command.send("listen o");
    EXPECT_EQ(command.receiveFor(200ms), "");
    command.send("n\r");
    EXPECT_EQ(command.receive(3), "OK\r");
    EXPECT_TRUE(host.protocol().listenMode());
    // A host ending its lines with CR LF is answered at once, and the next line is intact.
    command.send("PUBLIC ON\rLISTEN ON\r\n");
    EXPECT_EQ(command.receive(3), "OK\r");
    command.send("GATEWAY X\r\n");
    EXPECT_EQ(command.receive(3), "OK\r");
    EXPECT_EQ(command.receiveFor(200ms), "");
}

TEST_F(HostLinkTcpTest, PanelStaysRedWithOnlyTheCommandPortAndTurnsGreenWithBoth) {
    HostClient command;
    HostClient data;
    ASSERT_TRUE(command.connectTo(m_port));
    ASSERT_TRUE(pumpUntil([this] { return link.connected(HostSocket::Command); }));
    EXPECT_EQ(ui.panelIcon("TCP"), "LedRojo");
    command.send("LISTEN ON\r");
    EXPECT_EQ(command.receive(3), "OK\r");
    ASSERT_TRUE(data.connectTo(m_port + 1));
    ASSERT_TRUE(pumpUntil([this] { return ui.panelIcon("TCP") == "LedVerde"; }));
    EXPECT_EQ(ui.panelTip("TCP"), "Connected to " + std::to_string(m_port) + "-" +
                                      std::to_string(m_port + 1) + " TCP Ports");
}

TEST_F(HostLinkTcpTest, SecondHostIsRefusedWhileTheFirstStaysAndAdmittedAfterIt) {
    HostClient first;
    ASSERT_TRUE(first.connectTo(m_port));
    ASSERT_TRUE(pumpUntil([this] { return link.connected(HostSocket::Command); }));
    HostClient second;
    EXPECT_FALSE(second.connectTo(m_port) && !second.closedByPeer(1s));
    first.send("GATEWAY X\r");
    EXPECT_EQ(first.receive(3), "OK\r");

    first.disconnect();
    ASSERT_TRUE(pumpUntil([this] { return !link.connected(HostSocket::Command); }));
    HostClient third;
    ASSERT_TRUE(third.connectTo(m_port));
    third.send("GATEWAY X\r");
    EXPECT_EQ(third.receive(3), "OK\r");
}

TEST_F(HostLinkTcpTest, HostLeavingMidLineLeavesNothingForTheNext) {
    HostClient first;
    ASSERT_TRUE(first.connectTo(m_port));
    first.send("MYCALL EA5");
    ASSERT_TRUE(pumpUntil([this] { return host.protocol().heldBytes() > 0; }));
    first.disconnect();
    ASSERT_TRUE(pumpUntil([this] { return !link.connected(HostSocket::Command); }));
    HostClient next;
    ASSERT_TRUE(next.connectTo(m_port));
    next.send("LISTEN ON\r");
    EXPECT_EQ(next.receive(3), "OK\r");
    EXPECT_TRUE(links.effects.empty());
}

TEST_F(HostLinkTcpTest, DataPortCarriesEveryByteValueBothWays) {
    HostClient command;
    HostClient data;
    ASSERT_TRUE(bothConnected(command, data));
    std::string payload;
    for (int round = 0; round < 256; ++round)
        for (int value = 0; value < 256; ++value)
            payload += static_cast<char>((value + round) & 0xFF);
    data.send(payload);
    ASSERT_TRUE(pumpUntil([&] { return links.transmitBuffer.size() >= payload.size(); }));
    EXPECT_EQ(links.transmitBuffer, payload);
    EXPECT_TRUE(command.receiveFor(50ms).empty());

    const std::string fromAir("\0\r\nreceived\xff", 12);
    host.deliverToHost(
        std::span(reinterpret_cast<const std::uint8_t*>(fromAir.data()), fromAir.size()));
    host.onDeliverData();
    EXPECT_EQ(data.receive(fromAir.size()), fromAir);
}

// While the station holds the DataPort nothing is read: the host's bytes wait (TCP holds it back)
// and arrive whole and in order once reading resumes, from the event loop.
TEST_F(HostLinkTcpTest, HeldDataPortReadsNothingUntilResumedThenEverything) {
    HostClient command;
    HostClient data;
    ASSERT_TRUE(bothConnected(command, data));
    link.holdReading(HostSocket::Data, true);
    std::string payload(200000, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7 + i / 256);
    data.send(payload);
    test::pumpFor(300ms);
    EXPECT_TRUE(links.transmitBuffer.empty());
    link.holdReading(HostSocket::Data, false);
    EXPECT_TRUE(links.transmitBuffer.empty()) << "read later, not inside the call";
    ASSERT_TRUE(pumpUntil([&] { return links.transmitBuffer.size() >= payload.size(); }));
    EXPECT_EQ(links.transmitBuffer, payload);
}

TEST_F(HostLinkTcpTest, ClosingTheDataPortWhileIdleRearmsItQuietly) {
    HostClient command;
    HostClient data;
    ASSERT_TRUE(bothConnected(command, data));
    command.send("LISTEN ON\r");
    EXPECT_EQ(command.receive(3), "OK\r");
    data.disconnect();
    ASSERT_TRUE(pumpUntil([this] { return !host.protocol().listenMode(); }));
    EXPECT_TRUE(links.logLines.empty());
    EXPECT_EQ(ui.panelTip("Listen"), "LISTEN OFF");
    HostClient again;
    EXPECT_TRUE(again.connectTo(m_port + 1));
    command.send("GATEWAY X\r");
    EXPECT_EQ(command.receive(3), "OK\r");
}

TEST_F(HostLinkTcpTest, PortChangeMovesBothPorts) {
    const std::uint16_t moved = test::freePortPair();
    ASSERT_NE(moved, 0);
    link.close(HostSocket::Command);
    link.close(HostSocket::Data);
    commandPortNumber = moved;
    host.armListeners();
    HostClient oldPort;
    EXPECT_FALSE(oldPort.connectTo(m_port));
    HostClient command;
    HostClient data;
    ASSERT_TRUE(command.connectTo(moved));
    ASSERT_TRUE(data.connectTo(moved + 1));
    command.send("GATEWAY X\r");
    EXPECT_EQ(command.receive(3), "OK\r");
}

TEST_F(HostLinkTcpTest, PortsListenOnTheLoopbackAddressUnlessOpenedToTheNetwork) {
    // ::1 is a second loopback address: reachable only when the ports listen on every interface.
    HostClient ipv6;
    EXPECT_FALSE(ipv6.connectTo(m_port, QHostAddress::LocalHostIPv6));
    tcpListenAll = 1;
    link.close(HostSocket::Command);
    host.armListeners();
    HostClient opened;
    EXPECT_TRUE(opened.connectTo(m_port, QHostAddress::LocalHostIPv6));
}

TEST_F(HostLinkTcpTest, ListenAnyOptionOpensThePortsWhateverTheSettingsSay) {
    link.openToNetwork(true);
    link.close(HostSocket::Command);
    host.armListeners();
    HostClient opened;
    EXPECT_TRUE(opened.connectTo(m_port, QHostAddress::LocalHostIPv6));
}

TEST_F(HostLinkTcpTest, APortInUseIsReported) {
    QTcpServer squatter;
    const std::uint16_t taken = test::freePortPair();
    ASSERT_TRUE(squatter.listen(QHostAddress::LocalHost, taken));
    link.close(HostSocket::Command);
    link.close(HostSocket::Data);
    commandPortNumber = taken;
    host.armListeners();
    ASSERT_FALSE(ui.messageBoxes().empty());
    EXPECT_NE(ui.messageBoxes().back().second.find(std::to_string(taken)), std::string::npos);
}

}  // namespace
}  // namespace zolk
