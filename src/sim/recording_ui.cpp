#include "sim/recording_ui.h"

#include <array>

namespace zolk::sim {

namespace {

const char* colourName(PlotColour colour) { return colour == PlotColour::White ? "white" : "rating"; }

constexpr std::array<const char*, 3> kGaugeNames{"level", "snr", "afc"};

}  // namespace

void RecordingUi::keepCall(std::string line) {
    if (m_keepCalls) m_calls.push_back(std::move(line));
}

void RecordingUi::setPanelText(std::string_view key, std::string_view text) {
    m_panels[std::string(key)].text = text;
    keepCall(std::string(key) + " " + std::string(text));
}

void RecordingUi::setPanelIcon(std::string_view key, std::string_view icon) {
    m_panels[std::string(key)].icon = icon;
    keepCall(std::string(key) + " icon " + std::string(icon));
}

void RecordingUi::setPanelTip(std::string_view key, std::string_view tip) {
    m_panels[std::string(key)].tip = tip;
    keepCall(std::string(key) + " tip " + std::string(tip));
}

void RecordingUi::messageBox(std::string_view title, std::string_view text) {
    m_messageBoxes.emplace_back(title, text);
}

void RecordingUi::showSnr(float snrDb) {
    m_snrDb = snrDb;
    keepCall("snr " + std::to_string(snrDb));
}

void RecordingUi::showAfc(float offsetHz) {
    m_afcHz = offsetHz;
    keepCall("afc " + std::to_string(offsetHz));
}

void RecordingUi::showLevel(float levelDb) {
    m_levelDb = levelDb;
    keepCall("level " + std::to_string(levelDb));
}

void RecordingUi::plotCells(std::span<const std::complex<float>> cells, int bits, PlotColour colour) {
    m_plottedPoints = cells.size();
    m_plotColour = colour;
    keepCall("cells " + std::to_string(cells.size()) + "/" + std::to_string(bits) + "/" + colourName(colour));
}

void RecordingUi::plotSoftValues(std::span<const float> softValues, PlotColour colour) {
    m_plottedPoints = softValues.size();
    m_plotColour = colour;
    keepCall("soft " + std::to_string(softValues.size()) + "/" + colourName(colour));
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
    keepCall(std::string("clear ") + kGaugeNames[static_cast<std::size_t>(gauge)]);
}

void RecordingUi::clearConstellation() {
    ++m_constellationClears;
    m_plottedPoints = 0;
    m_plotColour.reset();
    keepCall("clear constellation");
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
