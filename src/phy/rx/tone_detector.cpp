#include "phy/rx/tone_detector.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "phy/rx/receive_front_end.h"

namespace zolk {

namespace {

// Header tones are multiples of ToneGroups: the detector weighs only those candidates.
int candidateCount(const ModeRecord& r) { return (1 << r.bitsPerCell) / r.toneGroups; }

struct HeaderScore {
    float sum = 0.0f;
    int correct = 0;
};

// Sums the expected tone's power over all header cells and counts the cells where it is the
// strongest (and non-zero) of the candidates. powerAt(symbol, bin of the tone) reads the spectrum;
// bin maps a tone bin to the spectrum's bin.
template <typename PowerAt, typename Bin>
HeaderScore scoreHeader(const ModeTables& tables, PowerAt powerAt, Bin bin) {
    const ModeRecord& r = tables.record();
    HeaderScore score;
    for (int s = 0; s < r.carriers; ++s) {
        for (int n = 0; n < r.headerSymbols; ++n) {
            const int m = tables.streamHeaderCell(s, n);
            const int base = tables.streamHop(m, s);
            const float expected = powerAt(m, bin(toneBin(r, base, tables.streamToneB(m, s))));
            score.sum += expected;
            float strongest = 0.0f;
            for (int c = 0; c < candidateCount(r); ++c) {
                strongest =
                    std::max(strongest, powerAt(m, bin(toneBin(r, base, c * r.toneGroups))));
            }
            if (strongest > 0.0f && strongest == expected) {
                ++score.correct;
            }
        }
    }
    return score;
}

}  // namespace

void checkToneSnapshot(const ModeRecord& r, std::size_t snapshotSize, const char* caller) {
    if (r.modeFamily != Family::Robust || snapshotSize < kSnapshotRows * kSnapshotColumns) {
        throw std::invalid_argument(std::string(caller) + ": a robust mode and all of SnapshotSpectrum");
    }
}

std::optional<ToneDetection> ToneFrameDetector::detectToneFrame(const ModeTables& tables, int slot,
                                                                std::span<const float> power,
                                                                std::uint16_t frameIndex,
                                                                std::uint32_t ringIndex) {
    const ModeRecord& r = tables.record();
    if (r.modeFamily != Family::Robust || power.size() % kMaxBins != 0 ||
        power.size() < searchedFrames(r) * kMaxBins) {
        throw std::invalid_argument("DetectToneFrame: a robust mode and whole FFT frames, as many as the search reads");
    }
    const auto s = static_cast<std::size_t>(slot);
    const int b = r.guardEighths;
    const int ring = static_cast<int>(power.size() / kMaxBins);
    int start = frameIndex - (r.symbolLimit - 2) * b;
    if (start < 0) {
        start += ring;
    }
    const auto powerAt = [&](int symbol, int bin) {
        const int frame = (start + (symbol - 2) * b) % ring;
        return power[static_cast<std::size_t>(frame) * kMaxBins + static_cast<std::size_t>(bin)];
    };
    const HeaderScore score = scoreHeader(tables, powerAt, [](int bin) { return bin; });
    if (score.sum >= m_best[s] && score.correct > kMinCorrectHeaderCells) {
        m_best[s] = score.sum;
        m_count[s] = static_cast<std::uint8_t>(score.correct);
        m_countdown[s] = r.guardEighths;
        m_bestRingIndex = ringIndex;
        m_candidate[s] = 1;
    }
    if (m_countdown[s] != 0) {
        --m_countdown[s];
        return std::nullopt;
    }
    if (m_candidate[s] != 1) {
        return std::nullopt;
    }
    ToneDetection detection{tables.mode, m_bestRingIndex, m_count[s], m_best[s]};
    m_candidate[s] = 0;
    m_countdown[s] = 0;
    m_best[s] = 0.0f;
    return detection;
}

float estimateToneShift(const ModeTables& tables, std::span<const float> snapshot) {
    const ModeRecord& r = tables.record();
    checkToneSnapshot(r, snapshot.size(), "EstimateToneShift");
    const auto powerAt = [&](int symbol, int bin) {
        return snapshot[static_cast<std::size_t>(symbol) * kSnapshotColumns + static_cast<std::size_t>(bin)];
    };
    float best = 0.0f;
    int offset = 0;
    for (const int d : {-1, 0, 1}) {
        // Quarter-bin index in 8-bit arithmetic: 4 x 0 - 1 wraps to the top of the 256-point spectrum.
        const auto quarter = [d](int bin) { return static_cast<int>(static_cast<std::uint8_t>(4 * bin + d)); };
        const HeaderScore score = scoreHeader(tables, powerAt, quarter);
        if (score.correct > kMinCorrectHeaderCells && score.sum >= best) {
            best = score.sum;
            offset = d;
        }
    }
    return static_cast<float>(offset) * r.carrierSpacing / 4.0f;
}

}  // namespace zolk
