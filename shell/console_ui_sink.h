// console_ui_sink.h: what a headless station shows, as log lines: panel changes and the monitor
// on standard output, message boxes and operator log lines on standard error.
// Owns the last value shown per panel (to print changes only); the texts are the station's.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "ports/ui_sink.h"

namespace zolk::shell {

// One log line with the time of day in front, flushed at once.
void printTimedLine(std::FILE* stream, std::string_view line);

class ConsoleUiSink final : public UiSink {
public:
    ConsoleUiSink(std::FILE* out = stdout, std::FILE* err = stderr);

    void setPanelText(std::string_view key, std::string_view text) override;
    void setPanelIcon(std::string_view key, std::string_view icon) override;
    void setPanelTip(std::string_view key, std::string_view tip) override;
    void setCaption(std::string_view caption) override;
    void messageBox(std::string_view title, std::string_view text) override;
    void appendMonitor(std::string_view text) override;
    void clearMonitor() override;
    void logLine(std::string_view line) override;
    // A console has no menus, views, waterfall or window to place: nothing to show.
    void setMenuChecked(MenuItem item, bool checked) override;
    void setMenuEnabled(MenuItem item, bool enabled) override;
    void setMenuVisible(MenuItem item, bool visible) override;
    void setMenuCaption(MenuItem item, std::string_view caption) override;
    void applyView(std::uint8_t viewMode) override;
    void clearWaterfall() override;
    void moveWindow(std::int32_t topTwips, std::int32_t leftTwips) override;
    // Each received frame's S/N and AFC is a line; its constellation has nowhere to go.
    void showSnr(float snrDb) override;
    void showAfc(float offsetHz) override;
    void plotCells(std::span<const std::complex<float>> cells, int bitsPerCell, PlotColour colour) override;
    void plotSoftValues(std::span<const float> softValues, PlotColour colour) override;
    // The level moves ten times a second and the pictures have nowhere to go: nothing to show.
    void showLevel(float levelDb) override;
    void clearGauge(Gauge gauge) override;
    void clearConstellation() override;
    void addWaterfallRow(std::span<const std::uint32_t> rgb) override;
    void setIndicator(TransmitIndicator which, IndicatorColour colour) override;
    // Each point of the speed chart is a line: the rate a frame went at, or a lost frame.
    void resetSpeedChart(ChartColour colour) override;
    void addSpeedChartPoint(int bitRate) override;
    // The link calibration as lines: the ping sent, each result with its colour, or no reply.
    void showCalibration(const CalibrationView& view) override;

private:
    // Prints "<what>: <value>" when the value differs from the last one shown for it.
    void printChange(const std::string& what, std::string_view value);

    std::FILE* m_out;
    std::FILE* m_err;
    std::map<std::string, std::string, std::less<>> m_shown;
};

}  // namespace zolk::shell
