// host_link_port.h: the two TCP server sockets the host program talks to.
// The shell owns the sockets; the core decides when they listen, close and what they send.
#pragma once

#include <cstdint>
#include <span>

namespace zolk {

enum class HostSocket : std::uint8_t { Command, Data };  // winsockBPQComandos, winsockBPQDatos

class HostLinkPort {
public:
    virtual ~HostLinkPort() = default;
    // Closes whatever the socket holds and listens on the given local port.
    virtual void listen(HostSocket socket, std::uint16_t port) = 0;
    virtual void close(HostSocket socket) = 0;
    virtual bool connected(HostSocket socket) const = 0;
    // Send errors are the caller's to ignore; bytes to an unconnected socket are dropped.
    virtual void send(HostSocket socket, std::span<const std::uint8_t> bytes) = 0;
};

}  // namespace zolk
