// zolk-phy rx: decodes the data frames of a WAV file as a station hears them: single-mode reception
// of one mode (state Receiving, or Answering for mode 0) or monitor mode over all modes.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "phy/common/drawn_tables.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/rx/receive_chain.h"
#include "phy/rx/receive_front_end.h"
#include "subcommands.h"
#include "wav_reader.h"

namespace zolk::phytool {
namespace {

struct BadArguments : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct RxOptions {
    int mode = -1;
    std::string in;
    int framesPerBurst = 1;
    bool monitor = false;
    std::string tables;
};

RxOptions parseOptions(std::span<const std::string_view> args) {
    RxOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        const auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) throw BadArguments(std::string(name) + " needs a value");
            return args[++i];
        };
        const auto number = [](std::string_view text) -> std::optional<int> {
            int v = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
            if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
            return v;
        };
        if (name == "--mode") {
            const std::string_view v = value();
            const auto mode = number(v);
            if (!mode || *mode < 0 || *mode >= kModeCount) {
                throw BadArguments("unknown mode \"" + std::string(v) + "\" (modes are 0..14)");
            }
            o.mode = *mode;
        } else if (name == "--in") {
            o.in = value();
        } else if (name == "--frames") {
            const std::string_view v = value();
            const auto frames = number(v);
            if (!frames || (*frames != 1 && *frames != 2)) {
                throw BadArguments("--frames must be 1 or 2, not \"" + std::string(v) + "\"");
            }
            o.framesPerBurst = *frames;
        } else if (name == "--monitor") {
            o.monitor = true;
        } else if (name == "--tables") {
            o.tables = value();
        } else {
            throw BadArguments("unknown option \"" + std::string(name) + "\"");
        }
    }
    if (o.in.empty()) throw BadArguments("--in is required");
    if (o.mode < 0 && !o.monitor) throw BadArguments("--mode is required (or --monitor)");
    if (o.monitor && o.framesPerBurst != 1) throw BadArguments("--frames does not apply to --monitor");
    return o;
}

// Payload length of a data frame: UserBytes when the header's bit 0 says the payload fills the
// frame, else the offset of the last terminator 0x14 before the header byte (0 when there is none).
std::size_t payloadLength(std::span<const std::uint8_t> frame) {
    if (frame.size() < 3) return 0;
    const std::size_t userBytes = frame.size() - 3;
    if ((frame[userBytes] & 0x01) != 0) return userBytes;
    for (std::size_t i = userBytes; i-- > 0;) {
        if (frame[i] == 0x14) return i;
    }
    return 0;
}

// What a station around the receive chain does in single-mode reception or monitor mode: the
// session tick's frame timing (frameTicks, checkpoints, the search windows of a two-frame burst)
// and nothing else. Displays and timers are not shown.
class RxStation final : public FrontEndClient, public ReceiveChainSession, public UiSink, public TimerPort {
public:
    RxStation(const RxOptions& options, const TablesFile& tables, std::ostream& out)
        : m_options(options),
          m_out(out),
          m_drawn(m_random),
          m_frontEnd(m_drawn, *this),
          m_chain(m_frontEnd, tables, m_drawn, *this, *this, *this),
          m_mode(options.monitor ? 1 : options.mode) {}

    // One capture block. Digital silence stands for the station's own transmission: the first
    // sound after it restarts stateTicks, as the end of an own transmission does.
    void capture(std::span<const float, kAudioBlockLength> block) {
        const bool silent = std::all_of(block.begin(), block.end(), [](float x) { return x == 0.0f; });
        if (!silent && m_silent) m_stateTicks = 0;
        m_silent = silent;
        m_frontEnd.processCaptureBlock(block);
    }

    int good() const { return m_good; }
    int detected() const { return m_detected; }

    // FrontEndClient
    ReceiveConditions receiveConditions() const override {
        ReceiveConditions c;
        c.MonitorMode = m_options.monitor;
        c.sessionActive = !m_options.monitor;
        c.frameReception = !m_options.monitor;
        c.narrowSpectrogram = !m_options.monitor && m_mode != 0;  // Receiving; Answering in mode 0
        c.ModeIndex = static_cast<std::uint8_t>(m_mode);
        c.WaterfallMode = 0;
        return c;
    }
    void busySample(Complex) override {}
    void waterfallSample(Complex) override {}
    void sessionTick() override { m_options.monitor ? monitorTick() : receivingTick(); }

    // ReceiveChainSession
    std::uint8_t framesPerBurst() const override { return static_cast<std::uint8_t>(m_options.framesPerBurst); }
    bool monitorMode() const override { return m_options.monitor; }
    void clearFrameTicks() override { m_frameTicks = 0; }
    std::int32_t stateTicks() const override { return m_stateTicks; }
    void startStagedDecode() override { m_frameTicks = 1; }
    void onFirstFrame(std::span<const std::uint8_t>, float) override {}
    void onFrame(std::span<const std::uint8_t>, float) override { m_frameTicks = 0; }
    void onFirstFrameFailed() override {}
    void onMissingFrame() override { m_frameTicks = 0; }
    bool onMonitorFrame(std::span<const std::uint8_t>, int) override { return false; }

