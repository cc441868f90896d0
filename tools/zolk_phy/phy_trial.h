// phy_trial.h: one data transmission of one mode, from the transmit rig through the channel model
// into a receiving station, as zolk-phy tx and rx do it. Owns the rig and the counters of CPU time;
// the channel settings and the counting of successes are the caller's.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "phy/common/tables_file.h"
#include "sim/channel_model.h"
#include "tx_rig.h"

namespace zolk::phytool {

// The transmitter's drive level in every trial, zolk-phy tx's default.
inline constexpr std::int16_t kTrialDriveLevelDb = -5;

struct PhyTrialResult {
    bool ok = false;                      // a frame passed the CRC and carried the bytes sent
    std::optional<double> snrEstimateDb;  // the receiver's S/N estimate of the frame, if decoded
    double onAirPower = 0.0;              // mean power of the transmission's on-air part, 16-bit scale
};

// CPU seconds spent and seconds of audio handled, per direction.
struct PhyTrialCost {
    double txCpuSeconds = 0.0;
    double txAudioSeconds = 0.0;
    double rxCpuSeconds = 0.0;
    double rxAudioSeconds = 0.0;
};

class PhyTrial {
public:
    PhyTrial(const TablesFile& tables, int mode);

    // Sends one frame with a random payload drawn from payloadSeed after a quarter second of
    // channel noise, through a channel with these settings (the signal power is set here from the
    // transmission's on-air part, and a random delay of up to one capture block, also drawn from
    // payloadSeed, is added to the channel's), into a fresh station receiving this mode.
    PhyTrialResult run(sim::ChannelSettings channel, std::uint64_t payloadSeed);

    const PhyTrialCost& cost() const { return m_cost; }

private:
    const TablesFile& m_tables;
    int m_mode;
    TxRig m_rig;
    PhyTrialCost m_cost;
};

// What one trial sends for payloadSeed: a data frame of a random payload, and the random delay
// of up to one capture block drawn after it, with which the transmission meets the receiver.
struct TrialFrame {
    std::vector<std::uint8_t> frame;  // NetBytes
    double alignmentMs = 0.0;
};
TrialFrame trialFrame(int mode, std::uint64_t payloadSeed);

// A seed for one transmission of a sweep, mixed from the run's seed and where it stands.
std::uint64_t trialSeed(std::uint64_t seed, std::uint64_t point, std::uint64_t frame, std::uint64_t use);

}  // namespace zolk::phytool
