// host_link_port.h: the two TCP server sockets the host program talks to.
// The shell owns the sockets; the core decides when they listen, close and what they send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zolk {

enum class HostSocket : std::uint8_t { Command, Data };

// Who may connect: the local machine only (the default), or every network interface.
enum class ListenScope : std::uint8_t { Loopback, AllInterfaces };

class HostLinkPort {
public:
    virtual ~HostLinkPort() = default;
    // Closes whatever the socket holds and listens on the given local port. Once a host is
    // accepted the socket stops listening, so a second host is refused while the first stays.
    // Returns false when the port cannot be opened (in use, not allowed).
    virtual bool listen(HostSocket socket, std::uint16_t port, ListenScope scope) = 0;
    virtual void close(HostSocket socket) = 0;
    virtual bool connected(HostSocket socket) const = 0;
    // Returns how many of the bytes the socket took, from the front: all of them, or fewer when
    // no host is connected, the send failed or the host has not read enough of what it was sent.
    // The caller keeps what was not taken when it matters (the DataPort) and may drop it when it
    // does not (status lines for a host that is gone).
    virtual std::size_t send(HostSocket socket, std::span<const std::uint8_t> bytes) = 0;
    // Stops (true) or resumes (false) reading what the host sends on the socket. While held the
    // bytes wait with the operating system, so TCP holds the host back; after the resume they
    // are reported as usual, never from inside this call. Holding lasts across host changes.
    virtual void holdReading(HostSocket socket, bool hold) = 0;
};

// What the shell reports about the two sockets, each event after the socket's state changed
// (connected() already tells the new state).
class HostLinkEvents {
public:
    virtual ~HostLinkEvents() = default;
    virtual void onHostConnected(HostSocket socket) = 0;
    virtual void onHostClosed(HostSocket socket) = 0;  // the host closed the connection
    virtual void onHostError(HostSocket socket) = 0;   // the connection failed
    virtual void onHostBytes(HostSocket socket, std::span<const std::uint8_t> bytes) = 0;
};

}  // namespace zolk
