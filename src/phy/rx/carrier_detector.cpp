#include "phy/rx/carrier_detector.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "phy/common/numeric.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {

namespace {

std::size_t largestHeaderCount() {
    std::size_t largest = 0;
    for (const auto& r : kModeTable) {
        largest =
            std::max<std::size_t>(largest, static_cast<std::size_t>(r.carriers) * r.headerSymbols);
    }
    return largest;
}

// Mer of the header turns of the mode's frame whose last symbol ends in the newest FFT frame:
// cell(back, bin) is bin `bin` of the FFT frame `back` frames before the newest. z: room for
// every header cell.
template <typename Cell>
float headerMer(const ModeTables& tables, const DrawnTables& drawn, std::vector<Complex>& z,
                Complex& mean, Cell cell) {
    const ModeRecord& r = tables.record();
    const int b = r.guardEighths;
    std::size_t n = 0;
    for (int o = r.firstCarrierBin, c = 0; o <= r.lastCarrierBin; o += r.carrierStride, ++c) {
        for (int h = 0; h < r.headerSymbols && n < z.size(); ++h) {
            const int t = tables.headerPosition(c, h);
            // The header cell's symbol t and the one before it, counted back from SymbolLimit.
            const auto back = static_cast<std::size_t>((r.symbolLimit - t + 1) * b);
            const Complex product = complexMul(complexConj(cell(back, o)), cell(back - static_cast<std::size_t>(b), o));
            z[n++] = complexNormalize(complexMul(product, drawn.headerReference(o, t - 3)));
        }
    }
    return mer(std::span<const Complex>(z.data(), n), mean);
}

}  // namespace

float mer(std::span<const Complex> z, Complex& mean) {
    mean = {};
    if (z.empty()) {
        return kNoValue;
    }
    Complex sum{};
    for (const Complex v : z) {
        sum = complexAdd(sum, v);
    }
    const float n = static_cast<float>(z.size());
    mean = {sum.real() / n, sum.imag() / n};
    float err = 0.0f;
    for (const Complex v : z) {
        err += complexPower(complexSub(v, mean));
    }
    if (!(err > 0.0f)) {
        return kNoValue;
    }
    const float ratio = log10(n * complexPower(mean) / err);
    return ratio == kNoValue ? kNoValue : 10.0f * ratio;
}

CarrierFrameDetector::CarrierFrameDetector() : m_z(largestHeaderCount()) {
    m_bestMer.fill(kNoValue);
}

std::optional<CarrierDetection> CarrierFrameDetector::detectFrame(
    const ModeTables& tables, const DrawnTables& drawn, int slot, std::span<const Complex> spectra,
    std::uint16_t frameIndex, std::uint32_t ringIndex, std::span<const ShiftedFrames> shifted) {
    const ModeRecord& r = tables.record();
    if (r.modeFamily != Family::MultiCarrier || spectra.size() % kMaxBins != 0 ||
        spectra.size() < searchedFrames(r) * kMaxBins) {
        throw std::invalid_argument("DetectFrame: a multi-carrier mode and whole FFT frames, as many as the search reads");
    }
    const std::size_t ring = spectra.size() / kMaxBins;
    Complex mean{};
    float merDb = headerMer(tables, drawn, m_z, mean, [&](std::size_t back, int bin) {
        const std::size_t frame = (frameIndex + ring - back) % ring;
        return spectra[frame * kMaxBins + static_cast<std::size_t>(bin)];
    });
    float searchHz = 0.0f;
    for (const ShiftedFrames& frames : shifted) {
        Complex shiftedMean{};
        const float shiftedDb = headerMer(tables, drawn, m_z, shiftedMean, [&](std::size_t back, int bin) {
            return frames.cell(back, static_cast<std::size_t>(bin));
        });
        if (shiftedDb > merDb) {
            merDb = shiftedDb;
            mean = shiftedMean;
            searchHz = frames.shiftHz;
        }
    }
    return trackPeak(tables.mode, slot, merDb, mean, ringIndex, searchHz);
}

std::optional<CarrierDetection> CarrierFrameDetector::trackPeak(int mode, int slot, float merDb,
                                                                Complex mean,
                                                                std::uint32_t ringIndex,
                                                                float searchHz) {
    const auto s = static_cast<std::size_t>(slot);
    const ModeRecord& r = modeRecord(mode);
    if (merDb > m_bestMer[s] && merDb > kMinCandidateMerDb) {
        m_bestMer[s] = merDb;
        m_bestCorrelation = mean;
        m_bestSearchHz = searchHz;
        m_peakCountdown[s] = r.guardEighths;
        m_bestRingIndex = ringIndex;
        m_candidateFlag[s] = 1;
    }
    if (m_peakCountdown[s] != 0) {
        --m_peakCountdown[s];
        return std::nullopt;
    }
    if (m_candidateFlag[s] != 1) {
        return std::nullopt;
    }
    // The header correlation turns by the carrier error over one symbol period (body and guard).
    const float phase = complexAngle(m_bestCorrelation);
    const float measured =
        phase * r.carrierSpacing / ((r.guardFraction + 1.0f) * 2.0f * std::numbers::pi_v<float>);
    const float fullTurnHz = r.carrierSpacing / (r.guardFraction + 1.0f);
    CarrierDetection detection;
    detection.mode = mode;
    detection.bestMer = m_bestMer[s];
    detection.frequencyShift = measured + fullTurnHz * std::nearbyint((m_bestSearchHz - measured) / fullTurnHz);
    detection.ringIndex = m_bestRingIndex;
    m_candidateFlag[s] = 0;
    m_bestMer[s] = kNoValue;
    return detection;
}

}  // namespace zolk
