#include "app/station_radio.h"

#include <stdexcept>

#include "app/station.h"

namespace zolk {

StationRadio::StationRadio(Station& station, UiSink& ui, TimerPort& timers)
    : m_station(station),
      m_frontEnd(station.drawnTables(), *this),
      m_schedule(m_frontEnd, m_ignoredFrames, SearchWindows::Session),
      m_chain(m_frontEnd, station.tables(), station.drawnTables(), m_schedule, ui, timers),
      m_transmit(station.tables(), station.drawnTables(), station.random(), station.audioEngine(),
                 station.settings(), *this) {
    m_station.audioEngine().attachReceiver(&m_frontEnd);
}

StationRadio::~StationRadio() { m_station.audioEngine().attachReceiver(nullptr); }

void StationRadio::setFrameSession(FrameSessionEntries* entries) {
    m_schedule.setEntries(entries != nullptr ? *entries : m_ignoredFrames);
}

void StationRadio::receive(int mode, int framesPerBurst) { m_schedule.receive(mode, framesPerBurst); }

void StationRadio::stopReceiving() { m_schedule.stop(); }

void StationRadio::applyMonitorMode() {
    m_schedule.stop();
    m_schedule.setMonitor(m_station.settings().MonitorMode == 1);
}

void StationRadio::send(int mode, std::span<const std::span<const std::uint8_t>> frames) {
    if (m_station.transmitActive()) throw std::logic_error("a transmission is still on the air");
    m_transmit.prepareDataFrames(mode, frames);
    m_station.radioControl().pttOn();
}

// windowMinimised stays false: the shell does not tell the core about its window yet.
ReceiveConditions StationRadio::receiveConditions() const {
    const Settings& settings = m_station.settings();
    ReceiveConditions c;
    m_schedule.describe(c);
    c.TransmitActive = m_station.transmitActive();
    c.ListenMode = m_station.host().protocol().listenMode();
    c.WaterfallMode = settings.WaterfallMode;
    c.ViewMode = settings.ViewMode;
    return c;
}

// While the own transmission is on the air nothing is received and stateTicks stays at 0, so
// every wait counts from its end.
void StationRadio::sessionTick() {
    if (m_station.transmitActive()) {
        m_schedule.restartStateTicks();
        return;
    }
    m_schedule.tick(m_chain);
}

void StationRadio::pttOff() {
    m_station.radioControl().pttOff();
    m_schedule.restartStateTicks();
}

}  // namespace zolk
