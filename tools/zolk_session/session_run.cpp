#include "session_run.h"

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "sim/link_transfer.h"

namespace zolk::sessiontool {
namespace {

struct StampedReply {
    double timeS;
    char host;
    const std::string* line;
};

void printReplies(const sim::StationPair& pair, std::ostream& out) {
    std::vector<StampedReply> all;
    for (const auto side : {sim::Side::A, sim::Side::B}) {
        const char host = side == sim::Side::A ? 'A' : 'B';
        for (const auto& r : pair.host(side).replies) all.push_back({r.timeS, host, &r.line});
    }
    std::stable_sort(all.begin(), all.end(), [](const auto& x, const auto& y) { return x.timeS < y.timeS; });
    for (const auto& r : all) out << std::setw(9) << r.timeS << "  " << r.host << "  " << *r.line << '\n';
}

void printDirection(std::ostream& out, char from, char to, std::size_t sent, const sim::HostView& receiver,
                    bool equal, double goodput) {
    out << from << " -> " << to << ": sent " << sent << ", received " << receiver.received.size()
        << (equal ? " (equal)" : " (NOT equal)");
    if (sent > 0) out << ", goodput " << std::setprecision(1) << goodput << " bytes/s";
    out << std::setprecision(3) << '\n';
}

}  // namespace

int runSession(const SessionOptions& options, const std::filesystem::path& folder, std::ostream& out) {
    sim::StationPair pair(folder, options.link);
    if (!options.logs.empty()) {
        for (const auto side : {sim::Side::A, sim::Side::B}) {
            if (!pair.station(side).station().sessionLog().setDebug(true)) {
                throw std::runtime_error("cannot write the session log in " + options.logs);
            }
        }
    }
    sim::TransferPlan plan{.fromA = sim::randomBytes(options.bytesFromA, options.link.seed * 2 + 1),
                           .fromB = sim::randomBytes(options.bytesFromB, options.link.seed * 2 + 2),
                           .limitS = options.limitS};
    const sim::TransferResult r = sim::runTransfer(pair, plan);
    out << std::fixed << std::setprecision(3);
    if (!options.quiet) {
        out << "   time s  host  reply\n";
        printReplies(pair, out);
    }
    out << "CONNECT at " << r.callS << " s";
    if (r.connectedS) {
        out << ", CONNECTED after " << *r.connectedS - r.callS << " s";
    } else {
        out << ", never CONNECTED";
    }
    if (r.doneS) out << ", every byte acknowledged at " << *r.doneS << " s";
    if (r.endedS) out << ", link ended at " << *r.endedS << " s";
    out << '\n';
    printDirection(out, 'A', 'B', plan.fromA.size(), pair.host(sim::Side::B),
                   pair.host(sim::Side::B).received == plan.fromA, r.goodputAtoB);
    printDirection(out, 'B', 'A', plan.fromB.size(), pair.host(sim::Side::A),
                   pair.host(sim::Side::A).received == plan.fromB, r.goodputBtoA);
    if (!r.delivered) out << "FAILED: not every byte arrived within " << options.limitS << " s\n";
    if (!r.ended) out << "FAILED: the link did not end on both sides\n";
    return r.delivered && r.ended ? 0 : 1;
}

}  // namespace zolk::sessiontool
