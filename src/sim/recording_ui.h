// recording_ui.h: a UI sink that keeps what a station showed, for tests to read.
// Holds the latest state of every panel and menu item plus the boxes and log lines in order; on
// request also every panel, gauge and plot call in order, for a test of what one step drew.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ports/ui_sink.h"

namespace zolk::sim {

struct MenuState {
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    std::string caption;
};

// Whether the panel, gauge and plot calls are kept one line each ("Baud tip Baud Rate", "snr
// 6.500000", "cells 3/2/rating"); a station that runs for long keeps only the latest state.
enum class CallLog : std::uint8_t { Off, Kept };

class RecordingUi final : public UiSink {
public:
    explicit RecordingUi(CallLog log = CallLog::Off) : m_keepCalls(log == CallLog::Kept) {}

    void setPanelText(std::string_view key, std::string_view text) override;
    void setPanelIcon(std::string_view key, std::string_view icon) override;
    void setPanelTip(std::string_view key, std::string_view tip) override;
    void setCaption(std::string_view caption) override { m_caption = caption; }
    void messageBox(std::string_view title, std::string_view text) override;
    void appendMonitor(std::string_view text) override { m_monitor += text; }
    void clearMonitor() override { m_monitor.clear(); }
    void logLine(std::string_view line) override { m_logLines.emplace_back(line); }
    void setMenuChecked(MenuItem item, bool checked) override { menuState(item).checked = checked; }
    void setMenuEnabled(MenuItem item, bool enabled) override { menuState(item).enabled = enabled; }
    void setMenuVisible(MenuItem item, bool visible) override { menuState(item).visible = visible; }
    void setMenuCaption(MenuItem item, std::string_view caption) override { menuState(item).caption = caption; }
    void applyView(std::uint8_t viewMode) override { m_views.push_back(viewMode); }
    void clearWaterfall() override { ++m_waterfallClears; }
    void moveWindow(std::int32_t topTwips, std::int32_t leftTwips) override {
        m_windowPosition = std::make_pair(topTwips, leftTwips);
    }
    void showSnr(float snrDb) override;
    void showAfc(float offsetHz) override;
    void showLevel(float levelDb) override;
    void clearGauge(Gauge gauge) override;
    void plotCells(std::span<const std::complex<float>> cells, int bits, PlotColour colour) override;
    void plotSoftValues(std::span<const float> softValues, PlotColour colour) override;
    void clearConstellation() override;
    void addWaterfallRow(std::span<const std::uint32_t> rgb) override;
    void setIndicator(TransmitIndicator which, IndicatorColour colour) override {
        m_indicators[static_cast<std::size_t>(which)] = colour;
    }
    void resetSpeedChart(ChartColour colour) override {
        m_chartColour = colour;
        m_chartPoints.clear();
    }
    void addSpeedChartPoint(int bitRate) override { m_chartPoints.push_back(bitRate); }
    void showCalibration(const CalibrationView& view) override { m_calibration.push_back(view); }

    // Empty when never set.
    std::string panelText(std::string_view key) const;
    std::string panelIcon(std::string_view key) const;
    std::string panelTip(std::string_view key) const;
    bool hasPanel(std::string_view key) const { return m_panels.contains(std::string(key)); }
    const std::string& caption() const { return m_caption; }
    void clearCaption() { m_caption.clear(); }
    const std::vector<std::pair<std::string, std::string>>& messageBoxes() const { return m_messageBoxes; }
    void clearMessageBoxes() { m_messageBoxes.clear(); }
    const std::string& monitor() const { return m_monitor; }
    const std::vector<std::string>& logLines() const { return m_logLines; }
    const MenuState& menu(MenuItem item) const { return m_menus[static_cast<std::size_t>(item)]; }
    // Every view applied, in order.
    const std::vector<std::uint8_t>& views() const { return m_views; }
    int waterfallClears() const { return m_waterfallClears; }
    std::optional<std::pair<std::int32_t, std::int32_t>> windowPosition() const { return m_windowPosition; }
    std::optional<float> snrDb() const { return m_snrDb; }
    std::optional<float> afcHz() const { return m_afcHz; }
    // Nothing since the gauge was last cleared (or before it was first written).
    std::optional<float> levelDb() const { return m_levelDb; }
    int constellationClears() const { return m_constellationClears; }
    // Every waterfall row added, oldest first.
    const std::vector<std::vector<std::uint32_t>>& waterfallRows() const { return m_waterfallRows; }
    // The last constellation plot since the last clear: how many points, in which colour.
    std::size_t plottedPoints() const { return m_plottedPoints; }
    std::optional<PlotColour> plotColour() const { return m_plotColour; }
    // White until painted.
    IndicatorColour indicator(TransmitIndicator which) const { return m_indicators[static_cast<std::size_t>(which)]; }
    // The speed chart's colour (none before the first reset) and every point since that reset.
    std::optional<ChartColour> chartColour() const { return m_chartColour; }
    const std::vector<int>& chartPoints() const { return m_chartPoints; }
    // Every state the link calibration showed, oldest first.
    const std::vector<CalibrationView>& calibration() const { return m_calibration; }
    // With CallLog::Kept, every panel, gauge and plot call in order; empty otherwise.
    const std::vector<std::string>& calls() const { return m_calls; }

private:
    struct Panel {
        std::string text;
        std::string icon;
        std::string tip;
    };
    MenuState& menuState(MenuItem item) { return m_menus[static_cast<std::size_t>(item)]; }
    void keepCall(std::string line);

    std::map<std::string, Panel, std::less<>> m_panels;
    std::array<IndicatorColour, kTransmitIndicatorCount> m_indicators{};
    std::string m_caption;
    std::vector<std::pair<std::string, std::string>> m_messageBoxes;
    std::string m_monitor;
    std::vector<std::string> m_logLines;
    std::array<MenuState, kMenuItemCount> m_menus{};
    std::vector<std::uint8_t> m_views;
    int m_waterfallClears = 0;
    std::optional<std::pair<std::int32_t, std::int32_t>> m_windowPosition;
    std::optional<float> m_snrDb;
    std::optional<float> m_afcHz;
    std::optional<float> m_levelDb;
    int m_constellationClears = 0;
    std::vector<std::vector<std::uint32_t>> m_waterfallRows;
    std::size_t m_plottedPoints = 0;
    std::optional<PlotColour> m_plotColour;
    std::optional<ChartColour> m_chartColour;
    std::vector<int> m_chartPoints;
    std::vector<CalibrationView> m_calibration;
    bool m_keepCalls;
    std::vector<std::string> m_calls;
};

}  // namespace zolk::sim
