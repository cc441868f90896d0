// null_ui_sink.h: a display that shows nothing, for tools and fixtures without an operator.
// Subclasses override only what they record.
#pragma once

#include "ports/ui_sink.h"

namespace zolk {

class NullUiSink : public UiSink {
public:
    void setPanelText(std::string_view, std::string_view) override {}
    void setPanelIcon(std::string_view, std::string_view) override {}
    void setPanelTip(std::string_view, std::string_view) override {}
    void setCaption(std::string_view) override {}
    void messageBox(std::string_view, std::string_view) override {}
    void appendMonitor(std::string_view) override {}
    void clearMonitor() override {}
    void logLine(std::string_view) override {}
    void setMenuChecked(MenuItem, bool) override {}
    void setMenuEnabled(MenuItem, bool) override {}
    void setMenuVisible(MenuItem, bool) override {}
    void setMenuCaption(MenuItem, std::string_view) override {}
    void applyView(std::uint8_t) override {}
    void clearWaterfall() override {}
    void moveWindow(std::int32_t, std::int32_t) override {}
    void showSnr(float) override {}
    void showAfc(float) override {}
    void showLevel(float) override {}
    void clearGauge(Gauge) override {}
    void plotCells(std::span<const std::complex<float>>, int, PlotColour) override {}
    void plotSoftValues(std::span<const float>, PlotColour) override {}
    void clearConstellation() override {}
    void addWaterfallRow(std::span<const std::uint32_t>) override {}
    void setIndicator(TransmitIndicator, IndicatorColour) override {}
    void resetSpeedChart(ChartColour) override {}
    void addSpeedChartPoint(int) override {}
    void showCalibration(const CalibrationView&) override {}
};

}  // namespace zolk
