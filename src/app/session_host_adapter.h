// session_host_adapter.h: the session's host side on the station's host interface: status lines
// on the CommandPort, received bytes out on the DataPort with its flow control, and the call
// signs and flags the host commands set.
#pragma once

#include "host/host_interface.h"
#include "ports/host_link_port.h"
#include "session/session_ports.h"

namespace zolk {

class SessionHostAdapter final : public SessionHost {
public:
    SessionHostAdapter(HostInterface& host, HostLinkPort& link) : m_host(host), m_link(link) {}

    void pending() override;
    void cancelPending() override;
    void connected(std::string_view callingCall, std::string_view calledCall) override;
    void disconnected() override;
    void buffer(std::size_t bytesToSend) override;
    std::size_t deliver(std::span<const std::uint8_t> bytes) override { return m_host.deliverToHost(bytes); }
    void holdDataPort(bool hold) override { m_host.holdDataPort(hold); }
    std::string_view myCall(int slot) const override;
    bool listening() const override { return m_host.protocol().listenMode(); }
    bool publicFlag() const override { return m_host.protocol().publicFlag() != 0; }

private:
    HostInterface& m_host;
    HostLinkPort& m_link;
};

}  // namespace zolk
