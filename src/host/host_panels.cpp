#include "host/host_panels.h"

#include <string>

namespace zolk {

void showListenState(UiSink& ui, bool listenMode) {
    ui.setPanelIcon("Listen", listenMode ? "LedVerde" : "LedAmarillo");
    ui.setPanelTip("Listen", listenMode ? "LISTEN ON" : "LISTEN OFF");
}

void showTcpDisconnected(UiSink& ui) {
    ui.setPanelIcon("TCP", "LedRojo");
    ui.setPanelTip("TCP", "TCP Ports disconnected");
}

void showTcpConnected(UiSink& ui, std::uint16_t commandPort) {
    ui.setPanelIcon("TCP", "LedVerde");
    ui.setPanelTip("TCP", "Connected to " + std::to_string(commandPort) + "-" +
                              std::to_string(commandPort + 1) + " TCP Ports");
}

}  // namespace zolk
