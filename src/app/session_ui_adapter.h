// session_ui_adapter.h: what the operator sees of the session, on the station's display: status
// panels, the seven transmit lamps (through the radio control, which also clears them when a
// transmission ends), the speed chart, the setup menus and message boxes.
// Owns the DATA lamp's repeat flag.
#pragma once

#include "app/settings.h"
#include "ports/transmitter_keying.h"
#include "ports/ui_sink.h"
#include "session/session_ports.h"

namespace zolk {

class SessionUiAdapter final : public SessionUi {
public:
    // settings: the station's, read for the monitor mode when the menus are enabled again.
    SessionUiAdapter(UiSink& ui, TransmitIndicators& indicators, const Settings& settings)
        : m_ui(ui), m_indicators(indicators), m_settings(settings) {}

    void setPanelText(std::string_view key, std::string_view text) override { m_ui.setPanelText(key, text); }
    void setPanelIcon(std::string_view key, std::string_view icon) override { m_ui.setPanelIcon(key, icon); }
    void setPanelTip(std::string_view key, std::string_view tip) override { m_ui.setPanelTip(key, tip); }
    void lightLamp(Lamp lamp) override;
    void clearLamps() override { m_indicators.resetIndicators(); }
    void showRepeat(bool repeating) override { m_repeating = repeating; }
    void resetChart(ChartColour colour) override { m_ui.resetSpeedChart(colour); }
    void chartPoint(int bitRate) override { m_ui.addSpeedChartPoint(bitRate); }
    void resetDisplays() override;
    // Setup and PTT stay disabled in monitor mode, which has no use for them.
    void enableSetupMenus(bool enabled) override;
    void messageBox(std::string_view text) override { m_ui.messageBox("ZOLK SAT", text); }
    void showCalibration(const CalibrationView& view) override { m_ui.showCalibration(view); }

private:
    UiSink& m_ui;
    TransmitIndicators& m_indicators;
    const Settings& m_settings;
    bool m_repeating = false;
};

}  // namespace zolk
