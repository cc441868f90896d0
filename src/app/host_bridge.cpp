#include "app/host_bridge.h"

#include <string>

#include "app/station.h"
#include "app/station_radio.h"

namespace zolk {

void HostBridge::notBuilt(std::string_view what) {
    m_ui.logLine("Not built yet: " + std::string(what));
}

void HostBridge::connect() { notBuilt("the ARQ session; CONNECT makes no call"); }
void HostBridge::disconnect() { notBuilt("the ARQ session; there is no link to end"); }
void HostBridge::abort() { notBuilt("the ARQ session; there is no link to abort"); }
void HostBridge::dropLocally() { notBuilt("the ARQ session; there is no link to drop"); }

void HostBridge::buildCallPatterns(std::int32_t seed, const SlotSeeds& slotSeeds, bool forCall) {
    if (m_station.running()) m_station.radio().drawPatterns(seed, slotSeeds, forCall);
}

void HostBridge::drawPingPatterns(std::int32_t) { notBuilt("link calibration ping patterns"); }

void HostBridge::leaveMonitorMode() {
    if (m_station.settings().MonitorMode == 1) m_station.onMenu(MenuItem::MonitorOff);
}

void HostBridge::takeOverPtt() { m_station.takeOverPtt(); }

void HostBridge::applyRadioPort() { m_station.applyRadioPort(); }

void HostBridge::appendToTransmitBuffer(std::span<const std::uint8_t> bytes) {
    notBuilt("data transfer; " + std::to_string(bytes.size()) +
             " bytes from the host's DataPort are not sent");
}

void HostBridge::logLine(std::string_view text) { m_station.sessionLog().hostPortFailure(text); }

}  // namespace zolk
