#include "host/status_lines.h"

#include <cstdint>
#include <string>

namespace zolk {

void sendHostLine(HostLinkPort& link, std::string_view text) {
    std::string line(text);
    line += '\r';
    link.send(HostSocket::Command,
              std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
}

void sendOk(HostLinkPort& link) { sendHostLine(link, "OK"); }
void sendWrong(HostLinkPort& link) { sendHostLine(link, "WRONG"); }

void sendConnected(HostLinkPort& link, std::string_view callingCall, std::string_view calledCall) {
    sendHostLine(link, "CONNECTED " + std::string(callingCall) + " " + std::string(calledCall));
}

void sendDisconnected(HostLinkPort& link) { sendHostLine(link, "DISCONNECTED"); }

void sendBuffer(HostLinkPort& link, std::size_t bytesToSend) {
    sendHostLine(link, "BUFFER " + std::to_string(bytesToSend));
}

void sendPending(HostLinkPort& link) { sendHostLine(link, "PENDING"); }
void sendCancelPending(HostLinkPort& link) { sendHostLine(link, "CANCELPENDING"); }
void sendBusy(HostLinkPort& link, bool on) { sendHostLine(link, on ? "BUSY ON" : "BUSY OFF"); }
void sendPtt(HostLinkPort& link, bool on) { sendHostLine(link, on ? "PTT ON" : "PTT OFF"); }

}  // namespace zolk
