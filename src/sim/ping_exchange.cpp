#include "sim/ping_exchange.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "app/session_log.h"
#include "sim/channel_model.h"
#include "sim/harness.h"
#include "sim/virtual_time.h"

namespace zolk::sim {
namespace {

constexpr std::string_view kPingerCall = "EA5ABC";
constexpr std::string_view kPingedCall = "N0CALL";

std::unique_ptr<ChannelModel> channelOf(const PingPath& path) {
    return std::make_unique<ChannelModel>(ChannelSettings{.delayMs = path.delayMs,
                                                          .offsetHz = path.offsetHz,
                                                          .snrDb = path.snrDb,
                                                          .signalPower = path.signalPower,
                                                          .seed = path.seed});
}

void command(Harness& harness, SimStation& s, std::string_view line) {
    const std::string text = std::string(line) + "\r";
    harness.hostSends(s, HostSocket::Command,
                      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

double airPower(const SimStation& s) {
    std::vector<float> audio(s.air().begin(), s.air().end());
    return onAirPower(audio);
}

// The pinged station's debug line "... hears a fine ping 50.3 Hz off: reply 14".
void readReply(const std::filesystem::path& debugFile, PingOutcome& outcome) {
    std::ifstream in(debugFile);
    std::string line;
    while (std::getline(in, line)) {
        const auto at = line.find(" ping ");
        const auto reply = line.find("Hz off: reply ");
        if (line.find("hears a ") == std::string::npos || at == std::string::npos || reply == std::string::npos)
            continue;
        outcome.heardHz = std::stof(line.substr(at + 6, reply - at - 6));
        outcome.replyCode = std::stoi(line.substr(reply + 14));
    }
}

}  // namespace

PingOutcome runPingExchange(const std::filesystem::path& folder, PingKind kind, const PingPath& up,
                            const PingPath& down) {
    PingOutcome outcome;
    {
        Harness harness;
        SimStation& pinger = harness.addStation(folder / "pinger");
        SimStation& pinged = harness.addStation(folder / "pinged");
        auto upModel = channelOf(up);
        auto downModel = channelOf(down);
        outcome.roundTripMs =
            up.delayMs + down.delayMs + toMs(static_cast<SampleTime>(upModel->latency() + downModel->latency()));
        harness.connect(pinger, pinged, std::move(upModel));
        harness.connect(pinged, pinger, std::move(downModel));
        for (SimStation* s : {&pinger, &pinged}) {
            if (!s->station().start()) return outcome;
            harness.hostConnects(*s, HostSocket::Command);
        }
        pinged.station().sessionLog().setDebug(true);
        // Start-up fills the playback queues with silence first.
        harness.runFor(std::chrono::milliseconds{1500});
        command(harness, pinger, "MYCALL " + std::string(kPingerCall));
        command(harness, pinged, "MYCALL " + std::string(kPingedCall));
        command(harness, pinged, "LISTEN ON");
        command(harness, pinger, std::string(kind == PingKind::Rough ? "CALIBRATE ROUGH " : "CALIBRATE FINE ") +
                                     std::string(kPingedCall));
        // The longest ping: the reply's 10 s tone, its pattern, the round-trip allowance, delays.
        for (int step = 0; step < 250 && pinger.ui().calibration().size() < 2; ++step)
            harness.runFor(std::chrono::milliseconds{100});
        if (pinger.ui().calibration().size() >= 2) outcome.shown = pinger.ui().calibration().back();
        outcome.pingPower = airPower(pinger);
        outcome.replyPower = airPower(pinged);
        pinged.station().sessionLog().setDebug(false);
    }
    readReply(folder / "pinged" / kSessionDebugFileName, outcome);
    std::filesystem::remove_all(folder);
    return outcome;
}

}  // namespace zolk::sim
