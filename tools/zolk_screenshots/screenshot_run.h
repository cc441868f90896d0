// screenshot_run.h: the operator's window of a receiving station during a simulated link, for
// pictures. Station A's host hands over bytes and calls B; B draws on a real MainWindow (shown on
// whatever Qt platform runs, offscreen for pictures). Everything runs in virtual time from fixed
// seeds, so the same phases give the same pictures. Owns the window and the station pair.
#pragma once

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "shell/main_window.h"
#include "sim/station_pair.h"

namespace zolk::screenshots {

struct ScreenshotLink {
    std::uint64_t seed = 16;
    double offsetHz = 20.0;     // how far off frequency A is heard, so the AFC gauge has work
    double startSnrDb = -5.0;   // until the first phase sets its own
    std::size_t bytes = 400000;  // more than any run sends, so the link never runs dry
    double connectLimitS = 60.0;
};

// When a phase takes its picture: just after B, receiving, decoded a frame (the constellation,
// gauges and the green chart show it), or a little later, once B keys up to answer that frame (the
// constellation and S/N still show it, a transmit lamp and the PTT panel are lit, the level gauge
// rests while B transmits).
enum class Moment : std::uint8_t { Decoded, Answering };

// What a phase ended on: the picture and the mode the window showed.
struct Screenshot {
    QImage picture;
    double timeS = 0.0;       // virtual seconds since the pair was built
    std::string speedText;    // the window's speed panel
};

class ScreenshotRun {
public:
    // Throws std::runtime_error when the link does not come up within link.connectLimitS.
    ScreenshotRun(const std::filesystem::path& folder, const ScreenshotLink& link);
    ScreenshotRun(const ScreenshotRun&) = delete;
    ScreenshotRun& operator=(const ScreenshotRun&) = delete;

    // Sets the path's S/N both ways, runs seconds, then on until the moment, and takes the window's
    // picture. Throws std::runtime_error when the moment does not come within a minute after that.
    Screenshot phase(double snrDb, double seconds, Moment moment);

    const shell::MainWindow& window() const { return *m_window; }

private:
    // Declared first, so it outlives the pair: the station draws on it until it is gone.
    std::unique_ptr<shell::MainWindow> m_window;
    std::unique_ptr<sim::StationPair> m_pair;
};

}  // namespace zolk::screenshots
