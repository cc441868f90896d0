// ping_bench: link calibration pings between two stations in virtual time through the channel
// model, 0.25 s each way: the frequency the pinged station hears the ping at and the TX shift its
// reply gives against the ping path's true offset, the RX shift against the reply path's, and the
// ping time against the true round trip plus the stations' processing time, at several S/N.
// Writes ping.md.body into --out.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "sim/ping_exchange.h"

namespace zolk {
namespace {

constexpr double kDelayMs = 250.0;
constexpr double kQuarterToneHz = 46.875 / 4;

struct Options {
    int trials = 2;  // pings per offset and S/N
    std::vector<double> snrs = {-5.0, 0.0, 10.0};
    std::string out = "bench/results";
};

struct Stats {
    int runs = 0;
    int results = 0;
    int rightRow = 0;
    double heardSq = 0.0, heardWorst = 0.0;
    double txWorst = 0.0;
    double tableWorst = 0.0;
    double rxSq = 0.0, rxWorst = 0.0;
    double pingSum = 0.0, pingWorst = 0.0;

    void add(double& sq, double& worst, double error) {
        sq += error * error;
        worst = std::max(worst, std::abs(error));
    }
};

std::string fixed(double value, int decimals = 1) {
    std::ostringstream out;
    out.setf(std::ios::fixed);
    out.precision(decimals);
    out << value;
    return out.str();
}

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// The truths one kind is measured over: the search range, end to end.
std::vector<double> offsetsOf(PingKind kind) {
    if (kind == PingKind::Rough) return {-900, -700, -450, -225, -100, 0, 100, 225, 450, 700, 900};
    return {-130, -100, -70, -50, -35, -20, -8, 0, 8, 20, 35, 50, 70, 100, 130};
}

const char* nameOf(PingKind kind) { return kind == PingKind::Rough ? "rough" : "fine"; }

int run(const Options& o) {
    const auto folder = std::filesystem::temp_directory_path() / ("ping_bench_" + std::to_string(::getpid()));
    std::ostringstream body;
    body << "## Ping\n\n";
    body << "Two stations in virtual time, the real audio path both ways through the channel model with "
         << kDelayMs << " ms each way and white noise at the S/N (2500 Hz, the power of each station's own "
            "transmission: the pinging station's ping, the reply with its lead-in tone). Each offset of the "
            "kind's range is the ping path's (up) true offset, and the reply path (down) runs the range "
            "backwards, both moved by up to a quarter tone at random so that truths fall between bins; "
         << o.trials << " ping(s) per offset and S/N.\n\n"
         << "- heard: the frequency at which the pinged station heard the ping, minus up.\n"
         << "- row right: the reply is the table row of the true up offset.\n"
         << "- TX error: the TX shift shown, minus (-up). The reply table limits it: a rough row is 100 to "
            "400 Hz wide (the outer rows stand for 800 Hz and hold everything beyond 600 Hz), a fine row "
            "12 to 35 Hz (141 Hz for everything beyond 117 Hz), so this is the table's error even with a "
            "perfect measurement; near a row's edge one row off counts as right by the measurement goal.\n"
         << "- RX error: the RX shift shown (rounded to 1 Hz), minus down.\n"
         << "- table error: the TX error a perfect reading would give for the same truths (the shift of the "
            "true up offset's row), the limit the table sets.\n"
         << "- ping error: the ping time shown, minus the true round trip, minus the processing time "
            "(below). The true round trip is the "
         << 2 * kDelayMs
         << " ms of the two delays plus the channel model's own latency: its Hilbert filter delays a path with "
            "a frequency offset by a further 64 ms, so nearly every run here has "
         << 2 * kDelayMs + 128 << " ms.\n\n";

    std::ostringstream table;
    table << "| kind | S/N (dB) | pings | results | row right | heard RMS (Hz) | heard worst (Hz) | TX error worst "
             "(Hz) | table error worst (Hz) | RX error RMS (Hz) | RX error worst (Hz) | ping error mean (ms) | "
             "ping error worst (ms) |\n";
    table << "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    std::ostringstream processing;
    const double cpuStart = cpuSeconds();
    std::uint64_t seed = 1;
    for (const PingKind kind : {PingKind::Fine, PingKind::Rough}) {
        // The clean reference: the powers for the noise, and the processing time: the ping time shown
        // beyond the round trip on the delayed path without offset (no filter latency) or noise.
        const sim::PingOutcome clean = sim::runPingExchange(folder, kind, sim::PingPath{.delayMs = kDelayMs},
                                                            sim::PingPath{.delayMs = kDelayMs});
        if (!clean.shown || clean.shown->status != CalibrationStatus::Result) {
            std::cerr << "the clean " << nameOf(kind) << " ping found no reply\n";
            return 1;
        }
        const double processingMs = clean.shown->pingMs - clean.roundTripMs;
        processing << "- " << nameOf(kind) << ": " << fixed(processingMs, 0) << " ms (shown " << clean.shown->pingMs
                   << " ms for a round trip of " << fixed(clean.roundTripMs, 0) << " ms; ping power "
                   << fixed(clean.pingPower, 0)
                   << ", reply power " << fixed(clean.replyPower, 0) << " in 16-bit scale squared)\n";
        const std::vector<double> offsets = offsetsOf(kind);
        std::mt19937 random(kind == PingKind::Rough ? 11 : 22);
        std::uniform_real_distribution<double> nudge(-kQuarterToneHz, kQuarterToneHz);
        for (const double snr : o.snrs) {
            Stats s;
            for (std::size_t i = 0; i < offsets.size(); ++i) {
                for (int t = 0; t < o.trials; ++t) {
                    const double up = std::clamp(offsets[i] + nudge(random), offsets.front(), offsets.back());
                    const double down =
                        std::clamp(offsets[offsets.size() - 1 - i] + nudge(random), offsets.front(), offsets.back());
                    const sim::PingOutcome r = sim::runPingExchange(
                        folder, kind,
                        sim::PingPath{.offsetHz = up, .delayMs = kDelayMs, .snrDb = snr, .signalPower = clean.pingPower,
                                      .seed = seed++},
                        sim::PingPath{.offsetHz = down, .delayMs = kDelayMs, .snrDb = snr,
                                      .signalPower = clean.replyPower, .seed = seed++});
                    ++s.runs;
                    if (!r.shown || r.shown->status != CalibrationStatus::Result) continue;
                    ++s.results;
                    if (r.replyCode == pingReplyCode(kind, static_cast<float>(up))) ++s.rightRow;
                    s.add(s.heardSq, s.heardWorst, r.heardHz - up);
                    s.txWorst = std::max(s.txWorst, std::abs(r.shown->txShiftHz + up));
                    const int perfectShiftHz = pingTxShiftHz(kind, pingReplyCode(kind, static_cast<float>(up)));
                    s.tableWorst = std::max(s.tableWorst, std::abs(perfectShiftHz + up));
                    s.add(s.rxSq, s.rxWorst, r.shown->rxShiftHz - down);
                    const double pingError = r.shown->pingMs - r.roundTripMs - processingMs;
                    s.pingSum += pingError;
                    s.pingWorst = std::max(s.pingWorst, std::abs(pingError));
                }
            }
            const double n = std::max(1, s.results);
            table << "| " << nameOf(kind) << " | " << fixed(snr) << " | " << s.runs << " | " << s.results << " | "
                  << s.rightRow << " | " << fixed(std::sqrt(s.heardSq / n), 2) << " | " << fixed(s.heardWorst, 2)
                  << " | " << fixed(s.txWorst, 0) << " | " << fixed(s.tableWorst, 0) << " | "
                  << fixed(std::sqrt(s.rxSq / n), 2) << " | " << fixed(s.rxWorst, 0) << " | " << fixed(s.pingSum / n, 1)
                  << " | " << fixed(s.pingWorst, 1) << " |\n";
            std::cerr << nameOf(kind) << " at " << snr << " dB done\n";
        }
    }
    body << "Processing time: the ping time shown on a clean path (" << kDelayMs
         << " ms each way, no offset, no noise) less its round trip. The ping time counts from the end of "
            "the wait for the reply, which is the reply's lead-in tone and pattern plus 64 ms for the "
            "detection of both stations; the processing time is what the two stations' detection and "
            "keying take beyond those 64 ms, so it is near 0 and may be below:\n\n"
         << processing.str() << "\n"
         << table.str() << "\nCPU: " << fixed(cpuSeconds() - cpuStart, 0) << " s for the whole run.\n";
    std::filesystem::create_directories(o.out);
    std::ofstream(std::filesystem::path(o.out) / "ping.md.body") << body.str();
    return 0;
}

}  // namespace
}  // namespace zolk

int main(int argc, char** argv) {
    zolk::Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--trials" && i + 1 < argc) {
            o.trials = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--out" && i + 1 < argc) {
            o.out = argv[++i];
        } else {
            std::cerr << "usage: ping_bench [--trials N] [--out DIR]\n";
            return 2;
        }
    }
    return zolk::run(o);
}
