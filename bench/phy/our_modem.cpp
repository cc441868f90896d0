#include "our_modem.h"

#include <stdexcept>

#include "phy/common/mode_table.h"

namespace zolk::bench {
namespace {

constexpr int kCostTransmissions = 4;
constexpr double kCostMarginDb = 10.0;

}  // namespace

OurModem::OurModem(int mode) : m_mode(mode) {
    const TablesFileLoad load = loadTablesFile(locateTablesFile(std::nullopt, executableDir()));
    if (load.error != TablesFileError::None) throw std::runtime_error(load.message);
    m_tables = load.tables;
    m_trial = std::make_unique<phytool::PhyTrial>(*m_tables, mode);
}

double OurModem::bitRate() const { return modeRecord(m_mode).netBitRate; }

TrialResult OurModem::trial(sim::ChannelSettings channel, std::uint64_t payloadSeed) {
    const phytool::PhyTrialResult r = m_trial->run(channel, payloadSeed);
    return {.ok = r.ok, .snrEstimateDb = r.snrEstimateDb};
}

Cost measureCost(int mode) {
    OurModem modem(mode);
    for (int i = 0; i < kCostTransmissions; ++i) {
        sim::ChannelSettings channel{.snrDb = modeRecord(mode).snrThreshold + kCostMarginDb,
                                     .seed = static_cast<std::uint64_t>(i + 1)};
        modem.trial(channel, static_cast<std::uint64_t>(i + 1));
    }
    const auto& c = modem.cost();
    return {.txCpuPerSecond = c.txCpuSeconds / c.txAudioSeconds, .rxCpuPerSecond = c.rxCpuSeconds / c.rxAudioSeconds};
}

}  // namespace zolk::bench
