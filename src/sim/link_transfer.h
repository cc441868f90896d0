// link_transfer.h: one whole link as a user runs one: both hosts hand over their bytes, A calls B,
// and when every byte has arrived and the senders have heard the last acknowledgement, A's host
// sends DISCONNECT. Owns nothing; measures what the pair's hosts saw.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/station_pair.h"

namespace zolk::sim {

struct TransferPlan {
    std::vector<std::uint8_t> fromA = {};
    std::vector<std::uint8_t> fromB = {};
    double limitS = 3600.0;       // virtual seconds from the call until every byte is acknowledged
    double disconnectLimitS = 120.0;
};

struct TransferResult {
    bool connected = false;
    bool delivered = false;   // each host got exactly the other's bytes, and both saw BUFFER 0
    bool ended = false;       // both sessions idle again, each host told DISCONNECTED once
    double callS = 0.0;       // when A's host sent CONNECT
    std::optional<double> connectedS;  // A's host saw CONNECTED
    std::optional<double> doneS;       // every byte delivered and acknowledged
    std::optional<double> endedS;      // both idle after the DISCONNECT
    // User bytes per second from CONNECTED at the far host to the last byte there; 0 without bytes.
    double goodputAtoB = 0.0;
    double goodputBtoA = 0.0;
};

TransferResult runTransfer(StationPair& pair, const TransferPlan& plan);

// Random bytes, the same for a seed everywhere.
std::vector<std::uint8_t> randomBytes(std::size_t count, std::uint64_t seed);

}  // namespace zolk::sim
