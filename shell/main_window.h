// main_window.h: the operator's window: menus, status bar, displays and indicator boxes.
// Owns the widgets and draws what the station sends through the UI sink; forwards menu choices
// and the window's closing to the station, which holds every rule about them.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <array>
#include <map>

#include "app/gauge_scale.h"
#include "ports/ui_sink.h"
#include "shell/calibration_dialog.h"
#include "shell/constellation_view.h"
#include "shell/cpu_meter.h"
#include "shell/gauge_view.h"
#include "shell/speed_chart_view.h"
#include "shell/status_panel.h"
#include "shell/waterfall_view.h"

class QAction;
class QDialog;

namespace zolk {
class Station;
}

namespace zolk::shell {

class MainWindow final : public QMainWindow, public UiSink {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    // Menu choices and the closing go to the station from now on.
    void attach(Station* station);
    // While set, a message box waits for the operator before the station's call returns (start-up,
    // before any event runs); otherwise it stays up while events go on.
    void setMessagesWait(bool wait) { m_messagesWait = wait; }

    void setPanelText(std::string_view key, std::string_view text) override;
    void setPanelIcon(std::string_view key, std::string_view icon) override;
    void setPanelTip(std::string_view key, std::string_view tip) override;
    void setCaption(std::string_view caption) override;
    void messageBox(std::string_view title, std::string_view text) override;
    void appendMonitor(std::string_view text) override;
    void clearMonitor() override;
    void logLine(std::string_view line) override;
    void setMenuChecked(MenuItem item, bool checked) override;
    void setMenuEnabled(MenuItem item, bool enabled) override;
    void setMenuVisible(MenuItem item, bool visible) override;
    void setMenuCaption(MenuItem item, std::string_view caption) override;
    void applyView(std::uint8_t viewMode) override;
    void clearWaterfall() override;
    void moveWindow(std::int32_t topTwips, std::int32_t leftTwips) override;
    void showSnr(float snrDb) override;
    void showAfc(float offsetHz) override;
    void showLevel(float levelDb) override;
    void clearGauge(Gauge gauge) override;
    void plotCells(std::span<const std::complex<float>> cells, int bitsPerCell, PlotColour colour) override;
    void plotSoftValues(std::span<const float> softValues, PlotColour colour) override;
    void clearConstellation() override;
    void addWaterfallRow(std::span<const std::uint32_t> rgb) override;
    void setIndicator(TransmitIndicator which, IndicatorColour colour) override;
    void resetSpeedChart(ChartColour colour) override;
    void addSpeedChartPoint(int bitRate) override;
    const SpeedChartView& speedChart() const { return *m_chart; }
    // The link calibration's last state, also written to the program's log as lines and shown on
    // the calibration dialog when it is open.
    void showCalibration(const CalibrationView& view) override;
    const CalibrationView& calibration() const { return m_calibration; }

    // The CPU gauge's text box: our process's smoothed share, green below 87.5 %, red above.
    void showCpu(float percent);

    QAction* menuAction(MenuItem item) const { return m_actions[static_cast<std::size_t>(item)]; }
    const StatusPanelWidget* panel(std::string_view key) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The station draws the waterfall and the level only while the window can be seen.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void buildDisplays();
    void buildStatusBar();
    QAction* addMenuItem(QMenu* menu, MenuItem item, bool checkable);
    // Slots, one per event.
    void handleStationMenu(MenuItem item);
    void handleDialog(MenuItem item);
    void handleGuide();
    void handleLog();
    void handleAbout();
    void handleCpuTick();
    // Good frames take the S/N box's rating colour, failed frames white.
    QColor plotColour(PlotColour colour) const;
    // The gauge's needle and its text box's text and colour.
    void showGauge(std::size_t index, float percent, GaugeColour colour, const std::string& value);
    void tellStationShown();
    QLabel* addIndicator(const char* name, const char* text);
    StatusPanelWidget* findPanel(std::string_view key) const;

    std::array<QAction*, kMenuItemCount> m_actions{};
    std::map<std::string, StatusPanelWidget*, std::less<>> m_panels;
    QWidget* m_displays = nullptr;
    WaterfallView* m_waterfall = nullptr;
    ConstellationView* m_constellation = nullptr;
    SpeedChartView* m_chart = nullptr;
    std::array<GaugeView*, 4> m_gauges{};            // pctVumetro, pctCPU, pctOffsetFrecuencia, pctRelacionSN
    std::array<QLabel*, 4> m_meterBoxes{};          // txtVU, txtCPU, txtAFC, txtSN
    std::array<QLabel*, 7> m_indicators{};          // txtData, txtACK, txtNACK, TxtREQ, txtStart, txtBreak, txtQRT
    CalibrationView m_calibration;
    QPlainTextEdit* m_monitor = nullptr;
    QTimer m_cpuTimer;
    CpuMeter m_cpuMeter;
    CpuSmoother m_cpuSmoother;
    Station* m_station = nullptr;
    QPointer<QDialog> m_soundCardDialog;  // modeless: one at a time
    QPointer<CalibrationDialog> m_calibrationDialog;
    bool m_messagesWait = false;
};

}  // namespace zolk::shell
