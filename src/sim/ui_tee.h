// ui_tee.h: a UI sink that shows everything on two sinks, the first always and the second when
// one is given: a simulated station keeps its recording for checks and can draw a real window too.
// Owns neither sink.
#pragma once

#include "ports/ui_sink.h"

namespace zolk::sim {

class UiTee final : public UiSink {
public:
    UiTee(UiSink& first, UiSink* second) : m_first(first), m_second(second) {}

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
    void showCalibration(const CalibrationView& view) override;

private:
    template <typename Call>
    void both(Call call) {
        call(m_first);
        if (m_second != nullptr) call(*m_second);
    }

    UiSink& m_first;
    UiSink* m_second;
};

}  // namespace zolk::sim
