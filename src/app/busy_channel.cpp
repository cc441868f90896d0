#include "app/busy_channel.h"

#include "host/status_lines.h"

namespace zolk {
namespace {

constexpr std::string_view kBusyPanel = "Busy";

}  // namespace

BusyChannel::BusyChannel(UiSink& ui, HostLinkPort& hostLink, TimerPort& timers)
    : m_ui(ui), m_hostLink(hostLink), m_timers(timers) {}

void BusyChannel::start() {
    m_watching = false;
    m_channelFree = false;
    declareFree();
    m_timers.start(TimerId::BusyOff, timerInterval(TimerId::BusyOff));
}

void BusyChannel::onSample(Complex z, float inputLevelDb) {
    if (!m_watching) return;
    switch (m_detector.push(z, inputLevelDb)) {
    case BusyVerdict::Busy:
        declareBusy();
        break;
    case BusyVerdict::Free:
        declareFree();
        break;
    case BusyVerdict::None:
        break;
    }
}

void BusyChannel::pause() {
    m_watching = false;
    declareFree();
    m_timers.stop(TimerId::BusyOff);
}

void BusyChannel::resumeLater() {
    if (!m_watching) m_timers.start(TimerId::BusyOff, timerInterval(TimerId::BusyOff));
}

void BusyChannel::onTimer() {
    m_timers.stop(TimerId::BusyOff);
    if (m_watching) return;
    m_detector.restart();
    m_watching = true;
}

void BusyChannel::declareBusy() {
    if (!m_channelFree) return;
    m_ui.setPanelIcon(kBusyPanel, "LedAmarillo");
    m_ui.setPanelTip(kBusyPanel, "Busy Channel");
    m_channelFree = false;
    sendBusy(m_hostLink, true);
}

void BusyChannel::declareFree() {
    if (m_channelFree) return;
    m_ui.setPanelIcon(kBusyPanel, "LedVerde");
    m_ui.setPanelTip(kBusyPanel, "Free Channel");
    m_channelFree = true;
    sendBusy(m_hostLink, false);
}

}  // namespace zolk
