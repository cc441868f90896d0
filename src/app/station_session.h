// station_session.h: a station's ARQ session joined to the station: the adapters to its radio
// side, transmitter keying, host interface, display and log, and the session itself, which takes
// the radio's frames and session ticks. Built when the station starts, gone when it stops.
#pragma once

#include <string_view>

#include "app/session_host_adapter.h"
#include "app/session_keying_adapter.h"
#include "app/session_log.h"
#include "app/session_radio_adapter.h"
#include "app/session_ui_adapter.h"
#include "app/settings.h"
#include "app/station_radio.h"
#include "host/host_interface.h"
#include "radio/radio_control.h"
#include "session/arq_session.h"

namespace zolk {

struct StationSessionParts {
    StationRadio& radio;
    RadioControl& radioControl;
    HostInterface& host;
    HostLinkPort& hostLink;
    UiSink& ui;
    SessionLog& log;
    const Settings& settings;
};

class StationSession {
public:
    // Every part must outlive the session; the radio's frames and ticks go to it from now on.
    explicit StationSession(StationSessionParts parts);
    ~StationSession();
    StationSession(const StationSession&) = delete;
    StationSession& operator=(const StationSession&) = delete;

    ArqSession& arq() { return m_session; }
    const ArqSession& arq() const { return m_session; }
    // CONNECT, with the number of attempts the settings hold now.
    void connect(std::string_view sourceCall, std::string_view destinationCall);

private:
    StationRadio& m_stationRadio;
    const Settings& m_stationSettings;
    SessionRadioAdapter m_radio;
    SessionKeyingAdapter m_keying;
    SessionHostAdapter m_host;
    SessionUiAdapter m_ui;
    SessionSettings m_settings;
    ArqSession m_session;
};

}  // namespace zolk
