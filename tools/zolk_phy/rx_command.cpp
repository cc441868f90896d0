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

#include "phy/common/mode_table.h"
#include "phy/common/tables_file.h"
#include "rx_rig.h"
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

}  // namespace

int runRx(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    if (wantsControl(args)) return runControlRx(args, out, err);
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

        int good = 0;
        int detected = 0;
        const RxRigOptions rigOptions{options.mode, options.framesPerBurst, options.monitor};
        auto rig = std::make_unique<RxRig>(*load.tables, rigOptions, [&](const FrameVerdict& v) {
            ++detected;
            if (v.good) ++good;
            const std::size_t n = v.bytes.size();
            char crc[5] = "0000";
            if (n >= 2) std::snprintf(crc, sizeof crc, "%02x%02x", v.bytes[n - 2], v.bytes[n - 1]);
            out << "frame=" << detected << " mode=" << v.mode << " crc=" << (v.good ? "ok" : "fail")
                << std::fixed << std::setprecision(1) << " snr=" << v.snrDb << std::setprecision(2)
                << " shift=" << v.shiftHz << " bytes=" << payloadLength(v.bytes) << " crc16=" << crc
                << '\n';
        });
        AudioBlock block{};
        for (;;) {
            const std::size_t n = wav.read(block);
            if (n == 0) break;
            std::fill(block.begin() + static_cast<std::ptrdiff_t>(n), block.end(), 0.0f);
            rig->capture(block);
        }
        // Enough silence after the file for a frame that ends with it to be confirmed and decoded.
        block.fill(0.0f);
        for (int i = 0; i < 3 * 375; ++i) rig->capture(block);
        out << "frames_ok=" << good << '/' << detected << '\n';
        return 0;
    } catch (const std::exception& e) {
        err << "zolk-phy rx: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace zolk::phytool
