// session_bench: whole links between two simulated stations with 0.3 s one-way delay, each part
// writing session_<part>.md.part (a Markdown section) and session_<part>.dat (gnuplot) into --out
// (session_<part>_peak.* with --scale peak):
//   goodput  one-way goodput on AWGN against S/N beside the mode table and the Shannon limit
//   short    2 kB one way, call and disconnect included
//   connect  connect time and success against S/N
//   step     S/N +10 -> -5 -> +10 dB during a transfer, one way and both ways
//   twoway   20 kB each way
//   soak     random paths, losses and endings, every byte accounted for
//   reading  the receiver's S/N reading per mode against the true S/N on both scales
// Run with bench/session/run.sh.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/station_session.h"
#include "bench_common.h"
#include "reading.h"
#include "sim/link_transfer.h"
#include "soak.h"

namespace zolk::sessionbench {
namespace {

constexpr double kTargetSeconds = 600.0;  // transfer length aimed at where the link is slow

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

struct Options {
    std::filesystem::path out = "bench/results";
    std::vector<std::string> parts;
    int seeds = 3;
    std::uint64_t soakFirst = 1;
    int soakCount = 1000;
    sim::SnrScale scale = sim::SnrScale::TransmissionMean;
};

bool onPeakScale(const Options& o) { return o.scale == sim::SnrScale::StationPeak; }

// How the S/N of a part's links is stated, for its heading and text.
std::string scaleTitle(const Options& o) {
    return onPeakScale(o) ? "S/N on a fixed noise floor" : "S/N against each transmission's mean power";
}

std::string scaleText(const Options& o) {
    return onPeakScale(o)
               ? "S/N in 2500 Hz on a fixed noise floor: the S/N a signal of 10 dB crest factor at the sender's peak level "
                 "would have (the modem's own scale); each mode is heard at its own mean power against that floor, "
                 "which the transmitter's level rule puts 0.8 (10 - CrestDb) dB above that signal's."
               : "S/N in 2500 Hz against each transmission's own mean power: every mode is heard at the stated S/N.";
}

sim::LinkSettings link(const Options& o, double snrDb, std::uint64_t seed) {
    return {.snrDb = snrDb, .snrScale = o.scale, .seed = seed};
}

struct PartFiles {
    PartFiles(const Options& o, const std::string& part)
        : md(o.out / ("session_" + part + (onPeakScale(o) ? "_peak" : "") + ".md.part")),
          dat(o.out / ("session_" + part + (onPeakScale(o) ? "_peak" : "") + ".dat")) {
        md << std::fixed;
        dat << std::fixed;
    }
    std::ofstream md;
    std::ofstream dat;
};

// Bytes for a one-way transfer at snrDb: about kTargetSeconds at the table's rate, 2..100 kB.
std::size_t goodputBytes(double snrDb, sim::SnrScale scale) {
    const int mode = std::max(fastestModeAt(snrDb, scale), 0);
    const double bytes = modeRecord(mode).throughput / 8.0 * kTargetSeconds;
    return static_cast<std::size_t>(std::clamp(std::round(bytes / 1000.0) * 1000.0, 2000.0, 100000.0));
}

void goodput(const Options& o) {
    PartFiles f(o, "goodput");
    f.md << "## Goodput against S/N (one way, AWGN, 0.3 s one-way delay; " << scaleTitle(o) << ")\n\n"
         << scaleText(o) << " Goodput: user bytes per second at the far host from its CONNECTED to the last byte. Table: the "
            "Throughput of the fastest mode whose own mean-power S/N on this path reaches its SnrThreshold"
         << (onPeakScale(o) ? " (stated S/N + 0.8 (10 - CrestDb) >= SnrThreshold)" : " (SnrThreshold <= stated S/N)")
         << ". Efficiency = goodput / that Throughput. Bytes: about " << std::setprecision(0) << kTargetSeconds << " s at the table's rate, 2 kB to 100 kB.\n\n"
         << "| S/N dB | bytes | delivered | goodput B/s | goodput bit/s | mode | table bit/s | efficiency | "
            "Shannon bit/s | link s | CPU s |\n|---|---|---|---|---|---|---|---|---|---|---|\n";
    f.dat << "# snr goodput_bps table_bps shannon_bps efficiency\n";
    for (int snr = -12; snr <= 22; snr += 2) {
        const std::size_t bytes = goodputBytes(snr, o.scale);
        const double cpu0 = cpuSeconds();
        Trial trial("goodput" + std::to_string(snr), link(o, snr, 100 + static_cast<std::uint64_t>(snr + 20)));
        const auto r = sim::runTransfer(trial.pair(), {.fromA = sim::randomBytes(bytes, 7), .limitS = 6 * kTargetSeconds});
        const double cpu = cpuSeconds() - cpu0;
        const int mode = fastestModeAt(snr, o.scale);
        const double table = mode >= 0 ? modeRecord(mode).throughput : 0.0;
        const double bps = 8.0 * r.goodputAtoB;
        const double efficiency = table > 0.0 ? bps / table : 0.0;
        const double linkS = r.doneS ? *r.doneS - r.callS : 0.0;
        f.md << "| " << std::setprecision(0) << snr << " | " << bytes << " | " << (r.delivered ? "yes" : "NO") << " | "
             << std::setprecision(1) << r.goodputAtoB << " | " << std::setprecision(0) << bps << " | "
             << (mode >= 0 ? std::to_string(mode) : "none") << " | " << table << " | " << std::setprecision(0)
             << 100.0 * efficiency << " % | " << shannonBps(snr) << " | " << linkS << " | " << std::setprecision(1)
             << cpu << " |\n" << std::flush;
        f.dat << snr << ' ' << std::setprecision(1) << bps << ' ' << table << ' ' << shannonBps(snr) << ' '
              << std::setprecision(3) << efficiency << '\n' << std::flush;
        std::cerr << "goodput " << snr << " dB: " << bps << " bit/s, cpu " << cpu << " s\n";
    }
}

void shortTransfers(const Options& o) {
    PartFiles f(o, "short");
    f.md << "## 2 kB one way, call and disconnect included (" << scaleTitle(o) << ")\n\n"
         << scaleText(o) << " Seconds from the CONNECT command to both stations idle after DISCONNECT, " << o.seeds
         << " seeds per S/N.\n\n| S/N dB | goal s | runs (s) | mean s | all delivered |\n|---|---|---|---|---|\n";
    f.dat << "# snr goal mean\n";
    const double points[][2] = {{10.8, 18.5}, {0.8, 67.0}, {-9.2, 330.0}};
    for (const auto& [snr, goal] : points) {
        std::vector<double> times;
        bool all = true;
        for (int seed = 1; seed <= o.seeds; ++seed) {
            Trial trial("short", link(o, snr, static_cast<std::uint64_t>(seed)));
            const auto r = sim::runTransfer(trial.pair(), {.fromA = sim::randomBytes(2048, 11), .limitS = 1200.0});
            all = all && r.delivered && r.ended;
            times.push_back(r.endedS ? *r.endedS - r.callS : std::nan(""));
        }
        const double mean = std::accumulate(times.begin(), times.end(), 0.0) / static_cast<double>(times.size());
        f.md << "| " << std::setprecision(1) << snr << " | " << goal << " | ";
        for (std::size_t k = 0; k < times.size(); ++k) f.md << (k ? ", " : "") << times[k];
        f.md << " | " << mean << " | " << (all ? "yes" : "NO") << " |\n" << std::flush;
        f.dat << snr << ' ' << goal << ' ' << mean << '\n' << std::flush;
        std::cerr << "short " << snr << " dB: " << mean << " s\n";
    }
}

void connects(const Options& o) {
    PartFiles f(o, "connect");
    f.md << "## Connect time and success against S/N (" << scaleTitle(o) << ")\n\n"
         << scaleText(o) << " Seconds from CONNECT to CONNECTED at the calling host, " << o.seeds
         << " seeds per S/N (ten attempts per call).\n\n| S/N dB | connected | times (s) | mean s |\n|---|---|---|---|\n";
    f.dat << "# snr success_fraction mean_s\n";
    for (int snr = -16; snr <= 10; snr += 2) {
        int ok = 0;
        std::vector<double> times;
        for (int seed = 1; seed <= o.seeds; ++seed) {
            Trial trial("connect", link(o, snr, static_cast<std::uint64_t>(seed + 50)));
            auto& pair = trial.pair();
            const double t0 = pair.nowS();
            pair.callB();
            const auto& a = pair.host(sim::Side::A);
            pair.runUntil([&] { return a.connectedS || a.disconnectedS; }, 900.0);
            if (a.connectedS) {
                ++ok;
                times.push_back(*a.connectedS - t0);
            }
        }
        const double mean = times.empty() ? 0.0 : std::accumulate(times.begin(), times.end(), 0.0) / static_cast<double>(times.size());
        f.md << "| " << snr << " | " << ok << "/" << o.seeds << " | ";
        for (std::size_t k = 0; k < times.size(); ++k) f.md << (k ? ", " : "") << std::setprecision(1) << times[k];
        f.md << " | " << (times.empty() ? std::string("-") : std::to_string(mean).substr(0, std::to_string(mean).find('.') + 2))
             << " |\n" << std::flush;
        f.dat << snr << ' ' << std::setprecision(3) << static_cast<double>(ok) / o.seeds << ' ' << std::setprecision(1) << mean << '\n' << std::flush;
        std::cerr << "connect " << snr << " dB: " << ok << "/" << o.seeds << "\n";
    }
}

// Settling: the modes of a phase's second half make its band (the learner keeps trying the next
// mode up, so a link moves between neighbours); settled = seconds from the step until the mode
// entered that band for good.
struct Settling {
    int low;
    int high;
    int seconds;
};

Settling settling(const std::vector<int>& modes) {
    const auto half = modes.begin() + static_cast<std::ptrdiff_t>(modes.size() / 2);
    const auto [low, high] = std::minmax_element(half, modes.end());
    std::size_t first = modes.size();
    while (first > 0 && modes[first - 1] >= *low && modes[first - 1] <= *high) --first;
    return {*low, *high, static_cast<int>(first) + 1};
}

void step(const Options& o, bool twoWay) {
    const std::string name = twoWay ? "step2" : "step1";
    PartFiles f(o, name);
    constexpr double kPhases[][2] = {{10.0, 200.0}, {-5.0, 400.0}, {10.0, 300.0}};  // S/N, seconds
    Trial trial(name, link(o, 10.0, 21), true);
    auto& pair = trial.pair();
    const std::size_t bytes = 400000;
    pair.send(sim::Side::A, sim::randomBytes(bytes, 1));
    if (twoWay) pair.send(sim::Side::B, sim::randomBytes(bytes, 2));
    pair.callB();
    const auto& a = pair.host(sim::Side::A);
    const auto& b = pair.host(sim::Side::B);
    pair.runUntil([&] { return a.connectedS && b.connectedS; }, 300.0);
    f.md << std::setprecision(0) << "## S/N step during a transfer (" << (twoWay ? "both hosts sending" : "one way, A to B")
         << "; " << scaleTitle(o) << ")\n\n" << scaleText(o) << " S/N " << kPhases[0][0] << " dB for " << kPhases[0][1] << " s after CONNECTED, then " << kPhases[1][0]
         << " dB for " << kPhases[1][1] << " s, then " << kPhases[2][0] << " dB for " << kPhases[2][1]
         << " s. Mode: the session's mode each second at A" << (twoWay ? " and B" : "")
         << "; band: the modes of the phase's second half; settled: seconds from the step until the mode "
            "entered its band for good.\n\n"
         << "| phase | S/N dB | settled A s | band A |" << (twoWay ? " settled B s | band B |" : "")
         << " bytes to B | bytes to A |\n|---|---|---|---|" << (twoWay ? "---|---|" : "") << "---|---|\n";
    f.dat << "# t_s snr mode_a mode_b\n";
    double t = 0.0;
    for (int phase = 0; phase < 3; ++phase) {
        pair.setSnrDb(kPhases[phase][0]);
        const std::size_t toB0 = b.received.size();
        const std::size_t toA0 = a.received.size();
        std::vector<int> modes[2];
        for (int second = 0; second < static_cast<int>(kPhases[phase][1]); ++second) {
            pair.runFor(1.0);
            t += 1.0;
            for (const int k : {0, 1}) {
                modes[k].push_back(pair.station(static_cast<sim::Side>(k)).station().session().arq().currentMode());
            }
            f.dat << std::setprecision(0) << t << ' ' << kPhases[phase][0] << ' ' << modes[0].back() << ' '
                  << modes[1].back() << '\n';
        }
        f.md << "| " << phase + 1 << " | " << std::setprecision(0) << kPhases[phase][0] << " |";
        for (int k = 0; k < (twoWay ? 2 : 1); ++k) {
            const Settling settled = settling(modes[k]);
            f.md << ' ' << settled.seconds << " | " << settled.low << (settled.high > settled.low ? "-" + std::to_string(settled.high) : std::string()) << " |";
        }
        f.md << ' ' << b.received.size() - toB0 << " | " << a.received.size() - toA0 << " |\n" << std::flush;
        std::cerr << name << " phase " << phase + 1 << " done\n";
    }
    const bool inOrder = std::equal(b.received.begin(), b.received.end(), sim::randomBytes(b.received.size(), 1).begin()) &&
                         std::equal(a.received.begin(), a.received.end(), sim::randomBytes(a.received.size(), 2).begin());
    f.md << "\nBytes received are the sent bytes in order: " << (inOrder ? "yes" : "NO") << ".\n";
}

void twoWay(const Options& o) {
    PartFiles f(o, "twoway");
    f.md << "## 20 kB each way (both hosts send at once, 0.3 s one-way delay; " << scaleTitle(o) << ")\n\n"
         << scaleText(o) << "\n\n| S/N dB | delivered | goodput A to B B/s | goodput B to A B/s | link s |\n|---|---|---|---|---|\n";
    f.dat << "# snr goodput_ab goodput_ba\n";
    for (const double snr : {10.0, 0.0, -5.0}) {
        Trial trial("twoway", link(o, snr, 31));
        const auto r = sim::runTransfer(trial.pair(), {.fromA = sim::randomBytes(20000, 3),
                                                       .fromB = sim::randomBytes(20000, 4), .limitS = 4000.0});
        f.md << "| " << std::setprecision(0) << snr << " | " << (r.delivered ? "yes" : "NO") << " | "
             << std::setprecision(1) << r.goodputAtoB << " | " << r.goodputBtoA << " | "
             << (r.doneS ? *r.doneS - r.callS : 0.0) << " |\n" << std::flush;
        f.dat << snr << ' ' << r.goodputAtoB << ' ' << r.goodputBtoA << '\n' << std::flush;
        std::cerr << "twoway " << snr << " dB done\n";
    }
}

template <typename T>
bool parse(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

}  // namespace
}  // namespace zolk::sessionbench

int main(int argc, char** argv) {
    using namespace zolk::sessionbench;
    Options o;
    const char* usage =
        "usage: session_bench [--out DIR] [--seeds N] [--soak-first S] [--soak-count N] [--scale mean|peak] PART...\n"
        "  PART: goodput short connect step twoway soak reading\n"
        "  --scale: S/N against each transmission's mean power (mean, the default) or on a fixed noise floor\n"
        "           stated for a 10 dB-crest signal at the sender's peak level (peak)\n";
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        const bool hasValue = i + 1 < argc;
        if (name == "--out" && hasValue) {
            o.out = argv[++i];
        } else if (name == "--seeds" && hasValue && parse(argv[i + 1], o.seeds) && o.seeds > 0) {
            ++i;
        } else if (name == "--soak-first" && hasValue && parse(argv[i + 1], o.soakFirst)) {
            ++i;
        } else if (name == "--soak-count" && hasValue && parse(argv[i + 1], o.soakCount) && o.soakCount > 0) {
            ++i;
        } else if (name == "--scale" && hasValue && (argv[i + 1] == std::string_view("mean") || argv[i + 1] == std::string_view("peak"))) {
            o.scale = argv[++i] == std::string_view("peak") ? zolk::sim::SnrScale::StationPeak : zolk::sim::SnrScale::TransmissionMean;
        } else if (name == "goodput" || name == "short" || name == "connect" || name == "step" || name == "twoway" ||
                   name == "soak" || name == "reading") {
            o.parts.emplace_back(name);
        } else {
            std::cerr << "session_bench: bad argument \"" << name << "\"\n" << usage;
            return 2;
        }
    }
    if (o.parts.empty()) {
        std::cerr << usage;
        return 2;
    }
    std::filesystem::create_directories(o.out);
    int failures = 0;
    for (const auto& part : o.parts) {
        if (part == "goodput") goodput(o);
        if (part == "short") shortTransfers(o);
        if (part == "connect") connects(o);
        if (part == "step") {
            step(o, false);
            step(o, true);
        }
        if (part == "twoway") twoWay(o);
        if (part == "soak") failures += runSoak(o.soakFirst, o.soakCount, o.out);
        if (part == "reading") runReading(o.out);
    }
    return failures == 0 ? 0 : 1;
}
