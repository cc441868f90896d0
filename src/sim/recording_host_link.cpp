#include "sim/recording_host_link.h"

namespace zolk::sim {

void RecordingHostLink::listen(HostSocket socket, std::uint16_t port) {
    auto& s = side(socket);
    s.listeningPort = port;
    s.connected = false;
    ++s.listens;
}

void RecordingHostLink::close(HostSocket socket) {
    auto& s = side(socket);
    s.listeningPort.reset();
    s.connected = false;
}

void RecordingHostLink::send(HostSocket socket, std::span<const std::uint8_t> bytes) {
    auto& s = side(socket);
    if (s.connected) s.sent.insert(s.sent.end(), bytes.begin(), bytes.end());
}

std::string RecordingHostLink::sentText(HostSocket socket) const {
    const auto& bytes = side(socket).sent;
    return {bytes.begin(), bytes.end()};
}

}  // namespace zolk::sim
