#include "phy/rx/tone_levels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "phy/common/mode_table.h"
#include "phy/rx/receive_front_end.h"
#include "phy/rx/tone_detector.h"

namespace zolk {

namespace {

constexpr float kLeastAmplitudeShare = 0.1f;

float powerAt(std::span<const float> snapshot, int symbol, int bin) {
    const float m = snapshot[static_cast<std::size_t>(symbol) * kSnapshotColumns +
                             static_cast<std::size_t>(bin)];
    return m * m;
}

}  // namespace

std::size_t toneLevelsScratchSize() {
    std::size_t largest = 0;
    for (const auto& r : kModeTable) {
        if (r.modeFamily == Family::Robust) {
            largest = std::max(largest, static_cast<std::size_t>(r.symbolLimit - 1) * r.toneBins);
        }
    }
    return largest;
}

ToneLevels measureToneLevels(const ModeTables& tables, std::span<const float> snapshot,
                             std::span<float> scratch) {
    const ModeRecord& r = tables.record();
    checkToneSnapshot(r, snapshot.size(), "measureToneLevels");
    if (scratch.size() < static_cast<std::size_t>(r.symbolLimit - 1) * r.toneBins) {
        throw std::invalid_argument("measureToneLevels: scratch store too small");
    }
    const int hypotheses = 1 << r.bitsPerCell;
    std::size_t noiseCount = 0;
    double cellPower = 0.0;
    double cellBins = 0.0;
    int cells = 0;
    std::array<bool, 256> candidate{};
    for (int j = 2; j <= r.symbolLimit; ++j) {
        std::fill(candidate.begin(), candidate.end(), false);
        for (int s = 0; s < r.carriers; ++s) {
            const int base = tables.streamHop(j, s);
            for (int t = 0; t < hypotheses; ++t)
                candidate[static_cast<std::size_t>(toneBin(r, base, t))] = true;
            ++cells;
            if (tables.streamToneA(j, s) != 0) {
                cellPower += powerAt(snapshot, j, toneBin(r, base, tables.streamToneB(j, s)));
                cellBins += 1.0;
                continue;
            }
            for (int t = 0; t < hypotheses; ++t)
                cellPower += powerAt(snapshot, j, toneBin(r, base, t));
            cellBins += hypotheses;
        }
        for (int bin = r.firstToneBin; bin < r.firstToneBin + r.toneBins; ++bin) {
            if (!candidate[static_cast<std::size_t>(bin)])
                scratch[noiseCount++] = powerAt(snapshot, j, bin);
        }
    }
    ToneLevels levels;
    if (noiseCount > 0) {
        const auto middle = scratch.begin() + static_cast<std::ptrdiff_t>(noiseCount / 2);
        std::nth_element(scratch.begin(), middle,
                         scratch.begin() + static_cast<std::ptrdiff_t>(noiseCount));
        levels.noisePower = *middle / std::numbers::ln2_v<float>;
    }
    const double signalPower = (cellPower - cellBins * levels.noisePower) / cells;
    const double least = kLeastAmplitudeShare * kLeastAmplitudeShare * levels.noisePower;
    levels.amplitude = static_cast<float>(std::sqrt(std::max(signalPower, least)));
    return levels;
}

}  // namespace zolk
