#include "sim/ui_tee.h"

namespace zolk::sim {

void UiTee::setPanelText(std::string_view key, std::string_view text) {
    both([&](UiSink& sink) { sink.setPanelText(key, text); });
}

void UiTee::setPanelIcon(std::string_view key, std::string_view icon) {
    both([&](UiSink& sink) { sink.setPanelIcon(key, icon); });
}

void UiTee::setPanelTip(std::string_view key, std::string_view tip) {
    both([&](UiSink& sink) { sink.setPanelTip(key, tip); });
}

void UiTee::setCaption(std::string_view caption) {
    both([&](UiSink& sink) { sink.setCaption(caption); });
}

void UiTee::messageBox(std::string_view title, std::string_view text) {
    both([&](UiSink& sink) { sink.messageBox(title, text); });
}

void UiTee::appendMonitor(std::string_view text) {
    both([&](UiSink& sink) { sink.appendMonitor(text); });
}

void UiTee::clearMonitor() {
    both([](UiSink& sink) { sink.clearMonitor(); });
}

void UiTee::logLine(std::string_view line) {
    both([&](UiSink& sink) { sink.logLine(line); });
}

void UiTee::setMenuChecked(MenuItem item, bool checked) {
    both([&](UiSink& sink) { sink.setMenuChecked(item, checked); });
}

void UiTee::setMenuEnabled(MenuItem item, bool enabled) {
    both([&](UiSink& sink) { sink.setMenuEnabled(item, enabled); });
}

void UiTee::setMenuVisible(MenuItem item, bool visible) {
    both([&](UiSink& sink) { sink.setMenuVisible(item, visible); });
}

void UiTee::setMenuCaption(MenuItem item, std::string_view caption) {
    both([&](UiSink& sink) { sink.setMenuCaption(item, caption); });
}

void UiTee::applyView(std::uint8_t viewMode) {
    both([&](UiSink& sink) { sink.applyView(viewMode); });
}

void UiTee::clearWaterfall() {
    both([](UiSink& sink) { sink.clearWaterfall(); });
}

void UiTee::moveWindow(std::int32_t topTwips, std::int32_t leftTwips) {
    both([&](UiSink& sink) { sink.moveWindow(topTwips, leftTwips); });
}

void UiTee::showSnr(float snrDb) {
    both([&](UiSink& sink) { sink.showSnr(snrDb); });
}

void UiTee::showAfc(float offsetHz) {
    both([&](UiSink& sink) { sink.showAfc(offsetHz); });
}

void UiTee::showLevel(float levelDb) {
    both([&](UiSink& sink) { sink.showLevel(levelDb); });
}

void UiTee::clearGauge(Gauge gauge) {
    both([&](UiSink& sink) { sink.clearGauge(gauge); });
}

void UiTee::plotCells(std::span<const std::complex<float>> cells, int bitsPerCell, PlotColour colour) {
    both([&](UiSink& sink) { sink.plotCells(cells, bitsPerCell, colour); });
}

void UiTee::plotSoftValues(std::span<const float> softValues, PlotColour colour) {
    both([&](UiSink& sink) { sink.plotSoftValues(softValues, colour); });
}

void UiTee::clearConstellation() {
    both([](UiSink& sink) { sink.clearConstellation(); });
}

void UiTee::addWaterfallRow(std::span<const std::uint32_t> rgb) {
    both([&](UiSink& sink) { sink.addWaterfallRow(rgb); });
}

void UiTee::setIndicator(TransmitIndicator which, IndicatorColour colour) {
    both([&](UiSink& sink) { sink.setIndicator(which, colour); });
}

void UiTee::resetSpeedChart(ChartColour colour) {
    both([&](UiSink& sink) { sink.resetSpeedChart(colour); });
}

void UiTee::addSpeedChartPoint(int bitRate) {
    both([&](UiSink& sink) { sink.addSpeedChartPoint(bitRate); });
}

void UiTee::showCalibration(const CalibrationView& view) {
    both([&](UiSink& sink) { sink.showCalibration(view); });
}

}  // namespace zolk::sim
