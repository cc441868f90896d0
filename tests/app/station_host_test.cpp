#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/station.h"
#include "app/station_session.h"
#include "support/station_ports_test.h"
#include "version.h"

namespace zolk {
namespace {

using sim::ListenCall;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

class StationHostTest : public test::StationPortsTest {
protected:
    void writeSettings(std::string_view text) { std::ofstream(m_folder / "ZOLK SAT.ini") << text; }
    void hostConnects(Station& station, HostSocket socket) {
        link.setConnected(socket, true);
        station.onHostConnected(socket);
    }
};

TEST_F(StationHostTest, StartUpShowsListenOffAndArmsThePortsFromTheSettingsFile) {
    writeSettings("[Setup]\nTCP Command Port=9000\nTCP Listen All=1\n");
    Station station(ports, m_folder);
    ASSERT_TRUE(station.start());
    const std::vector<ListenCall> expected{{HostSocket::Command, 9000, ListenScope::AllInterfaces},
                                           {HostSocket::Data, 9001, ListenScope::AllInterfaces}};
    EXPECT_EQ(link.listens(), expected);
    EXPECT_EQ(ui.panelTip("Listen"), "LISTEN OFF");
    EXPECT_EQ(ui.panelTip("TCP"), "TCP Ports disconnected");
    station.shutdown(std::nullopt);
}

TEST_F(StationHostTest, HostCommandsReachTheProtocolAndMyCallShowsThePttMenu) {
    Station station(ports, m_folder);
    ASSERT_TRUE(station.start());
    hostConnects(station, HostSocket::Command);
    hostConnects(station, HostSocket::Data);
    EXPECT_EQ(ui.panelTip("TCP"), "Connected to 8300-8301 TCP Ports");
    EXPECT_FALSE(ui.menu(MenuItem::Ptt).visible);
    station.onHostBytes(HostSocket::Command,
                        bytesOf("MYCALL ea5abc\rLISTEN ON\rGATEWAY X\rHELLO\r"));
    EXPECT_EQ(link.sentText(HostSocket::Command), "OK\rOK\rOK\rWRONG\r");
    EXPECT_TRUE(ui.menu(MenuItem::Ptt).visible);
    EXPECT_EQ(ui.caption(), std::string(kWindowCaption) + "EA5ABC  ");
    EXPECT_TRUE(station.host().protocol().listenMode());
    station.shutdown(std::nullopt);
    EXPECT_FALSE(link.connected(HostSocket::Command));
    EXPECT_FALSE(link.connected(HostSocket::Data));
}

TEST_F(StationHostTest, ConnectAndDataPortBytesReachTheSession) {
    Station station(ports, m_folder);
    ASSERT_TRUE(station.start());
    hostConnects(station, HostSocket::Command);
    hostConnects(station, HostSocket::Data);
    station.onHostBytes(HostSocket::Command, bytesOf("CONNECT EA5ABC N0CALL\r"));
    // The call goes on the air at once.
    EXPECT_EQ(link.sentText(HostSocket::Command), "OK\rPTT ON\r");
    EXPECT_EQ(station.session().arq().state(), SessionState::Calling);
    EXPECT_EQ(ui.panelText("Indicativos"), "Connecting to N0CALL ...1/10");
    station.onHostBytes(HostSocket::Data, bytesOf("hello"));
    EXPECT_EQ(link.sentText(HostSocket::Command), "OK\rPTT ON\rBUFFER 5\r");
    EXPECT_EQ(station.session().arq().bytesToSend(), 5u);
    // A second CONNECT during the call is refused.
    station.onHostBytes(HostSocket::Command, bytesOf("CONNECT EA5ABC N0CALL\r"));
    EXPECT_EQ(link.sentText(HostSocket::Command), "OK\rPTT ON\rBUFFER 5\rWRONG\r");
    station.shutdown(std::nullopt);
}

TEST_F(StationHostTest, DeliverDataTickHandsReceivedDataToTheHost) {
    Station station(ports, m_folder);
    ASSERT_TRUE(station.start());
    hostConnects(station, HostSocket::Data);
    station.host().deliverToHost(bytesOf("from the air"));
    EXPECT_TRUE(timers.isRunning(TimerId::DeliverData));
    station.onTimer(TimerId::DeliverData);
    EXPECT_EQ(link.sentText(HostSocket::Data), "from the air");
    EXPECT_FALSE(timers.isRunning(TimerId::DeliverData));
    station.shutdown(std::nullopt);
}

TEST_F(StationHostTest, MonitorMenuResetRearmsOnlyFreePorts) {
    Station station(ports, m_folder);
    ASSERT_TRUE(station.start());
    hostConnects(station, HostSocket::Command);
    link.clearListens();
    station.onMenu(MenuItem::MonitorOn);
    const std::vector<ListenCall> expected{{HostSocket::Data, 8301, ListenScope::Loopback}};
    EXPECT_EQ(link.listens(), expected);
    station.shutdown(std::nullopt);
}

}  // namespace
}  // namespace zolk
