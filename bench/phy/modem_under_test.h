// modem_under_test.h: what the benchmark needs of a modem: its rate and one transmission through a
// channel. Owns nothing; our modes and the reference modes each implement it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/channel_model.h"

namespace zolk::bench {

struct TrialResult {
    bool ok = false;
    std::optional<double> snrEstimateDb;  // the receiver's own S/N estimate of the decoded frame
};

class ModemUnderTest {
public:
    virtual ~ModemUnderTest() = default;
    virtual std::string name() const = 0;
    virtual double bitRate() const = 0;
    // One transmission through a channel with these settings (the signal power is the modem's to
    // set from its own on-air audio), decoded by a fresh receiver.
    virtual TrialResult trial(sim::ChannelSettings channel, std::uint64_t payloadSeed) = 0;
};

}  // namespace zolk::bench
