#include "shell/console_ui_sink.h"

#include <QTime>

#include "shell/meter_text.h"

namespace zolk::shell {

ConsoleUiSink::ConsoleUiSink(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

void ConsoleUiSink::setPanelText(std::string_view key, std::string_view text) {
    printChange("Panel " + std::string(key), text);
}

void ConsoleUiSink::setPanelIcon(std::string_view key, std::string_view icon) {
    printChange("Panel " + std::string(key) + " icon", icon.empty() ? "none" : icon);
}

void ConsoleUiSink::setPanelTip(std::string_view key, std::string_view tip) {
    printChange("Panel " + std::string(key) + " tip", tip);
}

void ConsoleUiSink::setCaption(std::string_view caption) { printChange("Caption", caption); }

void ConsoleUiSink::messageBox(std::string_view title, std::string_view text) {
    printTimedLine(m_err, std::string(title) + ": " + std::string(text));
}

void ConsoleUiSink::appendMonitor(std::string_view text) {
    // The monitor box breaks lines with CR LF; a console wants one log line per text line.
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            printTimedLine(m_out, "Monitor: " + line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) printTimedLine(m_out, "Monitor: " + line);
}

void ConsoleUiSink::clearMonitor() {}

void ConsoleUiSink::logLine(std::string_view line) { printTimedLine(m_err, line); }

void ConsoleUiSink::setMenuChecked(MenuItem, bool) {}
void ConsoleUiSink::setMenuEnabled(MenuItem, bool) {}
void ConsoleUiSink::setMenuVisible(MenuItem, bool) {}
void ConsoleUiSink::setMenuCaption(MenuItem, std::string_view) {}
void ConsoleUiSink::applyView(std::uint8_t) {}
void ConsoleUiSink::clearWaterfall() {}
void ConsoleUiSink::moveWindow(std::int32_t, std::int32_t) {}

void ConsoleUiSink::showSnr(float snrDb) { printTimedLine(m_out, snrText(snrDb)); }
void ConsoleUiSink::showAfc(float offsetHz) { printTimedLine(m_out, afcText(offsetHz)); }
void ConsoleUiSink::plotCells(std::span<const std::complex<float>>, int, PlotColour) {}
void ConsoleUiSink::plotSoftValues(std::span<const float>, PlotColour) {}
void ConsoleUiSink::showLevel(float) {}
void ConsoleUiSink::clearGauge(Gauge) {}
void ConsoleUiSink::clearConstellation() {}
void ConsoleUiSink::addWaterfallRow(std::span<const std::uint32_t>) {}

// The lamps flicker with every frame; a console has no use for them.
void ConsoleUiSink::setIndicator(TransmitIndicator, IndicatorColour) {}

// The chart's colour only says who sends, which the panels show already.
void ConsoleUiSink::resetSpeedChart(ChartColour) {}

void ConsoleUiSink::addSpeedChartPoint(int bitRate) {
    printTimedLine(m_out, bitRate > 0 ? "Speed: " + std::to_string(bitRate) + " bps" : "Speed: frame lost");
}

void ConsoleUiSink::showCalibration(const CalibrationView& view) {
    for (const std::string& line : calibrationReport(view)) printTimedLine(m_out, line);
}

void ConsoleUiSink::printChange(const std::string& what, std::string_view value) {
    // Everything starts out empty, so an empty first value is no change.
    std::string& shown = m_shown[what];
    if (shown == value) return;
    shown = std::string(value);
    printTimedLine(m_out, what + ": " + std::string(value));
}

void printTimedLine(std::FILE* stream, std::string_view line) {
    const QByteArray time = QTime::currentTime().toString("HH:mm:ss.zzz ").toLatin1();
    std::fwrite(time.constData(), 1, static_cast<std::size_t>(time.size()), stream);
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    // Another program may be reading the log as it is written.
    std::fflush(stream);
}

}  // namespace zolk::shell