    // UiSink and TimerPort: nothing is shown, nothing is timed.
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
    void plotCells(std::span<const Complex>, int, PlotColour) override {}
    void plotSoftValues(std::span<const float>, PlotColour) override {}
    void start(TimerId, std::chrono::milliseconds) override {}
    void stop(TimerId) override {}

private:
    // Runs the stage due at this frameTicks value, if any.
    void stagedDecode() {
        ++m_frameTicks;
        const auto& checkpoints = modeRecord(m_mode).Checkpoints;
        for (int i = 1; i <= kCheckpointCount; ++i) {
            if (m_frameTicks == checkpoints[static_cast<std::size_t>(i - 1)]) {
                if (auto verdict = m_chain.decodeStage(i)) report(*verdict);
                break;
            }
        }
    }

    void receivingTick() {
        if (m_frameTicks >= 1) stagedDecode();
        ++m_stateTicks;
        const ModeRecord& r = modeRecord(m_mode);
        const int frameTicks = r.FrameLengthUnits;
        // Deadline of a burst's second frame: the first frame plus three symbols.
        const int deadline = frameTicks + 3 * r.GuardEighths * r.BinGroups;
        if (m_options.framesPerBurst == 2 && m_frameTicks == deadline) m_frameTicks = 0;
        if (!m_frontEnd.newFrameFlag(1)) return;
        const bool searching = m_frameTicks == 0 || (m_options.framesPerBurst == 2 && m_frameTicks > frameTicks - 180);
        if (!searching) return;
        const SearchResult result = m_chain.search(m_mode, 1);
        if (result.verdict) report(*result.verdict);
    }

    void monitorTick() {
        if (m_frameTicks >= 1) {
            m_mode = m_chain.detectedMode();
            stagedDecode();
            return;
        }
        for (int m = 1; m < kModeCount; ++m) {
            if (!m_frontEnd.newFrameFlag(static_cast<std::size_t>(m))) continue;
            m_mode = m;
            m_chain.search(m, m);
        }
    }

    void report(const FrameVerdict& v) {
        ++m_detected;
        if (v.good) ++m_good;
        // A failed frame in monitor mode leaves frameTicks running; scanning resumes here.
        if (m_options.monitor) m_frameTicks = 0;
        const int mode = m_options.monitor ? m_chain.detectedMode() : m_mode;
        const std::size_t n = v.bytes.size();
        char crc[5] = "0000";
        if (n >= 2) std::snprintf(crc, sizeof crc, "%02x%02x", v.bytes[n - 2], v.bytes[n - 1]);
        m_out << "frame=" << m_detected << " mode=" << mode << " crc=" << (v.good ? "ok" : "fail") << std::fixed
              << std::setprecision(1) << " snr=" << v.snr_db << std::setprecision(2) << " shift=" << v.shift_hz
              << " bytes=" << payloadLength(v.bytes) << " crc16=" << crc << '\n';
    }

    RxOptions m_options;
    std::ostream& m_out;
    RandomSource m_random;
    DrawnTables m_drawn;
    ReceiveFrontEnd m_frontEnd;
    ReceiveChain m_chain;
    int m_mode;
    std::int32_t m_frameTicks = 0;
    std::int32_t m_stateTicks = 0;
    bool m_silent = false;
    int m_good = 0;
    int m_detected = 0;
};

std::filesystem::path executableDir() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : self.parent_path();
}

}  // namespace

int runRx(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    RxOptions options;
    try {
        options = parseOptions(args);
    } catch (const BadArguments& e) {
        err << "zolk-phy rx: " << e.what() << '\n';
        return 2;
    }
    try {
        WavReader wav(options.in);
        const std::optional<std::filesystem::path> given =
            options.tables.empty() ? std::nullopt : std::optional<std::filesystem::path>(options.tables);
        const TablesFileLoad load = loadTablesFile(locateTablesFile(given, executableDir()));
        if (load.error != TablesFileError::None) throw std::runtime_error(load.message);

        auto station = std::make_unique<RxStation>(options, *load.tables, out);
        AudioBlock block{};
        for (;;) {
            const std::size_t n = wav.read(block);
            if (n == 0) break;
            std::fill(block.begin() + static_cast<std::ptrdiff_t>(n), block.end(), 0.0f);
            station->capture(block);
        }
        // Enough silence after the file for a frame that ends with it to be confirmed and decoded.
        block.fill(0.0f);
        for (int i = 0; i < 3 * 375; ++i) station->capture(block);
        out << "frames_ok=" << station->good() << '/' << station->detected() << '\n';
        return 0;
    } catch (const std::exception& e) {
        err << "zolk-phy rx: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace zolk::phytool
