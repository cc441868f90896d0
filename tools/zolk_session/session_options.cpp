#include "session_options.h"

#include <string>

#include "parse_number.h"
#include "sim/channel_model.h"

namespace zolk::sessiontool {
namespace {

using toolcommon::parseNumber;

constexpr std::size_t kMaxBytes = 10'000'000;

template <typename T>
T number(std::string_view option, std::string_view text, std::string_view what) {
    const auto value = parseNumber<T>(text);
    if (!value) throw BadArguments(std::string(option) + " must be " + std::string(what) + ", not \"" + std::string(text) + "\"");
    return *value;
}

std::size_t byteCount(std::string_view text) {
    const auto n = number<std::size_t>("--bytes", text, "one or two whole numbers N[,M]");
    if (n > kMaxBytes) throw BadArguments("--bytes allows at most 10000000 each way");
    return n;
}

}  // namespace

SessionOptions parseOptions(std::span<const std::string_view> args) {
    SessionOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        if (name == "-h" || name == "--help") {
            o.help = true;
            continue;
        }
        if (name == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (name == "--floor") {
            o.link.snrScale = sim::SnrScale::StationPeak;
            continue;
        }
        if (i + 1 >= args.size()) throw BadArguments(std::string(name) + " needs a value");
        const std::string_view value = args[++i];
        if (name == "--snr") {
            o.link.snrDb = number<double>(name, value, "a number of dB");
        } else if (name == "--delay") {
            o.link.delayMs = number<double>(name, value, "a number of milliseconds");
            if (o.link.delayMs < 0.0 || o.link.delayMs > 10000.0) throw BadArguments("--delay must be 0..10000 ms");
        } else if (name == "--offset") {
            o.link.offsetHz = number<double>(name, value, "a number of Hz");
        } else if (name == "--drift") {
            o.link.driftHzPerS = number<double>(name, value, "a number of Hz per second");
        } else if (name == "--ppm") {
            o.link.clockPpm = number<double>(name, value, "a number");
        } else if (name == "--fading") {
            const auto comma = value.find(',');
            if (comma == std::string_view::npos) throw BadArguments("--fading must be SPREAD_HZ,DELAY_MS");
            o.link.fading = sim::FadingSettings{
                .spreadHz = number<double>(name, value.substr(0, comma), "SPREAD_HZ,DELAY_MS"),
                .delayMs = number<double>(name, value.substr(comma + 1), "SPREAD_HZ,DELAY_MS")};
        } else if (name == "--bytes") {
            const auto comma = value.find(',');
            o.bytesFromA = byteCount(value.substr(0, comma));
            o.bytesFromB = comma == std::string_view::npos ? 0 : byteCount(value.substr(comma + 1));
        } else if (name == "--logs") {
            if (value.empty()) throw BadArguments("--logs needs a folder");
            o.logs = value;
        } else if (name == "--seed") {
            o.link.seed = number<std::uint64_t>(name, value, "a whole number");
        } else if (name == "--limit") {
            o.limitS = number<double>(name, value, "a number of seconds");
            if (!(o.limitS > 0.0) || o.limitS > 1e6) throw BadArguments("--limit must be more than 0 and at most 1000000 s");
        } else {
            throw BadArguments("unknown option \"" + std::string(name) + "\"");
        }
    }
    // The channel refuses what is out of its range; say so before anything runs.
    try {
        sim::ChannelModel probe(sim::ChannelSettings{.delayMs = o.link.delayMs,
                                                     .offsetHz = o.link.offsetHz,
                                                     .driftHzPerS = o.link.driftHzPerS,
                                                     .clockPpm = o.link.clockPpm,
                                                     .fading = o.link.fading});
    } catch (const std::invalid_argument& e) {
        throw BadArguments(e.what());
    }
    return o;
}

}  // namespace zolk::sessiontool
