// ui_sink.h: everything the core shows the operator. The core writes, never reads back.
// The shell draws it (widgets, or log lines when headless); layout figures live in app/window_layout.h.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "ports/calibration_view.h"
#include "ports/transmitter_keying.h"

namespace zolk {

// The main window's menu items, under the two top menus "&Settings" and "&Help".
// Monitor is the submenu holding MonitorOn, MonitorOff and MonitorClear.
enum class MenuItem : std::uint8_t {
    Setup,          // mnuSetup
    SoundCard,      // mnuSoundCard
    Ptt,            // mnuPTT
    WaterfallOn,    // mnuWaterFallON
    WaterfallOff,   // mnuWaterFallOFF
    WaterfallAuto,  // mnuWaterFallAuto
    Calibrate,      // mnuCal
    ViewAll,        // mnuViewALL
    ViewWaterfall,  // mnuViewWaterfall
    ViewGauges,     // mnuViewGauges
    Log,            // mnuLog
    Monitor,        // mnuMonitor
    MonitorOn,      // mnuMonitorON
    MonitorOff,     // mnuMonitorOFF
    MonitorClear,   // mnuMonitorClear
    Guide,          // mnuGuide
    About,          // mnuAbout
};
inline constexpr std::size_t kMenuItemCount = 17;
// Colour of a frame's constellation: good frames take the S/N text box's current background
// (its rating colour), failed frames are drawn in white.
enum class PlotColour : std::uint8_t { SnrRating, White };
// Background of a transmit indicator box.
enum class IndicatorColour : std::uint8_t { White, Green, Red };
// Series colour of the speed chart: red while this station sends, green while it receives.
enum class ChartColour : std::uint8_t { Red, Green };
// Points the speed chart shows, oldest first.
inline constexpr std::size_t kSpeedChartPoints = 20;
// The gauges the core writes; the CPU gauge measures the shell's own process and is the shell's.
enum class Gauge : std::uint8_t { Level, Snr, Afc };
// Columns of a waterfall row: the 3000 Hz band in 1024 bins, lowest frequency first.
inline constexpr std::size_t kWaterfallColumns = 1024;

class UiSink {
public:
    virtual ~UiSink() = default;
    // Status-bar panels by key ("PTT", "Indicativos", "Baud", "Bytes", "Public", "Listen", "TCP",
    // "Busy"); icon is an image-list key ("LedVerde", "LedRojo", ...) or empty for none.
    virtual void setPanelText(std::string_view key, std::string_view text) = 0;
    virtual void setPanelIcon(std::string_view key, std::string_view icon) = 0;
    virtual void setPanelTip(std::string_view key, std::string_view tip) = 0;
    virtual void setCaption(std::string_view caption) = 0;
    // A modal message box in the desktop shell, a log line when headless.
    virtual void messageBox(std::string_view title, std::string_view text) = 0;
    virtual void appendMonitor(std::string_view text) = 0;
    virtual void clearMonitor() = 0;
    // A line for the operator that needs no answer (a device that is missing, a file that could
    // not be written): the program's log in the desktop shell, stderr when headless.
    virtual void logLine(std::string_view line) = 0;

    virtual void setMenuChecked(MenuItem item, bool checked) = 0;
    virtual void setMenuEnabled(MenuItem item, bool enabled) = 0;
    virtual void setMenuVisible(MenuItem item, bool visible) = 0;
    virtual void setMenuCaption(MenuItem item, std::string_view caption) = 0;

    // ViewMode 1..3; the shell places its widgets with viewLayout() and indicatorTops().
    virtual void applyView(std::uint8_t viewMode) = 0;
    virtual void clearWaterfall() = 0;
    virtual void moveWindow(std::int32_t topTwips, std::int32_t leftTwips) = 0;

    // Gauges written by frame acceptance: S/N of the last frame (2500 Hz bandwidth) and the AFC
    // offset (the caller passes minus the receive correction).
    virtual void showSnr(float snrDb) = 0;
    virtual void showAfc(float offsetHz) = 0;
    // The audio input level in dB (0 at full scale) on the level gauge.
    virtual void showLevel(float levelDb) = 0;
    // A gauge back to its empty picture: no needle, an empty text box in the neutral colour.
    virtual void clearGauge(Gauge gauge) = 0;
    // The last frame's constellation: family-1 cells (with the mode's bits per cell) or family-2
    // soft values. Each plot replaces the previous one.
    virtual void plotCells(std::span<const std::complex<float>> cells, int bitsPerCell, PlotColour colour) = 0;
    virtual void plotSoftValues(std::span<const float> softValues, PlotColour colour) = 0;
    // The constellation back to its empty picture.
    virtual void clearConstellation() = 0;
    // A new top row of the waterfall, kWaterfallColumns colours 0xRRGGBB; the older rows move down
    // by one.
    virtual void addWaterfallRow(std::span<const std::uint32_t> rgb) = 0;
    // One of the seven transmit indicator boxes (txtData ... txtQRT).
    virtual void setIndicator(TransmitIndicator which, IndicatorColour colour) = 0;
    // The speed chart: every point back to 0 in the given series colour, or one point appended (the
    // net bit rate of a frame sent or received, 0 for a lost one), the oldest dropped beyond
    // kSpeedChartPoints.
    virtual void resetSpeedChart(ChartColour colour) = 0;
    virtual void addSpeedChartPoint(int bitRate) = 0;
    // The link calibration: a ping under way, its result, or that no reply came.
    virtual void showCalibration(const CalibrationView& view) = 0;
};

}  // namespace zolk
