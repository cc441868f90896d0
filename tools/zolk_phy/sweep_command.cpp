// zolk-phy sweep: frame success against S/N for one mode: N transmissions per S/N point from the
// transmit rig through the channel model into a receiving station, then the S/N where success
// first reaches 90 %.
#include <charconv>
#include <cmath>
#include <iomanip>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "parse_number.h"
#include "phy/common/mode_table.h"
#include "phy/common/tables_file.h"
#include "phy_trial.h"
#include "subcommands.h"

namespace zolk::phytool {
namespace {

using toolcommon::parseNumber;

struct BadArguments : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SweepOptions {
    int mode = -1;
    double fromDb = 0.0;
    double toDb = 0.0;
    double stepDb = 0.0;
    bool haveSnr = false;
    int frames = 0;
    sim::ChannelSettings channel;
    std::uint64_t seed = 1;
    std::string tables;
};

// "A:B:C" or "A,B" into its numbers.
std::vector<double> parseList(std::string_view text, char separator, std::size_t count, std::string_view what) {
    std::vector<double> values;
    for (std::size_t start = 0; values.size() < count;) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        const auto v = parseNumber<double>(text.substr(start, end - start));
        if (!v || (end == text.size()) != (values.size() + 1 == count)) {
            throw BadArguments(std::string(what) + ", not \"" + std::string(text) + "\"");
        }
        values.push_back(*v);
        start = end + 1;
    }
    return values;
}

SweepOptions parseOptions(std::span<const std::string_view> args) {
    SweepOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        const auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) throw BadArguments(std::string(name) + " needs a value");
            return args[++i];
        };
        const auto real = [&](std::string_view what) {
            const std::string_view v = value();
            const auto number = parseNumber<double>(v);
            if (!number) throw BadArguments(std::string(what) + " must be a number, not \"" + std::string(v) + "\"");
            return *number;
        };
        if (name == "--mode") {
            const std::string_view v = value();
            const auto mode = parseNumber<int>(v);
            if (!mode || *mode < 0 || *mode >= kModeCount) {
                throw BadArguments("unknown mode \"" + std::string(v) + "\" (modes are 0..14)");
            }
            o.mode = *mode;
        } else if (name == "--snr") {
            const auto v = parseList(value(), ':', 3, "--snr must be FROM:TO:STEP in dB");
            o.fromDb = v[0];
            o.toDb = v[1];
            o.stepDb = v[2];
            if (!(o.stepDb > 0.0) || o.toDb < o.fromDb || (o.toDb - o.fromDb) / o.stepDb > 1000.0) {
                throw BadArguments("--snr needs FROM <= TO and a positive STEP giving at most 1000 points");
            }
            o.haveSnr = true;
        } else if (name == "--frames") {
            const std::string_view v = value();
            const auto frames = parseNumber<int>(v);
            if (!frames || *frames < 1 || *frames > 100000) {
                throw BadArguments("--frames must be a whole number 1..100000, not \"" + std::string(v) + "\"");
            }
            o.frames = *frames;
        } else if (name == "--offset") {
            o.channel.offsetHz = real("--offset");
        } else if (name == "--drift") {
            o.channel.driftHzPerS = real("--drift");
        } else if (name == "--ppm") {
            o.channel.clockPpm = real("--ppm");
        } else if (name == "--fading") {
            const auto v = parseList(value(), ',', 2, "--fading must be SPREAD_HZ,DELAY_MS");
            o.channel.fading = sim::FadingSettings{.spreadHz = v[0], .delayMs = v[1]};
        } else if (name == "--seed") {
            const std::string_view v = value();
            const auto seed = parseNumber<std::uint64_t>(v);
            if (!seed) throw BadArguments("--seed must be a whole number, not \"" + std::string(v) + "\"");
            o.seed = *seed;
        } else if (name == "--tables") {
            o.tables = value();
        } else {
            throw BadArguments("unknown option \"" + std::string(name) + "\"");
        }
    }
    if (o.mode < 0) throw BadArguments("--mode is required");
    if (!o.haveSnr) throw BadArguments("--snr FROM:TO:STEP is required");
    if (o.frames == 0) throw BadArguments("--frames is required");
    // The channel refuses what is out of its range; say so before any audio is made.
    try {
        sim::ChannelModel probe(o.channel);
    } catch (const std::invalid_argument& e) {
        throw BadArguments(e.what());
    }
    return o;
}

int run(const SweepOptions& o, std::ostream& out) {
    const std::optional<std::filesystem::path> given =
        o.tables.empty() ? std::nullopt : std::optional<std::filesystem::path>(o.tables);
    const TablesFileLoad load = loadTablesFile(locateTablesFile(given, executableDir()));
    if (load.error != TablesFileError::None) throw std::runtime_error(load.message);
    PhyTrial trial(*load.tables, o.mode);
    std::optional<double> first90;
    const auto points = static_cast<int>(std::floor((o.toDb - o.fromDb) / o.stepDb + 1e-9)) + 1;
    out << std::fixed;
    for (int p = 0; p < points; ++p) {
        const double snr = o.fromDb + p * o.stepDb;
        int ok = 0;
        double estimates = 0.0;
        int estimateCount = 0;
        for (int f = 0; f < o.frames; ++f) {
            sim::ChannelSettings channel = o.channel;
            channel.snrDb = snr;
            channel.seed = trialSeed(o.seed, static_cast<std::uint64_t>(p), static_cast<std::uint64_t>(f), 1);
            const PhyTrialResult r = trial.run(channel, trialSeed(o.seed, static_cast<std::uint64_t>(p), static_cast<std::uint64_t>(f), 2));
            if (!r.ok) continue;
            ++ok;
            if (r.snrEstimateDb) {
                estimates += *r.snrEstimateDb;
                ++estimateCount;
            }
        }
        out << "mode=" << o.mode << " snr=" << std::setprecision(1) << snr << " ok=" << ok << '/' << o.frames
            << " est_snr=";
        if (estimateCount > 0) {
            out << estimates / estimateCount;
        } else {
            out << "none";
        }
        out << '\n' << std::flush;
        if (!first90 && 10 * ok >= 9 * o.frames) first90 = snr;
    }
    if (first90) {
        out << "snr90=" << std::setprecision(1) << *first90 << '\n';
    } else {
        out << "snr90=none (success stayed below 90 %)\n";
    }
    return 0;
}

}  // namespace

int runSweep(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    SweepOptions options;
    try {
        options = parseOptions(args);
    } catch (const BadArguments& e) {
        err << "zolk-phy sweep: " << e.what() << '\n';
        return 2;
    }
    try {
        return run(options, out);
    } catch (const std::exception& e) {
        err << "zolk-phy sweep: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace zolk::phytool
