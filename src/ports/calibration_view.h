// calibration_view.h: what the link calibration shows the operator (the "SAT Link Calibration"
// window, or lines when headless): a ping under way, the shifts and the time it measured, or that
// no reply came. Plain data and its wording; the session fills it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zolk {

// A result's background: green is good, yellow far off, red too far off.
enum class CalibrationColour : std::uint8_t { Green, Yellow, Red };

enum class CalibrationStatus : std::uint8_t {
    SendingPing,  // "Sending ping..." shown, the result and the no-signal image hidden
    Result,       // the three result lines shown
    NoReply,      // the no-signal image shown
    Closed,       // a link or call starts: the calibration window closes, nothing is shown
};

struct CalibrationView {
    CalibrationStatus status = CalibrationStatus::SendingPing;
    int txShiftHz = 0;  // how far to move the own transmit frequency
    int rxShiftHz = 0;  // the frequency at which the reply was heard
    int pingMs = 0;     // round trip beyond the reply's lead-in
    CalibrationColour txColour = CalibrationColour::Green;
    CalibrationColour rxColour = CalibrationColour::Green;
    CalibrationColour pingColour = CalibrationColour::Green;
};

inline constexpr const char* kSendingPingText = "Sending ping...";

// "TX Shift: -47 Hz", "RX Shift: 12 Hz", "Ping: 523 ms".
inline std::array<std::string, 3> calibrationLines(const CalibrationView& view) {
    return {"TX Shift: " + std::to_string(view.txShiftHz) + " Hz",
            "RX Shift: " + std::to_string(view.rxShiftHz) + " Hz", "Ping: " + std::to_string(view.pingMs) + " ms"};
}

inline const char* calibrationColourName(CalibrationColour colour) {
    switch (colour) {
        case CalibrationColour::Green: return "green";
        case CalibrationColour::Yellow: return "yellow";
        case CalibrationColour::Red: return "red";
    }
    return "";
}

// The view as text lines for a console or a log: "Calibration: Sending ping...", one line per
// result with its colour ("Calibration: TX Shift: -47 Hz (green)"), or "Calibration: no reply";
// no line when the window closes.
inline std::vector<std::string> calibrationReport(const CalibrationView& view) {
    const std::string prefix = "Calibration: ";
    switch (view.status) {
        case CalibrationStatus::SendingPing: return {prefix + kSendingPingText};
        case CalibrationStatus::NoReply: return {prefix + "no reply"};
        case CalibrationStatus::Closed: return {};
        case CalibrationStatus::Result: break;
    }
    const auto lines = calibrationLines(view);
    const std::array colours{view.txColour, view.rxColour, view.pingColour};
    std::vector<std::string> report;
    for (std::size_t i = 0; i < lines.size(); ++i)
        report.push_back(prefix + lines[i] + " (" + calibrationColourName(colours[i]) + ")");
    return report;
}

}  // namespace zolk
