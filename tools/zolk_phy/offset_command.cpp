// zolk-phy offset: moves every frequency of a recording by a constant offset, as an SSB
// transponder or a mistuned receiver does, so that the receiver's frequency correction can be tried.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/channel_model.h"
#include "subcommands.h"
#include "wav_reader.h"
#include "wav_writer.h"

namespace zolk::phytool {
namespace {

struct BadArguments : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct OffsetOptions {
    std::string in;
    std::string out;
    double offsetHz = 0.0;
    bool haveOffset = false;
};

OffsetOptions parseOptions(std::span<const std::string_view> args) {
    OffsetOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = args[i];
        const auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) throw BadArguments(std::string(name) + " needs a value");
            return args[++i];
        };
        if (name == "--in") {
            o.in = value();
        } else if (name == "--out") {
            o.out = value();
        } else if (name == "--hz") {
            const std::string_view v = value();
            double hz = 0.0;
            const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), hz);
            if (error != std::errc{} || end != v.data() + v.size() || !std::isfinite(hz) || std::abs(hz) > 1000.0) {
                throw BadArguments("--hz must be a number of -1000..1000 Hz, not \"" + std::string(v) + "\"");
            }
            o.offsetHz = hz;
            o.haveOffset = true;
        } else {
            throw BadArguments("unknown option \"" + std::string(name) + "\"");
        }
    }
    if (o.in.empty()) throw BadArguments("--in is required");
    if (o.out.empty()) throw BadArguments("--out is required");
    if (!o.haveOffset) throw BadArguments("--hz is required");
    return o;
}

std::vector<std::int16_t> offsetFrequency(std::span<const float> audio, double offsetHz) {
    // The channel model's shift without noise; its filter delay is cut off again, so the moved
    // recording lines up with the original sample for sample.
    sim::ChannelModel channel({.offsetHz = offsetHz});
    const std::size_t latency = channel.latency();
    std::vector<float> moved(audio.begin(), audio.end());
    moved.resize(audio.size() + latency, 0.0F);
    channel.process(moved);
    std::vector<std::int16_t> out(audio.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<std::int16_t>(std::clamp(std::lround(moved[latency + i]), -32768L, 32767L));
    }
    return out;
}

}  // namespace

int runOffset(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    try {
        const OffsetOptions o = parseOptions(args);
        WavReader wav(o.in);
        std::vector<float> audio(wav.frames());
        audio.resize(wav.read(audio));
        WavWriter writer(o.out, WavReader::kSampleRateHz);
        writer.write(offsetFrequency(audio, o.offsetHz));
        writer.finish();
        out << "wrote " << o.out << ": " << audio.size() << " samples moved by " << o.offsetHz
            << " Hz\n";
        return 0;
    } catch (const BadArguments& e) {
        err << "zolk-phy offset: " << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        err << "zolk-phy offset: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace zolk::phytool
