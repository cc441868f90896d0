#include "app/host_bridge.h"

#include "app/station.h"
#include "app/station_radio.h"
#include "app/station_session.h"

namespace zolk {

bool HostBridge::inProgress() const {
    return m_station.running() && m_station.session().arq().inProgress();
}

void HostBridge::connect() {
    m_station.setup().endTune();
    const HostProtocol& protocol = m_station.host().protocol();
    m_station.session().connect(protocol.sourceCall(), protocol.destinationCall());
}

void HostBridge::disconnect() { m_station.session().arq().disconnect(); }
void HostBridge::abort() { m_station.session().arq().abort(); }
void HostBridge::dropLocally() { m_station.session().arq().dropLocally(); }

bool HostBridge::calibrating() const {
    return m_station.running() && m_station.session().arq().calibrating();
}

bool HostBridge::startPing(int kind, std::string_view target) {
    return m_station.storeCalibrationTarget(target) && m_station.startPing(kind == 1 ? PingKind::Rough : PingKind::Fine);
}

void HostBridge::buildCallPatterns(std::int32_t seed, const SlotSeeds& slotSeeds, bool forCall) {
    if (m_station.running()) m_station.radio().drawPatterns(seed, slotSeeds, forCall);
}

// While a ping waits for its reply the pinged station's patterns stay; the end of the ping draws
// the own ones from the call signs the host has named by then.
void HostBridge::drawPingPatterns(std::int32_t seed) {
    if (m_station.running() && m_station.session().arq().state() != SessionState::Pinging)
        m_station.radio().drawPingPatterns(seed);
}

void HostBridge::leaveMonitorMode() {
    if (m_station.settings().monitorMode == 1) m_station.onMenu(MenuItem::MonitorOff);
}

void HostBridge::takeOverPtt() { m_station.takeOverPtt(); }

void HostBridge::applyRadioPort() { m_station.applyRadioPort(); }

void HostBridge::appendToTransmitBuffer(std::span<const std::uint8_t> bytes) {
    m_station.session().arq().onHostData(bytes);
}

void HostBridge::logLine(std::string_view text) { m_station.sessionLog().hostPortFailure(text); }

}  // namespace zolk
