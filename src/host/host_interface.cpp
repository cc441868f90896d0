#include "host/host_interface.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "host/host_panels.h"

namespace zolk {
namespace {

std::size_t indexOf(HostSocket socket) { return static_cast<std::size_t>(socket); }

}  // namespace

HostInterface::HostInterface(HostLinkPort& link, UiSink& ui, TimerPort& timers,
                             HostPortSettings settings, HostLinks links)
    : m_link(link),
      m_ui(ui),
      m_timers(timers),
      m_settings(settings),
      m_links(links),
      m_protocol(link, ui, links) {}

// The settings file and the setup dialog keep the number in 1025..65534, so the DataPort fits.
std::uint16_t HostInterface::commandPort() const {
    return static_cast<std::uint16_t>(m_settings.commandPortNumber);
}

void HostInterface::armListeners() {
    const std::uint16_t port = commandPort();
    if (!m_link.connected(HostSocket::Command)) {
        armSocket(HostSocket::Command, port);
        m_protocol.clearCommandBuffer();
    }
    if (!m_link.connected(HostSocket::Data)) armSocket(HostSocket::Data, port + 1);
}

void HostInterface::armSocket(HostSocket socket, std::uint16_t port) {
    showTcpDisconnected(m_ui);
    m_armedPort[indexOf(socket)] = port;
    const ListenScope scope =
        m_settings.tcpListenAll != 0 ? ListenScope::AllInterfaces : ListenScope::Loopback;
    std::uint16_t& failedPort = m_failedPort[indexOf(socket)];
    if (m_link.listen(socket, port, scope)) {
        failedPort = 0;
        return;
    }
    // The host could never connect; say so once per port instead of at every re-arm.
    if (failedPort != port) {
        failedPort = port;
        m_ui.messageBox("ZOLK SAT", "Unable to open TCP port " + std::to_string(port) +
                                        ": it is in use by another program or not allowed");
    }
}

void HostInterface::showListenState() { zolk::showListenState(m_ui, m_protocol.listenMode()); }

void HostInterface::onHostConnected(HostSocket socket) {
    if (m_link.connected(HostSocket::Command) && m_link.connected(HostSocket::Data))
        showTcpConnected(m_ui, m_armedPort[indexOf(HostSocket::Command)]);
    if (socket == HostSocket::Data && !m_hostData.empty())
        m_timers.start(TimerId::DeliverData, std::chrono::milliseconds(1));
}

void HostInterface::onHostClosed(HostSocket socket) {
    hostLost(socket, " TCP Port Closed unexpectedly");
}

void HostInterface::onHostError(HostSocket socket) { hostLost(socket, "TCP Port Error"); }

void HostInterface::hostLost(HostSocket socket, std::string_view logText) {
    const std::uint16_t localPort = m_armedPort[indexOf(socket)];
    armListeners();
    if (m_links.session.inProgress()) {
        m_ui.setPanelIcon("Indicativos", "ErrorAmarillo");
        m_ui.setPanelText("Indicativos", "TCP connection failed");
        showTcpDisconnected(m_ui);
        m_links.log.logLine(std::to_string(localPort) + std::string(logText));
        m_links.session.dropLocally();
    }
    m_protocol.setListenMode(false);
}

void HostInterface::onHostBytes(HostSocket socket, std::span<const std::uint8_t> bytes) {
    if (socket == HostSocket::Command)
        m_protocol.onCommandBytes(bytes);
    else
        m_links.transmitBuffer.appendToTransmitBuffer(bytes);
}

std::size_t HostInterface::deliverToHost(std::span<const std::uint8_t> bytes) {
    const std::size_t room = kHostDataLimit - std::min(m_hostData.size(), kHostDataLimit);
    const std::size_t taken = std::min(room, bytes.size());
    if (taken == 0) return 0;
    m_hostData.insert(m_hostData.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    m_timers.start(TimerId::DeliverData, std::chrono::milliseconds(1));
    return taken;
}

void HostInterface::onDeliverData() {
    m_timers.stop(TimerId::DeliverData);
    // Without a host on the DataPort the bytes wait for the next one rather than vanish.
    if (m_hostData.empty() || !m_link.connected(HostSocket::Data)) return;
    const std::size_t sent = std::min(m_link.send(HostSocket::Data, m_hostData), m_hostData.size());
    m_hostData.erase(m_hostData.begin(), m_hostData.begin() + static_cast<std::ptrdiff_t>(sent));
    if (!m_hostData.empty()) m_timers.start(TimerId::DeliverData, kDeliverRetry);
}

}  // namespace zolk
