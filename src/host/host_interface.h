// host_interface.h: the host side of a station: the two host ports (arming, accepting, losing a
// host, received data handed over per DeliverData timer tick) and the CommandPort protocol it owns.
// The sockets are the shell's; links, patterns, radio and log are reached through HostLinks.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "host/host_links.h"
#include "host/host_protocol.h"
#include "ports/host_link_port.h"
#include "ports/timer_port.h"
#include "ports/ui_sink.h"

namespace zolk {

// The two settings the host ports read at every arming: views of the station's settings, which
// must outlive the HostInterface, so a changed port takes effect at the next re-arm.
struct HostPortSettings {
    const std::int32_t& commandPortNumber;  // 1025..65534; the DataPort is the next port
    const std::uint8_t& tcpListenAll;       // 1: listen on every interface, else 127.0.0.1 only
};

class HostInterface : public HostLinkEvents {
public:
    HostInterface(HostLinkPort& link, UiSink& ui, TimerPort& timers, HostPortSettings settings,
                  HostLinks links);

    // Every host socket without a host listens (again) on its port; the CommandPort's partial
    // line is forgotten when it is re-armed.
    void armListeners();
    // Panel "Listen" from ListenMode.
    void showListenState();

    void onHostConnected(HostSocket socket) override;
    void onHostClosed(HostSocket socket) override;
    void onHostError(HostSocket socket) override;
    void onHostBytes(HostSocket socket, std::span<const std::uint8_t> bytes) override;

    // Received user data for the host: collected and sent in one piece at the next tick of
    // the DeliverData timer (started here). Takes the bytes while fewer than kHostDataLimit wait
    // and returns how many it took; the caller keeps the rest. What the DataPort does not take
    // (no host, a failed send, a host that does not read) waits and is tried again.
    std::size_t deliverToHost(std::span<const std::uint8_t> bytes);
    void onDeliverData();
    std::size_t waitingForHost() const { return m_hostData.size(); }
    // Stops (true) or resumes (false) reading the DataPort, so TCP holds the host back.
    void holdDataPort(bool hold) { m_link.holdReading(HostSocket::Data, hold); }

    static constexpr std::size_t kHostDataLimit = 64 * 1024;
    // The next try after the DataPort took less than was waiting.
    static constexpr std::chrono::milliseconds kDeliverRetry{50};

    HostProtocol& protocol() { return m_protocol; }
    const HostProtocol& protocol() const { return m_protocol; }
    // The CommandPort number in force; the DataPort is the next one.
    std::uint16_t commandPort() const;

private:
    void armSocket(HostSocket socket, std::uint16_t port);
    void hostLost(HostSocket socket, std::string_view logText);

    HostLinkPort& m_link;
    UiSink& m_ui;
    TimerPort& m_timers;
    HostPortSettings m_settings;
    HostLinks m_links;
    HostProtocol m_protocol;
    std::uint16_t m_armedPort[2] = {0, 0};   // local port per socket, for the log line
    std::uint16_t m_failedPort[2] = {0, 0};  // per socket: a port that failed, told once
    std::vector<std::uint8_t> m_hostData;
};

}  // namespace zolk
