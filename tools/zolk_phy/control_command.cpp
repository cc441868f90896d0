// zolk-phy tx --control / rx --control: control frames to a WAV file and found in one. The
// patterns are those of the link with the called station (--call): codes 1..21 and Call1 from its
// call sign, Call2..Call5 from the own call signs given with --mycall (slots 2..5).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "control_rig.h"
#include "phy/common/call_sign.h"
#include "phy/common/tables_file.h"
#include "session/control_codes.h"
#include "subcommands.h"
#include "tx_rig.h"
#include "wav_reader.h"
#include "wav_writer.h"

namespace zolk::phytool {
namespace {

struct BadInput : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ControlOptions {
    std::vector<ControlCode> codes;  // tx: sent in order; rx: listened for (all when empty)
    std::string call;
    std::vector<std::string> myCalls;
    bool idleSeed = false;
    bool wide = false;
    bool leadInTone = false;
    int count = 1;
    double gapS = 1.0;
    int driveDb = -5;
    std::string file;
    std::string tables;
};

std::vector<ControlCode> parseCodes(std::string_view list) {
    std::vector<ControlCode> codes;
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        const std::string_view item = list.substr(start, comma == std::string_view::npos ? list.npos : comma - start);
        const auto code = parseControlCode(item);
        if (!code) throw BadInput("unknown control code \"" + std::string(item) + "\" (1..26 or a name such as Ack, Call1)");
        codes.push_back(*code);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return codes;
}

ControlOptions parseOptions(std::span<const std::string_view> args, bool transmit) {
    ControlOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        const auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) throw BadInput(std::string(name) + " needs a value");
            return args[++i];
        };
        const auto number = [&](std::string_view text, double low, double high) {
            double v = 0.0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
            if (error != std::errc{} || end != text.data() + text.size() || !(v >= low && v <= high)) {
                throw BadInput(std::string(name) + " must be a number " + std::to_string(int(low)) + ".." +
                               std::to_string(int(high)) + ", not \"" + std::string(text) + "\"");
            }
            return v;
        };
        if (name == "--control") {
            // rx takes the set as an optional list: every code when none follows.
            if (transmit || (i + 1 < args.size() && !args[i + 1].starts_with("--"))) o.codes = parseCodes(value());
        } else if (name == "--call") {
            o.call = upperAscii(value());
            if (o.call.empty() || !callSignValid(o.call)) throw BadInput("not a call sign: \"" + o.call + "\"");
        } else if (name == "--mycall") {
            const std::string call = upperAscii(value());
            if (call.empty() || !callSignValid(call)) throw BadInput("not a call sign: \"" + call + "\"");
            if (o.myCalls.size() == 4) throw BadInput("at most four --mycall (own slots 2..5)");
            o.myCalls.push_back(call);
        } else if (name == "--code-seed") {
            const std::string_view v = value();
            if (v != "idle" && v != "call") throw BadInput("--code-seed is idle or call, not \"" + std::string(v) + "\"");
            o.idleSeed = v == "idle";
        } else if (name == "--wide" && !transmit) {
            o.wide = true;
        } else if (name == "--lead-in-tone" && transmit) {
            o.leadInTone = true;
        } else if (name == "--count" && transmit) {
            o.count = static_cast<int>(number(value(), 1, 1000));
        } else if (name == "--gap" && transmit) {
            o.gapS = number(value(), 0, 3600);
        } else if (name == "--drive" && transmit) {
            o.driveDb = static_cast<int>(number(value(), -30, 0));
        } else if (name == (transmit ? "--out" : "--in")) {
            o.file = value();
        } else if (name == "--tables" && transmit) {
            o.tables = value();
        } else {
            throw BadInput("unknown option \"" + std::string(name) + "\"");
        }
    }
    if (o.call.empty()) throw BadInput("--call is required with --control");
    if (o.file.empty()) throw BadInput(transmit ? "--out is required" : "--in is required");
    return o;
}

// The drawing of the link with --call: as the calling station draws it (codes 1..21 and Call1 from
// the called call sign), or with --code-seed idle codes 1..21 as a station without a link.
ControlPatternTable drawPatterns(const ControlOptions& o) {
    CallSlotSeeds slots{};
    slots[0] = callSeed(o.call);
    for (std::size_t k = 0; k < o.myCalls.size(); ++k) slots[k + 1] = callSeed(o.myCalls[k]);
    RandomSource random;
    ControlPatternTable table;
    buildPatterns(random, o.idleSeed ? 0 : callSeed(o.call), slots, !o.idleSeed, table);
    return table;
}

