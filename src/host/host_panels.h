// host_panels.h: the status-bar panels "Listen" and "TCP" that show the host side's state.
// Only writes through the UI sink; the state itself lives in the host protocol and ports.
#pragma once

#include <cstdint>

#include "ports/ui_sink.h"

namespace zolk {

// Green LED "LISTEN ON" when listening for calls, yellow LED "LISTEN OFF" otherwise.
void showListenState(UiSink& ui, bool listenMode);
// Red LED "TCP Ports disconnected".
void showTcpDisconnected(UiSink& ui);
// Green LED "Connected to P-(P+1) TCP Ports".
void showTcpConnected(UiSink& ui, std::uint16_t commandPort);

}  // namespace zolk
