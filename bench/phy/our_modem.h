// our_modem.h: one of our modes as the benchmark drives it, through zolk-phy's trial (transmit rig,
// channel model, receiving station). Owns the loaded tables and the trial; the counting is the caller's.
#pragma once

#include <memory>
#include <string>

#include "modem_under_test.h"
#include "phy/common/tables_file.h"
#include "phy_trial.h"

namespace zolk::bench {

class OurModem final : public ModemUnderTest {
public:
    explicit OurModem(int mode);  // throws std::runtime_error when the tables file cannot be loaded

    std::string name() const override { return "mode " + std::to_string(m_mode); }
    double bitRate() const override;
    TrialResult trial(sim::ChannelSettings channel, std::uint64_t payloadSeed) override;

    const phytool::PhyTrialCost& cost() const { return m_trial->cost(); }

private:
    int m_mode;
    std::shared_ptr<const TablesFile> m_tables;
    std::unique_ptr<phytool::PhyTrial> m_trial;
};

struct Cost {
    double txCpuPerSecond = 0.0;
    double rxCpuPerSecond = 0.0;
    double peakMemoryMb = 0.0;
};

// CPU per second of audio of a few transmissions at an S/N well above the mode's threshold.
Cost measureCost(int mode);

}  // namespace zolk::bench
