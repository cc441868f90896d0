#include "phy/rx/busy_detector.h"

#include <algorithm>
#include <stdexcept>

namespace zolk {

bool signalAboveFloor(std::span<const float> powers, std::span<float> work) {
    if (work.size() != powers.size() || powers.size() < kBusyFloorSeedBins)
        throw std::invalid_argument("signalAboveFloor: work must match the powers, at least 7 bins");
    std::copy(powers.begin(), powers.end(), work.begin());
    std::sort(work.begin(), work.end());
    // The bins taken are always the weakest ones: each round takes every bin up to a threshold
    // that never falls, so the taken set is a prefix of the sorted powers and its sum grows.
    std::size_t taken = kBusyFloorSeedBins;
    double sum = 0.0;
    for (std::size_t i = 0; i < taken; ++i) sum += work[i];
    for (;;) {
        const auto threshold = static_cast<float>(kBusyFloorFactor * sum / static_cast<double>(taken));
        const auto end = static_cast<std::size_t>(std::upper_bound(work.begin(), work.end(), threshold) - work.begin());
        if (end <= taken) break;
        for (std::size_t i = taken; i < end; ++i) sum += work[i];
        taken = end;
    }
    return taken < work.size();
}

BusyDetector::BusyDetector() : m_fft(kBusyBlockSamples) {}

void BusyDetector::restart() {
    m_position = 0;
    m_freeCount = 0;
    m_testPhase = 0;
}

BusyVerdict BusyDetector::push(Complex z, float inputLevelDb) {
    m_block[m_position] = z;
    m_position = (m_position + 1) % kBusyBlockSamples;
    if (m_position != 0) return BusyVerdict::None;
    m_freeCount = (m_freeCount + 1) % kBusyReleaseBlocks;
    m_testPhase = (m_testPhase + 1) % kBusyTestInterval;
    // The test runs before the release count is judged: a signal heard in the block that ends the
    // release time keeps the channel busy instead of freeing it for an instant.
    if (m_testPhase == 0 && inputLevelDb > kBusyLevelGateDb) {
        m_fft.transform(m_block);
        for (std::size_t k = 0; k < kBusyBins; ++k) m_powers[k] = complexPower(m_block[kBusyFirstBin + k]);
        if (signalAboveFloor(m_powers, m_work)) {
            m_freeCount = 0;
            return BusyVerdict::Busy;
        }
    }
    return m_freeCount == 0 ? BusyVerdict::Free : BusyVerdict::None;
}

}  // namespace zolk
