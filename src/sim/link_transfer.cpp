#include "sim/link_transfer.h"

#include <algorithm>
#include <random>

#include "app/station_session.h"

namespace zolk::sim {
namespace {

bool idle(StationPair& pair) {
    return !pair.station(Side::A).station().session().arq().inProgress() &&
           !pair.station(Side::B).station().session().arq().inProgress();
}

double goodput(const HostView& receiver, std::size_t bytes) {
    if (bytes == 0 || !receiver.connectedS || !receiver.lastByteS) return 0.0;
    const double seconds = *receiver.lastByteS - *receiver.connectedS;
    return seconds > 0.0 ? static_cast<double>(bytes) / seconds : 0.0;
}

int countDisconnected(const HostView& view) {
    return static_cast<int>(std::count_if(view.replies.begin(), view.replies.end(),
                                          [](const HostReply& r) { return r.line == "DISCONNECTED"; }));
}

}  // namespace

std::vector<std::uint8_t> randomBytes(std::size_t count, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

TransferResult runTransfer(StationPair& pair, const TransferPlan& plan) {
    TransferResult result;
    pair.send(Side::A, plan.fromA);
    pair.send(Side::B, plan.fromB);
    result.callS = pair.nowS();
    pair.callB();
    const HostView& a = pair.host(Side::A);
    const HostView& b = pair.host(Side::B);
    // A sender that never had bytes never sees a BUFFER line.
    const auto acknowledged = [](const HostView& view, std::size_t sent) {
        return sent == 0 || view.lastBuffer == 0u;
    };
    const auto through = [&] {
        return b.received.size() >= plan.fromA.size() && a.received.size() >= plan.fromB.size() &&
               acknowledged(a, plan.fromA.size()) && acknowledged(b, plan.fromB.size()) && a.connectedS &&
               b.connectedS;
    };
    // A link that ended by itself (the call unanswered, the link timed out) is over too.
    pair.runUntil([&] { return through() || a.disconnectedS || b.disconnectedS; }, plan.limitS);
    const bool done = through();
    result.connected = a.connectedS.has_value() && b.connectedS.has_value();
    result.connectedS = a.connectedS;
    if (done) result.doneS = pair.nowS();
    result.delivered = done && a.received == plan.fromB && b.received == plan.fromA;
    result.goodputAtoB = goodput(b, plan.fromA.size());
    result.goodputBtoA = goodput(a, plan.fromB.size());
    pair.command(Side::A, "DISCONNECT");
    if (pair.runUntil([&] { return idle(pair); }, plan.disconnectLimitS)) result.endedS = pair.nowS();
    result.ended = result.endedS && countDisconnected(a) == 1 && countDisconnected(b) == 1;
    return result;
}

}  // namespace zolk::sim
