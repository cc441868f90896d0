// ping_exchange.h: one link calibration ping between two fresh stations in virtual time, each
// direction through its own channel model, started as a host starts it (CALIBRATE) at a station
// whose peer listens. For tests and the bench; owns nothing beyond the run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "ports/calibration_view.h"
#include "session/ping_codes.h"

namespace zolk::sim {

// One direction of the path. Noise needs the sending station's on-air signal power.
struct PingPath {
    double offsetHz = 0.0;
    double delayMs = 0.0;
    std::optional<double> snrDb = std::nullopt;
    double signalPower = 0.0;
    std::uint64_t seed = 1;
};

struct PingOutcome {
    // What the pinging station showed last: the result, or that no reply came; nothing when the
    // ping never ended within the run's limit.
    std::optional<CalibrationView> shown;
    // The pinged station's reply code (0: none) and the frequency it heard the ping at.
    int replyCode = 0;
    float heardHz = 0.0f;
    // Mean on-air power of each station's transmission (ChannelSettings::signalPower).
    double pingPower = 0.0;
    double replyPower = 0.0;
    // The true round trip of the two paths: their delays and the channel models' own latency
    // (the Hilbert filter of a path with a frequency offset).
    double roundTripMs = 0.0;
};

// Stations live in folder/pinger and folder/pinged (made, and removed afterwards). up carries the
// ping, down the reply.
PingOutcome runPingExchange(const std::filesystem::path& folder, PingKind kind, const PingPath& up,
                            const PingPath& down);

}  // namespace zolk::sim
