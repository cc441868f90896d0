#include "phy_trial.h"

#include <algorithm>
#include <ctime>
#include <random>
#include <vector>

#include "phy/common/mode_table.h"
#include "phy/tx/data_frame.h"
#include "rx_rig.h"

namespace zolk::phytool {
namespace {

constexpr std::size_t kLeadSamples = 48 * kAudioBlockLength;       // 0.256 s of noise before
constexpr std::size_t kTrailSamples = 2 * 48000;                    // time for the last stages
// A transmission meets the receiver's grids (capture blocks, FFT frame steps of at most 128
// samples) at a random alignment, as on the air; a fixed one would favour or spoil every trial alike.
constexpr double kAlignmentSpreadMs = 1000.0 * kAudioBlockLength / 48000.0;

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace

std::uint64_t trialSeed(std::uint64_t seed, std::uint64_t point, std::uint64_t frame, std::uint64_t use) {
    return mix(mix(mix(seed + 0x9E3779B97F4A7C15ULL) + point) + frame) + use;
}

TrialFrame trialFrame(int mode, std::uint64_t payloadSeed) {
    const ModeRecord& record = modeRecord(mode);
    std::mt19937_64 random(payloadSeed);
    std::vector<std::uint8_t> payload(static_cast<std::size_t>(record.userBytes));
    for (auto& b : payload) b = static_cast<std::uint8_t>(random());
    TrialFrame sent{.frame = std::vector<std::uint8_t>(static_cast<std::size_t>(record.netBytes))};
    buildDataFrame(payload, {}, sent.frame);
    sent.alignmentMs = std::uniform_real_distribution<double>(0.0, kAlignmentSpreadMs)(random);
    return sent;
}

PhyTrial::PhyTrial(const TablesFile& tables, int mode)
    : m_tables(tables), m_mode(mode), m_rig(tables, kTrialDriveLevelDb) {}

PhyTrialResult PhyTrial::run(sim::ChannelSettings channel, std::uint64_t payloadSeed) {
    const TrialFrame sent = trialFrame(m_mode, payloadSeed);
    const std::vector<std::uint8_t>& frame = sent.frame;
    channel.delayMs += sent.alignmentMs;
    const std::span<const std::uint8_t> frames[] = {frame};

    std::vector<float> audio(kLeadSamples, 0.0F);
    const double txStart = cpuSeconds();
    m_rig.transmit(m_mode, frames, [&](std::span<const std::int16_t> samples) {
        audio.insert(audio.end(), samples.begin(), samples.end());
    });
    m_cost.txCpuSeconds += cpuSeconds() - txStart;
    m_cost.txAudioSeconds += static_cast<double>(audio.size() - kLeadSamples) / 48000.0;

    channel.signalPower = sim::onAirPower(audio);
    sim::ChannelModel model(channel);
    const std::size_t length = audio.size() + model.latency() + kTrailSamples;
    audio.resize((length + kAudioBlockLength - 1) / kAudioBlockLength * kAudioBlockLength, 0.0F);
    model.process(audio);

    PhyTrialResult result;
    result.onAirPower = channel.signalPower;
    RxRig station(m_tables, {.mode = m_mode}, [&](const FrameVerdict& verdict) {
        if (!verdict.good || !std::equal(frame.begin(), frame.end(), verdict.bytes.begin(), verdict.bytes.end())) return;
        result.ok = true;
        result.snrEstimateDb = verdict.snrDb;
    });
    // A frame that failed may be followed by a better detection of the same one: listen on until
    // the end unless it has been decoded.
    const double rxStart = cpuSeconds();
    std::size_t fed = 0;
    for (; fed < audio.size() && !result.ok; fed += kAudioBlockLength) {
        station.capture(std::span<const float, kAudioBlockLength>(audio.data() + fed, kAudioBlockLength));
    }
    m_cost.rxCpuSeconds += cpuSeconds() - rxStart;
    m_cost.rxAudioSeconds += static_cast<double>(fed) / 48000.0;
    return result;
}

}  // namespace zolk::phytool
