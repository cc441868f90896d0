// recording_host_link.h: the two host sockets as a test sees them: which port each listens on,
// whether a host is connected, and every byte the station sent.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ports/host_link_port.h"

namespace zolk::sim {

class RecordingHostLink final : public HostLinkPort {
public:
    bool listen(HostSocket socket, std::uint16_t port, ListenScope scope) override;
    void close(HostSocket socket) override;
    bool connected(HostSocket socket) const override { return side(socket).connected; }
    std::size_t send(HostSocket socket, std::span<const std::uint8_t> bytes) override;
    void holdReading(HostSocket socket, bool hold) override { side(socket).held = hold; }

    // The harness marks a host connected or gone before it tells the station.
    void setConnected(HostSocket socket, bool connected) { side(socket).connected = connected; }
    // Ports that another program holds: listening on them fails.
    void setBusyPorts(std::vector<std::uint16_t> ports) { m_busyPorts = std::move(ports); }
    std::optional<std::uint16_t> listeningPort(HostSocket socket) const { return side(socket).listeningPort; }
    std::optional<ListenScope> listeningScope(HostSocket socket) const { return side(socket).scope; }
    int listenCount(HostSocket socket) const { return side(socket).listens; }
    const std::vector<std::uint8_t>& sent(HostSocket socket) const { return side(socket).sent; }
    std::string sentText(HostSocket socket) const;
    void clearSent(HostSocket socket) { side(socket).sent.clear(); }
    // The station holds the host back: a host program's further bytes wait in TCP meanwhile.
    bool readingHeld(HostSocket socket) const { return side(socket).held; }

private:
    struct Side {
        std::optional<std::uint16_t> listeningPort;
        std::optional<ListenScope> scope;
        bool connected = false;
        int listens = 0;
        bool held = false;
        std::vector<std::uint8_t> sent;
    };
    Side& side(HostSocket socket) { return m_sides[static_cast<std::size_t>(socket)]; }
    const Side& side(HostSocket socket) const { return m_sides[static_cast<std::size_t>(socket)]; }

    std::array<Side, 2> m_sides{};
    std::vector<std::uint16_t> m_busyPorts;
};

}  // namespace zolk::sim
