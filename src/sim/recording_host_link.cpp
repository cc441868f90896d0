#include "sim/recording_host_link.h"

#include <algorithm>

namespace zolk::sim {

bool RecordingHostLink::listen(HostSocket socket, std::uint16_t port, ListenScope scope) {
    m_listens.push_back({socket, port, scope});
    auto& s = side(socket);
    s.connected = false;
    const bool free = std::find(m_busyPorts.begin(), m_busyPorts.end(), port) == m_busyPorts.end();
    s.listeningPort = free ? std::optional<std::uint16_t>(port) : std::nullopt;
    return free;
}

void RecordingHostLink::close(HostSocket socket) {
    auto& s = side(socket);
    s.listeningPort.reset();
    s.connected = false;
}

std::size_t RecordingHostLink::send(HostSocket socket, std::span<const std::uint8_t> bytes) {
    auto& s = side(socket);
    ++s.sendCalls;
    if (!s.connected) return 0;
    const std::size_t taken = std::min(bytes.size(), s.acceptLimit);
    s.sent.insert(s.sent.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    return taken;
}

std::string RecordingHostLink::sentText(HostSocket socket) const {
    const auto& bytes = side(socket).sent;
    return {bytes.begin(), bytes.end()};
}

}  // namespace zolk::sim
