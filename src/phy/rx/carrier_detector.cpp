#include "phy/rx/carrier_detector.h"

#include <algorithm>
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
    std::uint16_t frameIndex, std::uint32_t ringIndex) {
    const ModeRecord& r = tables.record();
    if (r.modeFamily != Family::MultiCarrier || spectra.size() % kMaxBins != 0 ||
        spectra.size() < searchedFrames(r) * kMaxBins) {
        throw std::invalid_argument("DetectFrame: a multi-carrier mode and whole FFT frames, as many as the search reads");
    }
    const int b = r.guardEighths;
    const int ring = static_cast<int>(spectra.size() / kMaxBins);
    int start = frameIndex - (r.symbolLimit - 2) * b;
    if (start < 0) {
        start += ring;
    }
    const auto cell = [&](int frame, int bin) {
        return spectra[static_cast<std::size_t>(frame) * kMaxBins + static_cast<std::size_t>(bin)];
    };
    std::size_t n = 0;
    for (int o = r.firstCarrierBin, c = 0; o <= r.lastCarrierBin; o += r.carrierStride, ++c) {
        for (int h = 0; h < r.headerSymbols && n < m_z.size(); ++h) {
            const int t = tables.headerPosition(c, h);
            const int w = (start + (t - 3) * b) % ring;
            const int w2 = (w + b) % ring;
            const Complex product = complexMul(complexConj(cell(w, o)), cell(w2, o));
            m_z[n++] = complexNormalize(complexMul(product, drawn.headerReference(o, t - 3)));
        }
    }
    Complex mean{};
    const float merDb = mer(std::span<const Complex>(m_z.data(), n), mean);
    return trackPeak(tables.mode, slot, merDb, mean, ringIndex);
}

std::optional<CarrierDetection> CarrierFrameDetector::trackPeak(int mode, int slot, float merDb,
                                                                Complex mean,
                                                                std::uint32_t ringIndex) {
    const auto s = static_cast<std::size_t>(slot);
    const ModeRecord& r = modeRecord(mode);
    if (merDb > m_bestMer[s] && merDb > kMinCandidateMerDb) {
        m_bestMer[s] = merDb;
        m_bestCorrelation = mean;
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
    CarrierDetection detection;
    detection.mode = mode;
    detection.bestMer = m_bestMer[s];
    detection.frequencyShift =
        phase * r.carrierSpacing / ((r.guardFraction + 1.0f) * 2.0f * std::numbers::pi_v<float>);
    detection.ringIndex = m_bestRingIndex;
    m_candidateFlag[s] = 0;
    m_bestMer[s] = kNoValue;
    return detection;
}

}  // namespace zolk
