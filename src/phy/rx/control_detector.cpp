#include "phy/rx/control_detector.h"

#include <algorithm>
#include <array>
#include <limits>

namespace zolk {
namespace {

constexpr float kToneSpacingHz = 46.875f;  // 48000 Hz / 1024
constexpr int kRowsPerSymbol = 8;

struct Count {
    int hits = 0;
    float sum = 0.0f;
};

// Hits and sum of one code at one offset. bin(s, tone) gives the power of tone shifted by the
// offset in symbol s; scale is the bins per tone. Stops once hitsNeeded are out of reach unless
// countAll.
template <typename Power>
Count countHits(const ControlPatternTable& table, int code, int scale, int offset, int hitsNeeded, bool countAll,
                Power&& power) {
    Count count;
    const auto& tones = table.toneOf[static_cast<std::size_t>(code)];
    const auto& bands = table.bandLow[static_cast<std::size_t>(code)];
    for (int s = 0; s < kControlSymbols; ++s) {
        const float e = power(s, scale * tones[static_cast<std::size_t>(s)] + offset);
        count.sum += e;
        float strongest = 0.0f;
        const int low = scale * bands[static_cast<std::size_t>(s)] + offset;
        for (int t = 0; t < kControlBandTones; ++t) strongest = std::max(strongest, power(s, low + scale * t));
        if (strongest > 0.0f && strongest == e) ++count.hits;
        if (!countAll && count.hits + (kControlSymbols - 1 - s) < hitsNeeded) break;
    }
    return count;
}

// The confirmation statistic of one code at one offset: the mean power of the pattern's tones
// over the 31 symbols divided by the mean power of the other six tones of their bands (the noise
// of those bins). Infinite where those bins are silent and the tones are not.
template <typename Power>
float confirmationOf(const ControlPatternTable& table, int code, int scale, int offset, Power&& power) {
    const auto& tones = table.toneOf[static_cast<std::size_t>(code)];
    const auto& bands = table.bandLow[static_cast<std::size_t>(code)];
    float toneSum = 0.0f;
    float otherSum = 0.0f;
    for (int s = 0; s < kControlSymbols; ++s) {
        const float e = power(s, scale * tones[static_cast<std::size_t>(s)] + offset);
        toneSum += e;
        const int low = scale * bands[static_cast<std::size_t>(s)] + offset;
        for (int t = 0; t < kControlBandTones; ++t) otherSum += power(s, low + scale * t);
        otherSum -= e;
    }
    if (otherSum <= 0.0f) return toneSum > 0.0f ? std::numeric_limits<float>::infinity() : 0.0f;
    return toneSum * (kControlBandTones - 1) / otherSum;
}

}  // namespace

std::optional<ControlDetection> ControlDetector::listenFor(const ControlPatternTable& table,
                                                           std::span<const std::uint8_t> codes, ControlSearch search) {
    const bool wide = search == ControlSearch::Wide;
    return listenFor(table, codes, PatternSearch{search, wide ? kWideOffsets : 0, kControlHitsNeeded});
}

std::optional<ControlDetection> ControlDetector::listenFor(const ControlPatternTable& table,
                                                           std::span<const std::uint8_t> codes,
                                                           const PatternSearch& search) {
    if (codes.empty()) return std::nullopt;
    const bool wide = search.spectrogram == ControlSearch::Wide;
    const int scale = wide ? 2 : 1;
    const int maxOffset = search.maxOffset;
    const int startRow = (m_frontEnd.spectrogramRow() + 256 - (kControlSymbols - 1) * kRowsPerSymbol) % 256;
    std::array<const float*, kControlSymbols> rows{};
    for (int s = 0; s < kControlSymbols; ++s) {
        const auto row = static_cast<std::size_t>((startRow + kRowsPerSymbol * s) % 256);
        rows[static_cast<std::size_t>(s)] = wide ? m_frontEnd.wideSpectrogram(row).data()
                                                 : m_frontEnd.narrowSpectrogram(row).data();
    }
    const auto power = [&](int s, int bin) { return rows[static_cast<std::size_t>(s)][bin]; };

    m_lastRun = ControlRunStats{};
    for (std::uint8_t code : codes) {
        if (code < 1 || code > kControlCodeCount) continue;
        for (int q = -maxOffset; q <= maxOffset; ++q) {
            const Count c = countHits(table, code, scale, q, search.hitsNeeded, m_countAll, power);
            m_lastRun.mostHits = std::max(m_lastRun.mostHits, c.hits);
            const bool candidate = c.hits >= search.hitsNeeded && c.sum >= m_record.sum;
            const bool measured = m_countAll && c.hits >= 13;
            if (!candidate && !measured) continue;
            const float confirmation = confirmationOf(table, code, scale, q, power);
            if (measured) m_lastRun.candidates.push_back({c.hits, confirmation});
            if (candidate && confirmation >= m_confirmationThreshold) {
                m_record = Record{.sum = c.sum,
                                  .coarseOffset = static_cast<std::int16_t>(q),
                                  .code = code,
                                  .countdown = kCountdownRuns,
                                  .ringIndex = m_frontEnd.ringIndex(),
                                  .hits = static_cast<std::uint8_t>(c.hits),
                                  .confirmation = confirmation,
                                  .search = search.spectrogram,
                                  .hitsNeeded = search.hitsNeeded};
            }
        }
    }
    if (m_record.countdown >= 1) {
        --m_record.countdown;
        return std::nullopt;
    }
    if (m_record.code == 0) return std::nullopt;
    const ControlDetection detection = report(table);
    clearRecord();
    return detection;
}

// The fine offset on the quarter-bin spectrum of the recorded alignment: the uncorrected ring for
// the wide search (the AFC becomes the estimate), the corrected one otherwise (half the residual).
// A detector that leaves the AFC alone only measures.
ControlDetection ControlDetector::report(const ControlPatternTable& table) {
    const bool wide = m_record.search == ControlSearch::Wide;
    const int scale = wide ? 2 : 1;
    m_frontEnd.snapshot(m_record.ringIndex, wide ? SnapshotSource::BasebandRing : SnapshotSource::CorrectedRing);
    const auto power = [&](int s, int bin) {
        if (bin < 0 || bin >= 256) return 0.0f;
        return m_frontEnd.snapshotSpectrum(static_cast<std::size_t>(s + 2))[static_cast<std::size_t>(bin)];
    };
    const int centre = scale * m_record.coarseOffset;
    bool found = false;
    int bestI = 0;
    float bestSum = 0.0f;
    for (int i = centre - 1; i <= centre + 1; ++i) {
        const Count c = countHits(table, m_record.code, 4, i, m_record.hitsNeeded, true, power);
        if (c.hits >= m_record.hitsNeeded && (!found || c.sum >= bestSum)) {
            found = true;
            bestI = i;
            bestSum = c.sum;
        }
    }

    ControlDetection d;
    d.code = m_record.code;
    d.search = m_record.search;
    d.coarseOffset = m_record.coarseOffset;
    d.ringIndex = m_record.ringIndex;
    d.hits = m_record.hits;
    d.sum = m_record.sum;
    d.confirmation = m_record.confirmation;
    d.fineFound = found;
    float quarterBins = static_cast<float>(found ? bestI : centre);
    if (found && m_fineMethod == FineOffsetMethod::Interpolated) {
        const float below = countHits(table, m_record.code, 4, bestI - 1, m_record.hitsNeeded, true, power).sum;
        const float above = countHits(table, m_record.code, 4, bestI + 1, m_record.hitsNeeded, true, power).sum;
        const float curvature = below - 2.0f * bestSum + above;
        if (curvature < 0.0f) quarterBins += std::clamp(0.5f * (below - above) / curvature, -0.5f, 0.5f);
    }
    d.fineOffsetHz = quarterBins * kToneSpacingHz / 4.0f;
    // Without a fine alignment the narrow search has no estimate; the wide one keeps its coarse one.
    if (m_afc == DetectorAfc::Follow) {
        float afc = m_frontEnd.receiveFrequencyOffsetHz();
        if (wide) {
            afc = -d.fineOffsetHz;
        } else if (found) {
            afc -= d.fineOffsetHz / 2.0f;
        }
        m_frontEnd.setReceiveFrequencyOffsetHz(afc);
    }
    d.receiveFrequencyOffsetHz = m_frontEnd.receiveFrequencyOffsetHz();
    return d;
}

}  // namespace zolk
