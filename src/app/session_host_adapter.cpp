#include "app/session_host_adapter.h"

#include "host/status_lines.h"

namespace zolk {

void SessionHostAdapter::pending() { sendPending(m_link); }

void SessionHostAdapter::cancelPending() { sendCancelPending(m_link); }

void SessionHostAdapter::connected(std::string_view callingCall, std::string_view calledCall) {
    sendConnected(m_link, callingCall, calledCall);
}

void SessionHostAdapter::disconnected() { sendDisconnected(m_link); }

void SessionHostAdapter::buffer(std::size_t bytesToSend) { sendBuffer(m_link, bytesToSend); }

std::string_view SessionHostAdapter::myCall(int slot) const {
    const auto& calls = m_host.protocol().myCalls();
    if (slot < 1 || static_cast<std::size_t>(slot) > calls.size()) return {};
    return calls[static_cast<std::size_t>(slot - 1)];
}

}  // namespace zolk
