#include "soak.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <random>
#include <string>

#include "app/station_session.h"
#include "bench_common.h"
#include "sim/link_transfer.h"

namespace zolk::sessionbench {
namespace {

constexpr double kTransferLimitS = 600.0;  // then DISCONNECT whatever is left
// After the ending a link may still send what its host handed over (DISCONNECT lets the buffer
// empty first, slowly at low S/N): wedged is no progress for kStallS, or not idle kStallS after
// an ABORT sent once kDrainS have passed.
constexpr double kStallS = 300.0;
constexpr double kDrainS = 1800.0;

enum class Ending { Normal, DisconnectA, DisconnectB, AbortA, AbortB, HostGoneA, HostGoneB };
constexpr const char* kEndingNames[] = {"normal", "DISCONNECT A", "DISCONNECT B", "ABORT A", "ABORT B",
                                        "host A gone", "host B gone"};

struct Counts {
    int sessions = 0;
    int connected = 0;
    int wedged = 0;
    int failed = 0;
    std::size_t offered = 0;
    std::size_t delivered = 0;
    std::size_t inLastBuffer = 0;  // offered, not delivered, still counted in the sender's last BUFFER
    std::size_t lost = 0;
    std::size_t duplicated = 0;
    std::size_t reordered = 0;
    std::size_t receiverGone = 0;  // acknowledged but the receiving host had left
    int byEnding[7] = {};
};

struct Session {
    sim::LinkSettings link;
    std::size_t bytes[2];
    Ending ending;
    double endingAtS;  // after the call
    double erasureChance[2];
};

Session draw(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    Session s{};
    s.link.snrDb = uniform(-12.0, 25.0);
    s.link.offsetHz = uniform(-100.0, 100.0);
    s.link.driftHzPerS = uniform(-1.0, 1.0);
    if (uniform(0.0, 1.0) < 0.4) s.link.fading = sim::FadingSettings{.spreadHz = uniform(0.1, 1.0), .delayMs = uniform(0.5, 3.0)};
    s.link.seed = seed;
    s.bytes[0] = static_cast<std::size_t>(uniform(0.0, 8000.0));
    s.bytes[1] = uniform(0.0, 1.0) < 0.5 ? 0 : static_cast<std::size_t>(uniform(0.0, 4000.0));
    s.ending = static_cast<Ending>(std::uniform_int_distribution<int>(0, 6)(random));
    s.endingAtS = uniform(0.0, 180.0);
    s.erasureChance[0] = uniform(0.0, 0.1);
    s.erasureChance[1] = uniform(0.0, 0.1);
    return s;
}

// The number in the last BUFFER line before the first DISCONNECTED (all lines when there is none).
std::size_t lastBufferBeforeEnd(const sim::HostView& view) {
    std::size_t value = 0;
    for (const auto& r : view.replies) {
        if (r.line == "DISCONNECTED") break;
        if (r.line.starts_with("BUFFER ")) value = std::stoul(r.line.substr(7));
    }
    return value;
}

struct DirectionResult {
    std::size_t offered, delivered, inLastBuffer, lost, duplicated, reordered, receiverGone;
};

// sent: what the sender's host handed over, got: what the receiver's host received.
DirectionResult account(const std::vector<std::uint8_t>& sent, const std::vector<std::uint8_t>& got,
                        std::size_t lastBuffer, bool receiverGone) {
    DirectionResult d{sent.size(), 0, 0, 0, 0, 0, 0};
    const auto [s, g] = std::mismatch(sent.begin(), sent.end(), got.begin(), got.end());
    d.delivered = static_cast<std::size_t>(g - got.begin());
    if (g != got.end()) {
        // Bytes after the point where the streams part: a repeat of earlier bytes, or out of order.
        const std::size_t extra = static_cast<std::size_t>(got.end() - g);
        const auto seenBefore = std::search(sent.begin(), s, g, g + static_cast<std::ptrdiff_t>(std::min<std::size_t>(extra, 16)));
        (seenBefore != s ? d.duplicated : d.reordered) = extra;
    }
    const std::size_t missing = sent.size() - d.delivered;
    d.inLastBuffer = std::min(missing, lastBuffer);
    const std::size_t unaccounted = missing - d.inLastBuffer;
    (receiverGone ? d.receiverGone : d.lost) = unaccounted;
    return d;
}

bool idle(sim::StationPair& pair) {
    return !pair.station(sim::Side::A).station().session().arq().inProgress() &&
           !pair.station(sim::Side::B).station().session().arq().inProgress();
}

// The summary so far, replacing the last one: a run stopped early still leaves its counts.
void writeSummary(const std::filesystem::path& file, const Counts& c, std::uint64_t first, double cpu) {
    std::ofstream md(file);
    md << "## Soak\n\n"
       << "Seeds " << first << " to " << first + static_cast<std::uint64_t>(c.sessions) - 1
       << ": S/N -12..+25 dB, offset +/-100 Hz, drift up to 1 Hz/s, two-path fading in 40 % (0.1..1 Hz), each "
          "transmission lost with a chance of 0..10 % per direction, 0..8000 bytes from A and half the time "
          "0..4000 from B, endings: normal DISCONNECT after the transfer, DISCONNECT or ABORT from either host, "
          "or either host closing its ports, at a random moment in the first 180 s. Per session: "
          "session_soak.log.\n\n"
       << "| count | value |\n|---|---|\n"
       << "| sessions | " << c.sessions << " |\n| connected | " << c.connected << " |\n";
    for (int e = 0; e < 7; ++e) md << "| ending: " << kEndingNames[e] << " | " << c.byEnding[e] << " |\n";
    md << "| bytes offered (handed over to the modem) | " << c.offered << " |\n"
       << "| delivered once, in order | " << c.delivered << " |\n"
       << "| not delivered, counted in the sender's last BUFFER before DISCONNECTED | " << c.inLastBuffer << " |\n"
       << "| not delivered, the receiving host had closed its ports | " << c.receiverGone << " |\n"
       << "| lost | " << c.lost << " |\n| duplicated | " << c.duplicated << " |\n| reordered | " << c.reordered << " |\n"
       << "| wedged sessions (no progress for " << kStallS << " s before idle; an ABORT after " << kDrainS
       << " s of draining) | " << c.wedged << " |\n"
       << "| failed sessions | " << c.failed << " |\n"
       << "| CPU s | " << std::fixed << std::setprecision(0) << cpu << " |\n";
}

// Progress: bytes received by either host, BUFFER lines, session states.
std::string progressMark(sim::StationPair& pair) {
    std::string mark;
    for (const auto side : {sim::Side::A, sim::Side::B}) {
        const auto& view = pair.host(side);
        mark += std::to_string(view.received.size()) + "/" + std::to_string(view.replies.size()) + "/" +
                std::to_string(static_cast<int>(pair.station(side).station().session().arq().state())) + " ";
    }
    return mark;
}

bool endsInTime(sim::StationPair& pair) {
    double stalled = 0.0;
    double waited = 0.0;
    bool aborted = false;
    std::string mark = progressMark(pair);
    while (!idle(pair)) {
        if (stalled >= kStallS || waited >= kDrainS + 2 * kStallS) return false;
        if (waited >= kDrainS && !aborted) {
            pair.command(sim::Side::A, "ABORT");
            aborted = true;
            stalled = 0.0;
        }
        pair.runUntil([&] { return idle(pair); }, 10.0);
        waited += 10.0;
        const std::string now = progressMark(pair);
        stalled = now == mark ? stalled + 10.0 : 0.0;
        mark = now;
    }
    return true;
}

}  // namespace

int runSoak(std::uint64_t first, int count, const std::filesystem::path& out) {
    Counts c;
    std::ofstream log(out / "session_soak.log");
    const double cpu0 = static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
    for (std::uint64_t seed = first; seed < first + static_cast<std::uint64_t>(count); ++seed) {
        const Session s = draw(seed);
        std::mt19937_64 erasures(seed ^ 0xE7A5E);
        sim::LinkSettings link = s.link;
        link.eraseFromA = [&](const sim::TransmissionStart&) {
            return std::uniform_real_distribution<double>(0.0, 1.0)(erasures) < s.erasureChance[0];
        };
        link.eraseFromB = [&](const sim::TransmissionStart&) {
            return std::uniform_real_distribution<double>(0.0, 1.0)(erasures) < s.erasureChance[1];
        };
        Trial trial("soak", link, true);
        auto& pair = trial.pair();
        const auto fromA = sim::randomBytes(s.bytes[0], seed * 2);
        const auto fromB = sim::randomBytes(s.bytes[1], seed * 2 + 1);
        pair.send(sim::Side::A, fromA);
        pair.send(sim::Side::B, fromB);
        pair.callB();
        const auto& a = pair.host(sim::Side::A);
        const auto& b = pair.host(sim::Side::B);
        const auto allThrough = [&] {
            return a.connectedS && b.connectedS && b.received.size() >= fromA.size() && a.received.size() >= fromB.size() &&
                   (fromA.empty() || a.lastBuffer == 0u) && (fromB.empty() || b.lastBuffer == 0u);
        };
        const auto callFailed = [&] { return !a.connectedS && a.disconnectedS.has_value(); };
        bool hostGone[2] = {false, false};
        if (s.ending == Ending::Normal) {
            pair.runUntil([&] { return allThrough() || callFailed(); }, kTransferLimitS);
            pair.command(sim::Side::A, "DISCONNECT");
        } else {
            pair.runUntil([&] { return callFailed(); }, s.endingAtS);
            switch (s.ending) {
                case Ending::DisconnectA: pair.command(sim::Side::A, "DISCONNECT"); break;
                case Ending::DisconnectB: pair.command(sim::Side::B, "DISCONNECT"); break;
                case Ending::AbortA: pair.command(sim::Side::A, "ABORT"); break;
                case Ending::AbortB: pair.command(sim::Side::B, "ABORT"); break;
                case Ending::HostGoneA: pair.hostCloses(sim::Side::A); hostGone[0] = true; break;
                case Ending::HostGoneB: pair.hostCloses(sim::Side::B); hostGone[1] = true; break;
                case Ending::Normal: break;
            }
            // A DISCONNECT waits for the turn: give the link its time, then DISCONNECT from A too.
            if (!pair.runUntil([&] { return idle(pair); }, kTransferLimitS) && !hostGone[0]) pair.command(sim::Side::A, "DISCONNECT");
        }
        const bool wedged = !endsInTime(pair);
        const DirectionResult d[2] = {
            account(std::vector<std::uint8_t>(fromA.begin(), fromA.begin() + static_cast<std::ptrdiff_t>(a.handedOver)),
                    b.received, lastBufferBeforeEnd(a), hostGone[1]),
            account(std::vector<std::uint8_t>(fromB.begin(), fromB.begin() + static_cast<std::ptrdiff_t>(b.handedOver)),
                    a.received, lastBufferBeforeEnd(b), hostGone[0])};
        ++c.sessions;
        c.connected += a.connectedS.has_value() ? 1 : 0;
        ++c.byEnding[static_cast<int>(s.ending)];
        bool bad = wedged;
        for (const auto& x : d) {
            c.offered += x.offered;
            c.delivered += x.delivered;
            c.inLastBuffer += x.inLastBuffer;
            c.lost += x.lost;
            c.duplicated += x.duplicated;
            c.reordered += x.reordered;
            c.receiverGone += x.receiverGone;
            bad = bad || x.lost > 0 || x.duplicated > 0 || x.reordered > 0;
        }
        c.wedged += wedged ? 1 : 0;
        log << std::fixed << std::setprecision(1) << "seed " << seed << ": snr " << *s.link.snrDb << " offset "
            << s.link.offsetHz << " drift " << std::setprecision(2) << s.link.driftHzPerS << " fading "
            << (s.link.fading ? "yes" : "no") << " bytes " << s.bytes[0] << "," << s.bytes[1] << " ending "
            << kEndingNames[static_cast<int>(s.ending)] << " at " << std::setprecision(0) << s.endingAtS
            << " s; connected " << (a.connectedS ? "yes" : "no") << "; A->B delivered " << d[0].delivered << "/"
            << d[0].offered << " buffer " << d[0].inLastBuffer << " lost " << d[0].lost << " dup " << d[0].duplicated
            << " reorder " << d[0].reordered << "; B->A delivered " << d[1].delivered << "/" << d[1].offered
            << " buffer " << d[1].inLastBuffer << " lost " << d[1].lost << " dup " << d[1].duplicated << " reorder "
            << d[1].reordered << (wedged ? "; WEDGED" : "") << (bad ? "; FAILED" : "") << '\n' << std::flush;
        if (bad) {
            ++c.failed;
            trial.keepAt(out / "soak_failures" / ("seed_" + std::to_string(seed)));
        }
        writeSummary(out / "session_soak.md.part", c, first, static_cast<double>(std::clock()) / CLOCKS_PER_SEC - cpu0);
        if (c.sessions % 10 == 0) std::cerr << "soak: " << c.sessions << " sessions, " << c.failed << " failed\n";
    }
    return c.failed;
}

}  // namespace zolk::sessionbench
