#include "session/round_trip.h"

#include <algorithm>
#include <cmath>

#include "phy/common/mode_table.h"

namespace zolk {
namespace {

constexpr std::int32_t kInitialControlTicks = 5264;
constexpr std::int32_t kSlackTicks = 200;

// The receiver's decoding time of a mode, taken as a tick count.
double processing(int mode) { return modeRecord(mode).ProcessingDelayMs; }

std::int32_t toTicks(double value) { return static_cast<std::int32_t>(std::nearbyint(value)); }

}  // namespace

void RoundTrip::reset() {
    m_controlSum = 0;
    m_controlCount = 0;
    m_controlRtt = kInitialControlTicks;
    m_sum.fill(0);
    m_count.fill(0);
    m_mean.fill(0.0);
    deriveUnsampledModes();
}

void RoundTrip::deriveUnsampledModes() {
    const double controlMean = (m_controlRtt - kSlackTicks) / 2.0;
    for (int m = 1; m < kModes; ++m) {
        const auto i = static_cast<std::size_t>(m);
        if (m_count[i] != 0) continue;
        m_mean[i] = processing(m) + controlMean;
        m_rtt[i] = toTicks(2.0 * processing(m) + m_mean[i] + kSlackTicks);
    }
}

void RoundTrip::recordControl(std::int32_t sampleTicks) {
    m_controlSum += std::max(sampleTicks, 0);
    ++m_controlCount;
    const double mean = static_cast<double>(m_controlSum) / m_controlCount;
    m_controlRtt = toTicks(2.0 * mean + kSlackTicks);
    deriveUnsampledModes();
}

void RoundTrip::recordData(int mode, std::int32_t sampleTicks) {
    const int m = mode == 0 || mode == 14 ? 1 : mode;
    const auto i = static_cast<std::size_t>(m);
    m_sum[i] += std::max(sampleTicks, 0);
    ++m_count[i];
    m_mean[i] = static_cast<double>(m_sum[i]) / m_count[i];
    int lowest = 0;
    int highest = 0;
    for (int j = 1; j < kModes; ++j) {
        if (m_count[static_cast<std::size_t>(j)] == 0) continue;
        if (lowest == 0) lowest = j;
        highest = j;
    }
    // Unsampled modes outside the sampled range follow the nearest sampled mode by the
    // difference in decoding time; those between sampled modes keep what they had.
    for (int j = 1; j < kModes; ++j) {
        const auto k = static_cast<std::size_t>(j);
        if (m_count[k] != 0) continue;
        const int h = j < lowest ? lowest : (j > highest ? highest : 0);
        if (h == 0) continue;
        m_mean[k] = m_mean[static_cast<std::size_t>(h)] + processing(j) - processing(h);
    }
    for (int j = 1; j < kModes; ++j) {
        const auto k = static_cast<std::size_t>(j);
        m_rtt[k] = toTicks(2.0 * m_mean[k] + kSlackTicks);
    }
}

std::int32_t RoundTrip::dataTicks(int mode) const {
    const int m = mode == 0 || mode == 14 ? 1 : std::clamp(mode, 1, kModes - 1);
    return m_rtt[static_cast<std::size_t>(m)];
}

}  // namespace zolk
