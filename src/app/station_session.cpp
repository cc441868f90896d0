#include "app/station_session.h"

namespace zolk {

StationSession::StationSession(StationSessionParts parts)
    : m_stationRadio(parts.radio),
      m_stationSettings(parts.settings),
      m_radio(parts.radio, parts.radioControl, parts.host.protocol().slotSeeds()),
      m_keying(parts.radioControl),
      m_host(parts.host, parts.hostLink),
      m_ui(parts.ui, parts.radioControl, parts.settings),
      m_settings{.retryLimit = parts.settings.retryLimit},
      m_session(SessionPorts{m_radio, m_keying, m_host, m_ui, parts.log}, m_settings) {
    m_stationRadio.setFrameSession(&m_session);
    // Monitor mode only listens: no call is made or answered meanwhile.
    m_stationRadio.setSessionTick([this] {
        if (m_stationSettings.monitorMode != 1) m_session.tick();
    });
}

StationSession::~StationSession() {
    m_stationRadio.setSessionTick({});
    m_stationRadio.setFrameSession(nullptr);
}

void StationSession::connect(std::string_view sourceCall, std::string_view destinationCall) {
    if (!m_session.inProgress()) m_settings.retryLimit = m_stationSettings.retryLimit;
    m_session.connect(sourceCall, destinationCall);
}

}  // namespace zolk
