#include "app/session_ui_adapter.h"

namespace zolk {

void SessionUiAdapter::lightLamp(Lamp lamp) {
    m_indicators.lightIndicator(lamp, lamp == Lamp::Data && m_repeating);
}

void SessionUiAdapter::resetDisplays() {
    for (const Gauge gauge : {Gauge::Snr, Gauge::Afc, Gauge::Level}) m_ui.clearGauge(gauge);
    if (m_settings.waterfallMode != 1) m_ui.clearWaterfall();
}

void SessionUiAdapter::enableSetupMenus(bool enabled) {
    const bool setup = enabled && m_settings.monitorMode != 1;
    m_ui.setMenuEnabled(MenuItem::Setup, setup);
    m_ui.setMenuEnabled(MenuItem::Ptt, setup);
    m_ui.setMenuEnabled(MenuItem::Monitor, enabled);
}

}  // namespace zolk
