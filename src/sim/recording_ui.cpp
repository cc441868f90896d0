#include "sim/recording_ui.h"

namespace zolk::sim {

void RecordingUi::setPanelText(std::string_view key, std::string_view text) { m_panels[std::string(key)].text = text; }

void RecordingUi::setPanelIcon(std::string_view key, std::string_view icon) { m_panels[std::string(key)].icon = icon; }

void RecordingUi::setPanelTip(std::string_view key, std::string_view tip) { m_panels[std::string(key)].tip = tip; }

void RecordingUi::messageBox(std::string_view title, std::string_view text) {
    m_messageBoxes.emplace_back(title, text);
}

void RecordingUi::plotCells(std::span<const std::complex<float>> cells, int, PlotColour colour) {
    m_plottedPoints = cells.size();
    m_plotColour = colour;
}

void RecordingUi::plotSoftValues(std::span<const float> softValues, PlotColour colour) {
    m_plottedPoints = softValues.size();
    m_plotColour = colour;
}

void RecordingUi::clearGauge(Gauge gauge) {
    switch (gauge) {
    case Gauge::Level:
        m_levelDb.reset();
        break;
    case Gauge::Snr:
        m_snrDb.reset();
        break;
    case Gauge::Afc:
        m_afcHz.reset();
        break;
    }
}

void RecordingUi::clearConstellation() {
    ++m_constellationClears;
    m_plottedPoints = 0;
    m_plotColour.reset();
}

void RecordingUi::addWaterfallRow(std::span<const std::uint32_t> rgb) { m_waterfallRows.emplace_back(rgb.begin(), rgb.end()); }

std::string RecordingUi::panelText(std::string_view key) const {
    const auto found = m_panels.find(key);
    return found == m_panels.end() ? std::string() : found->second.text;
}

std::string RecordingUi::panelIcon(std::string_view key) const {
    const auto found = m_panels.find(key);
    return found == m_panels.end() ? std::string() : found->second.icon;
}

std::string RecordingUi::panelTip(std::string_view key) const {
    const auto found = m_panels.find(key);
    return found == m_panels.end() ? std::string() : found->second.tip;
}

}  // namespace zolk::sim
