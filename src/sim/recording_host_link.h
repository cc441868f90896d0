// recording_host_link.h: the two host sockets as a test sees them: every listen asked for, whether
// a host is connected, every byte the station sent and how often it tried.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ports/host_link_port.h"

namespace zolk::sim {

struct ListenCall {
    HostSocket socket;
    std::uint16_t port;
    ListenScope scope;
    bool operator==(const ListenCall&) const = default;
};

class RecordingHostLink final : public HostLinkPort {
public:
    bool listen(HostSocket socket, std::uint16_t port, ListenScope scope) override;
    void close(HostSocket socket) override;
    bool connected(HostSocket socket) const override { return side(socket).connected; }
    // Takes what the accept limit allows; nothing while no host is there.
    std::size_t send(HostSocket socket, std::span<const std::uint8_t> bytes) override;
    void holdReading(HostSocket socket, bool hold) override { side(socket).held = hold; }

    // The harness marks a host connected or gone before it tells the station.
    void setConnected(HostSocket socket, bool connected) { side(socket).connected = connected; }
    // Ports that another program holds: listening on them fails.
    void setBusyPorts(std::vector<std::uint16_t> ports) { m_busyPorts = std::move(ports); }
    // A host that reads slowly: each send takes at most this many bytes (all by default).
    void setAcceptLimit(HostSocket socket, std::size_t bytes) { side(socket).acceptLimit = bytes; }

    // The port the socket listens on now: none after a close or a refused listen.
    std::optional<std::uint16_t> listeningPort(HostSocket socket) const { return side(socket).listeningPort; }
    // Every listen the station asked for, refused ones too, in order since the last clearListens().
    const std::vector<ListenCall>& listens() const { return m_listens; }
    void clearListens() { m_listens.clear(); }
    // Every send the station tried, whether a host took bytes or not.
    int sendCalls(HostSocket socket) const { return side(socket).sendCalls; }
    const std::vector<std::uint8_t>& sent(HostSocket socket) const { return side(socket).sent; }
    std::string sentText(HostSocket socket) const;
    void clearSent(HostSocket socket) { side(socket).sent.clear(); }
    // The station holds the host back: a host program's further bytes wait in TCP meanwhile.
    bool readingHeld(HostSocket socket) const { return side(socket).held; }

private:
    struct Side {
        std::optional<std::uint16_t> listeningPort;
        bool connected = false;
        bool held = false;
        int sendCalls = 0;
        std::size_t acceptLimit = std::numeric_limits<std::size_t>::max();
        std::vector<std::uint8_t> sent;
    };
    Side& side(HostSocket socket) { return m_sides[static_cast<std::size_t>(socket)]; }
    const Side& side(HostSocket socket) const { return m_sides[static_cast<std::size_t>(socket)]; }

    std::array<Side, 2> m_sides{};
    std::vector<ListenCall> m_listens;
    std::vector<std::uint16_t> m_busyPorts;
};

}  // namespace zolk::sim
