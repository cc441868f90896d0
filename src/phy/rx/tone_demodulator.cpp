#include "phy/rx/tone_demodulator.h"

#include <algorithm>
#include <cmath>

#include "phy/common/constellation.h"
#include "phy/common/numeric.h"
#include "phy/rx/receive_front_end.h"
#include "phy/rx/tone_detector.h"
#include "phy/rx/tone_levels.h"
#include "phy/rx/tone_soft_bits.h"

namespace zolk {

namespace {

std::size_t largestRobustCodedBits() {
    std::size_t largest = 0;
    for (const auto& r : kModeTable) {
        if (r.modeFamily == Family::Robust) {
            largest = std::max<std::size_t>(largest, static_cast<std::size_t>(r.codedBits));
        }
    }
    return largest;
}

float magnitudeAt(std::span<const float> snapshot, int symbol, int bin) {
    return snapshot[static_cast<std::size_t>(symbol) * kSnapshotColumns + static_cast<std::size_t>(bin)];
}

}  // namespace

ToneDemodulator::ToneDemodulator()
    : m_soft(largestRobustCodedBits()),
      m_deinterleaved(largestRobustCodedBits()),
      m_scratch(toneLevelsScratchSize()) {}

void ToneDemodulator::stage1(const ModeTables& tables, std::span<const float> snapshot) {
    const ModeRecord& r = tables.record();
    checkToneSnapshot(r, snapshot.size(), "Stage1");
    const int bits = r.bitsPerCell;
    const int hypotheses = 1 << bits;
    // valueOfTone[t]: the cell value whose Gray code is tone t (the transmitter sends Gray(value)).
    std::array<int, kMaxToneHypotheses> valueOfTone{};
    for (int v = 0; v < hypotheses; ++v) {
        valueOfTone[kGrayTable[static_cast<std::size_t>((bits - 2) * 16 + v)]] = v;
    }
    const ToneBitMetric metric(measureToneLevels(tables, snapshot, m_scratch));
    m_count = 0;
    std::array<float, kMaxToneHypotheses> byValue{};
    std::array<float, kMaxToneBits> cellBits{};
    for (int s = 0; s < r.carriers; ++s) {
        for (int j = 2; j <= r.symbolLimit && m_count + static_cast<std::size_t>(bits) <= m_soft.size(); ++j) {
            if (tables.streamToneA(j, s) != 0) {
                continue;
            }
            const int base = tables.streamHop(j, s);
            for (int t = 0; t < hypotheses; ++t) {
                byValue[static_cast<std::size_t>(valueOfTone[static_cast<std::size_t>(t)])] =
                    magnitudeAt(snapshot, j, toneBin(r, base, t));
            }
            metric.cellBits(std::span<const float>(byValue).first(static_cast<std::size_t>(hypotheses)), bits, cellBits);
            for (int k = 0; k < bits; ++k) m_soft[m_count++] = cellBits[static_cast<std::size_t>(k)];
        }
    }
    const auto& interleaver = tables.bitInterleaver;
    for (std::size_t i = 0; i < m_count && i < interleaver.size(); ++i) {
        m_deinterleaved[interleaver[i]] = std::tanh(0.5f * m_soft[i]);
    }
}

float estimateToneSnr(const ModeTables& tables, std::span<const float> snapshot) {
    const ModeRecord& r = tables.record();
    checkToneSnapshot(r, snapshot.size(), "EstimateToneSnr");
    const int hypotheses = 1 << r.bitsPerCell;
    float accumulated = 0.0f;
    for (int s = 0; s < r.carriers; ++s) {
        for (int j = 2; j <= r.symbolLimit; ++j) {
            if (tables.streamToneA(j, s) == 0) {
                continue;
            }
            const int base = tables.streamHop(j, s);
            float sum = 0.0f;
            for (int t = 0; t < hypotheses; ++t) {
                sum += magnitudeAt(snapshot, j, toneBin(r, base, t));
            }
            const float expected = magnitudeAt(snapshot, j, toneBin(r, base, tables.streamToneB(j, s)));
            const float noise = (sum - expected) / static_cast<float>(hypotheses - 1);
            if (noise > 0.0f) {
                accumulated += expected / noise;
            }
        }
    }
    const float ratio = accumulated / static_cast<float>(r.reservedCells);
    return 20.0f * log10(ratio) + 10.0f * log10(static_cast<float>(r.carriers)) +
           10.0f * log10(64.0f / static_cast<float>(r.binsPerSymbol)) - 18.4f;
}

}  // namespace zolk
