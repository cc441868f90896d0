#include "sim/recording_host_link.h"

#include <algorithm>

namespace zolk::sim {

bool RecordingHostLink::listen(HostSocket socket, std::uint16_t port, ListenScope scope) {
    auto& s = side(socket);
    ++s.listens;
    s.connected = false;
    if (std::find(m_busyPorts.begin(), m_busyPorts.end(), port) != m_busyPorts.end()) {
        s.listeningPort.reset();
        s.scope.reset();
        return false;
    }
    s.listeningPort = port;
    s.scope = scope;
    return true;
}

void RecordingHostLink::close(HostSocket socket) {
    auto& s = side(socket);
    s.listeningPort.reset();
    s.scope.reset();
    s.connected = false;
}

std::size_t RecordingHostLink::send(HostSocket socket, std::span<const std::uint8_t> bytes) {
    auto& s = side(socket);
    if (!s.connected) return 0;
    s.sent.insert(s.sent.end(), bytes.begin(), bytes.end());
    return bytes.size();
}

std::string RecordingHostLink::sentText(HostSocket socket) const {
    const auto& bytes = side(socket).sent;
    return {bytes.begin(), bytes.end()};
}

}  // namespace zolk::sim