std::vector<std::uint8_t> numbersOf(const std::vector<ControlCode>& codes) {
    std::vector<std::uint8_t> numbers;
    for (int n = 1; n <= kControlCodeCount; ++n) {
        const bool wanted = codes.empty() || std::find(codes.begin(), codes.end(), ControlCode(n)) != codes.end();
        if (wanted) numbers.push_back(static_cast<std::uint8_t>(n));
    }
    return numbers;
}

int transmit(const ControlOptions& o, std::ostream& out) {
    const std::optional<std::filesystem::path> given =
        o.tables.empty() ? std::nullopt : std::optional<std::filesystem::path>(o.tables);
    const TablesFileLoad load = loadTablesFile(locateTablesFile(given, executableDir()));
    if (load.error != TablesFileError::None) throw std::runtime_error(load.message);
    const ControlPatternTable table = drawPatterns(o);
    TxRig rig(*load.tables, static_cast<std::int16_t>(o.driveDb));
    WavWriter wav(o.file, WavReader::kSampleRateHz);
    const auto gap = static_cast<std::size_t>(std::llround(o.gapS * WavReader::kSampleRateHz));
    int sent = 0;
    for (int t = 0; t < o.count; ++t) {
        for (const ControlCode code : o.codes) {
            if (sent++ > 0) wav.writeSilence(gap);
            out << "control " << sent << ": " << controlCodeName(code) << " (" << codeNumber(code) << ") at "
                << std::fixed << std::setprecision(3) << static_cast<double>(wav.sampleCount()) / 48000.0 << " s\n";
            rig.transmitControl(table, codeNumber(code), o.leadInTone && sent == 1,
                                [&](std::span<const std::int16_t> samples) { wav.write(samples); });
        }
    }
    wav.finish();
    out << "wrote " << o.file << ": " << wav.sampleCount() << " samples\n";
    return 0;
}

int receive(const ControlOptions& o, std::ostream& out) {
    WavReader wav(o.file);
    const ControlPatternTable table = drawPatterns(o);
    int found = 0;
    ControlRig rig(table, numbersOf(o.codes), o.wide ? ControlSearch::Wide : ControlSearch::Narrow,
                   [&](const ControlDetection& d, std::int64_t endSample) {
                       ++found;
                       const double start = static_cast<double>(endSample - kControlSymbols * 64) / 3000.0;
                       out << "control=" << found << " code=" << int(d.code) << " name="
                           << controlCodeName(ControlCode(d.code)) << std::fixed << std::setprecision(3)
                           << " time=" << start << std::setprecision(2) << " coarse_hz=" << d.coarseOffset * 23.4375
                           << " fine_hz=" << d.fineOffsetHz << " hits=" << int(d.hits)
                           << " afcHz=" << d.receiveFrequencyOffsetHz << '\n';
                   });
    AudioBlock block{};
    for (;;) {
        const std::size_t n = wav.read(block);
        if (n == 0) break;
        std::fill(block.begin() + static_cast<std::ptrdiff_t>(n), block.end(), 0.0f);
        rig.capture(block);
    }
    // A frame at the very end is reported after the countdown: a little silence after the file.
    block.fill(0.0f);
    for (int i = 0; i < 40; ++i) rig.capture(block);
    out << "controls=" << found << '\n';
    return 0;
}

}  // namespace

bool wantsControl(std::span<const std::string_view> args) {
    return std::find(args.begin(), args.end(), std::string_view("--control")) != args.end();
}

int runControlTx(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    ControlOptions o;
    try {
        o = parseOptions(args, true);
    } catch (const BadInput& e) {
        err << "zolk-phy tx: " << e.what() << '\n';
        return 2;
    }
    try {
        return transmit(o, out);
    } catch (const std::exception& e) {
        err << "zolk-phy tx: " << e.what() << '\n';
        return 1;
    }
}

int runControlRx(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    ControlOptions o;
    try {
        o = parseOptions(args, false);
    } catch (const BadInput& e) {
        err << "zolk-phy rx: " << e.what() << '\n';
        return 2;
    }
    try {
        return receive(o, out);
    } catch (const std::exception& e) {
        err << "zolk-phy rx: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace zolk::phytool
