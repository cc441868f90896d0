// status_lines.h: the lines the modem sends its host on the CommandPort, each ended by CR.
// Callers decide when to send; a line to an unconnected CommandPort is lost: there is no host to keep it for.
#pragma once

#include <cstddef>
#include <string_view>

#include "ports/host_link_port.h"

namespace zolk {

// Sends text followed by one carriage return on the CommandPort.
void sendHostLine(HostLinkPort& link, std::string_view text);

void sendOk(HostLinkPort& link);
void sendWrong(HostLinkPort& link);
// "CONNECTED " + calling station + " " + called station.
void sendConnected(HostLinkPort& link, std::string_view callingCall, std::string_view calledCall);
void sendDisconnected(HostLinkPort& link);
// "BUFFER " + bytes still to send, in plain decimal.
void sendBuffer(HostLinkPort& link, std::size_t bytesToSend);
void sendPending(HostLinkPort& link);
void sendCancelPending(HostLinkPort& link);
void sendBusy(HostLinkPort& link, bool on);
void sendPtt(HostLinkPort& link, bool on);

}  // namespace zolk
