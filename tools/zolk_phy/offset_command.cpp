// zolk-phy offset: moves every frequency of a recording by a constant offset, as an SSB
// transponder or a mistuned receiver does, so that the receiver's frequency correction can be tried.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <complex>
#include <numbers>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "phy/common/fft.h"
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
    double offset_hz = 0.0;
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
            o.offset_hz = hz;
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

std::vector<std::int16_t> offsetFrequency(std::span<const float> audio, double offset_hz) {
    // The analytic signal of the whole recording (negative frequencies removed in one transform),
    // turned by the offset; its real part is the moved audio.
    std::size_t n = 2;
    while (n < audio.size()) n *= 2;
    std::vector<Complex> a(n);
    std::copy(audio.begin(), audio.end(), a.begin());
    Fft fft(n);
    fft.transform(a);
    for (std::size_t k = 1; k < n / 2; ++k) a[k] *= 2.0f;
    std::fill(a.begin() + static_cast<std::ptrdiff_t>(n / 2 + 1), a.end(), Complex{});
    // The inverse through the forward transform: ifft(X) = conj(fft(conj(X))) / n.
    for (auto& v : a) v = std::conj(v);
    fft.transform(a);
    std::vector<std::int16_t> out(audio.size());
    const double step = 2.0 * std::numbers::pi * offset_hz / 48000.0;
    for (std::size_t i = 0; i < audio.size(); ++i) {
        const std::complex<double> analytic(a[i].real() / static_cast<double>(n), -a[i].imag() / static_cast<double>(n));
        const double phase = std::fmod(step * static_cast<double>(i), 2.0 * std::numbers::pi);
        const double moved = (analytic * std::polar(1.0, phase)).real();
        out[i] = static_cast<std::int16_t>(std::clamp(std::lround(moved), -32768L, 32767L));
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
        WavWriter writer(o.out, WavReader::kSampleRate_hz);
        writer.write(offsetFrequency(audio, o.offset_hz));
        writer.finish();
        out << "wrote " << o.out << ": " << audio.size() << " samples moved by " << o.offset_hz << " Hz\n";
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
