#include "phy/rx/carrier_demodulator.h"

#include <algorithm>
#include <string>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "phy/common/numeric.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {

namespace {

constexpr int kPilotSpacing = 8;    // symbols between pilots on one carrier
constexpr int kNormalisationSamples = 104;

// Only modes with pilots equalise; the others detect differentially.
bool hasPilots(const ModeRecord& r) { return r.pilotCells > 0; }

std::size_t largestMultiCarrier(auto field) {
    std::size_t largest = 0;
    for (const auto& r : kModeTable) {
        if (r.modeFamily == Family::MultiCarrier) {
            largest = std::max<std::size_t>(largest, static_cast<std::size_t>(field(r)));
        }
    }
    return largest;
}

Complex& at(std::span<Complex> frameSymbols, int symbol, int bin) {
    return frameSymbols[static_cast<std::size_t>(symbol - 2) * kMaxBins + static_cast<std::size_t>(bin)];
}
Complex at(std::span<const Complex> frameSymbols, int symbol, int bin) {
    return frameSymbols[static_cast<std::size_t>(symbol - 2) * kMaxBins + static_cast<std::size_t>(bin)];
}

Complex scaled(Complex a, float k) { return {a.real() * k, a.imag() * k}; }

void checkFrame(const ModeRecord& r, std::size_t frameSymbols, const char* what) {
    if (r.modeFamily != Family::MultiCarrier || frameSymbols < kFrameSymbolCount * kMaxBins) {
        throw std::invalid_argument(std::string(what) + ": a multi-carrier mode and all of FrameSymbols");
    }
}

}  // namespace

CarrierDemodulator::CarrierDemodulator(std::span<const Complex, kQamPoints> qamPoints)
    : m_qam(qamPoints),
      m_inverse(kFrameSymbolCount),
      m_cells(largestMultiCarrier([](const ModeRecord& r) { return r.dataCells; })),
      m_powers(m_cells.size()),
      m_soft(largestMultiCarrier([](const ModeRecord& r) { return r.codedBits; })) {}

void CarrierDemodulator::stage1(const ModeTables& tables, std::span<Complex> frameSymbols) {
    const ModeRecord& r = tables.record();
    checkFrame(r, frameSymbols.size(), "Stage1");
    if (DifferentialDetector::suits(r)) {
        m_cellCount = m_differential.detect(tables, frameSymbols, m_cells, m_soft);
        m_softCount = m_cellCount * r.bitsPerCell;
        normaliseDifferential(r);
        return;
    }
    if (hasPilots(r)) {
        equalise(r, frameSymbols);
    }
    gather(tables, frameSymbols);
    if (!hasPilots(r)) {
        normaliseDifferential(r);
    }
    m_softCount = m_cellCount * r.bitsPerCell;
    softDemap(cells(), r.bitsPerCell, m_qam, std::span<float>(m_soft.data(), m_softCount));
}

// Channel inverses at the scattered pilots, interpolated in time only, per carrier.
void CarrierDemodulator::equalise(const ModeRecord& r, std::span<Complex> frameSymbols) {
    const int last = r.symbolLimit;
    const auto h = [this](int symbol) -> Complex& {
        return m_inverse[static_cast<std::size_t>(symbol - 2)];
    };
    for (int o = r.firstCarrierBin; o <= r.lastCarrierBin; o += r.carrierStride) {
        const int first = o % 2 == 0 ? 2 : 6;
        int lastPilot = first;
        for (int s = first; s <= last; s += kPilotSpacing) {
            const Complex y = at(frameSymbols, s, o);
            const float power = complexPower(y);
            h(s) = power > 0.0f ? scaled(complexConj(y), 1.0f / power) : Complex{};
            lastPilot = s;
        }
        for (int s = first; s + kPilotSpacing <= last; s += kPilotSpacing) {
            for (int j = 1; j < kPilotSpacing; ++j) {
                const float f = static_cast<float>(j) / kPilotSpacing;
                h(s + j) = complexAdd(scaled(h(s), 1.0f - f), scaled(h(s + kPilotSpacing), f));
            }
        }
        const Complex slope =
            scaled(complexSub(h(lastPilot), h(lastPilot - kPilotSpacing)), 1.0f / kPilotSpacing);
        for (int j = 1; lastPilot + j <= last; ++j) {
            h(lastPilot + j) = complexAdd(h(lastPilot), scaled(slope, static_cast<float>(j)));
        }
        if (first == 6) {
            const Complex backSlope = scaled(complexSub(h(14), h(6)), 1.0f / kPilotSpacing);
            for (int s = 2; s < 6; ++s) {
                h(s) = complexSub(h(6), scaled(backSlope, static_cast<float>(6 - s)));
            }
        }
        for (int s = 2; s <= last; ++s) {
            Complex& y = at(frameSymbols, s, o);
            y = complexMul(y, h(s));
        }
    }
}

void CarrierDemodulator::gather(const ModeTables& tables, std::span<const Complex> frameSymbols) {
    const ModeRecord& r = tables.record();
    m_cellCount = 0;
    const auto append = [this](Complex v) {
        if (m_cellCount < m_cells.size()) {
            m_cells[m_cellCount++] = v;
        }
    };
    for (int o = r.firstCarrierBin, c = 0; o <= r.lastCarrierBin; o += r.carrierStride, ++c) {
        Complex previous{};
        for (int j = 2; j <= r.symbolLimit; ++j) {
            const Complex y = at(frameSymbols, j, o);
            if (tables.headerCell(j, c) == 1) {
                previous = y;
                continue;
            }
            if (hasPilots(r)) {
                if (!pilotMap(j, o)) {
                    append(y);
                }
                continue;
            }
            // Differential: the first symbol is only the phase reference.
            if (j > 2) {
                const Complex d = complexMul(complexConj(previous), y);
                const float power = (complexPower(previous) + complexPower(y)) / 2.0f;
                append(power > 0.0f ? scaled(d, 1.0f / std::sqrt(power)) : d);
            }
            previous = y;
        }
    }
}

// Scales the differential cells to unit typical power from a sample of their powers.
void CarrierDemodulator::normaliseDifferential(const ModeRecord& r) {
    const std::size_t step =
        std::max<std::size_t>(1, static_cast<std::size_t>(r.dataCells) / kNormalisationSamples);
    std::size_t n = 0;
    for (std::size_t i = 0; i < m_cellCount; i += step) {
        m_powers[n++] = complexPower(m_cells[i]);
    }
    const float typical = orderStatistic(std::span<const float>(m_powers.data(), n));
    if (!(typical > 0.0f)) {
        return;  // no usable power: the cells stay as detected
    }
    const float k = 1.0f / std::sqrt(typical);
    for (std::size_t i = 0; i < m_cellCount; ++i) {
        m_cells[i] = scaled(m_cells[i], k);
    }
}

namespace {

// Hands visit(z) the unit turn z from the previous cell to each header cell of the frame. A header
// cell repeats the previous cell of its carrier, so any turn is noise or carrier error.
template <typename Visit>
void forEachHeaderTurn(const ModeTables& tables, std::span<const Complex> frameSymbols, Visit visit) {
    const ModeRecord& r = tables.record();
    for (int o = r.firstCarrierBin, c = 0; o <= r.lastCarrierBin; o += r.carrierStride, ++c) {
        for (int j = 3; j <= r.symbolLimit; ++j) {
            if (tables.headerCell(j, c) == 1) {
                visit(complexNormalize(
                    complexMul(complexConj(at(frameSymbols, j - 1, o)), at(frameSymbols, j, o))));
            }
        }
    }
}

}  // namespace

float residualFrequencyShift(const ModeTables& tables, std::span<const Complex> frameSymbols) {
    const ModeRecord& r = tables.record();
    checkFrame(r, frameSymbols.size(), "ResidualFrequencyShift");
    Complex sum{};
    forEachHeaderTurn(tables, frameSymbols, [&](Complex z) { sum = complexAdd(sum, z); });
    return complexAngle(sum) * r.carrierSpacing /
           ((r.guardFraction + 1.0f) * 2.0f * std::numbers::pi_v<float>);
}

float headerMer(const ModeTables& tables, std::span<const Complex> frameSymbols) {
    checkFrame(tables.record(), frameSymbols.size(), "HeaderMer");
    Complex sum{};
    float power = 0.0f;
    int count = 0;
    forEachHeaderTurn(tables, frameSymbols, [&](Complex z) {
        sum = complexAdd(sum, z);
        power += complexPower(z);
        ++count;
    });
    if (count == 0) {
        return kNoValue;
    }
    // sum |z - mean|^2 = sum |z|^2 - n |mean|^2. Spotless cells (no spread at all) are the best
    // fit there is, not a failure: their spread is taken as 100 dB below the mean.
    const float n = static_cast<float>(count);
    const float coherent = complexPower(sum) / n;
    const float err = std::max(power - coherent, coherent * 1e-10f);
    const float ratio = err > 0.0f ? log10(coherent / err) : kNoValue;
    return ratio == kNoValue ? kNoValue : 10.0f * ratio;
}

float estimateSnr(const ModeTables& tables, std::span<const Complex> frameSymbols) {
    const ModeRecord& r = tables.record();
    checkFrame(r, frameSymbols.size(), "EstimateSnr");
    float sum = 0.0f;
    int count = 0;
    forEachHeaderTurn(tables, frameSymbols, [&](Complex z) {
        sum += std::abs(z.imag());
        ++count;
    });
    if (count == 0) {
        return kNoValue;
    }
    const float q = sum / static_cast<float>(count);
    return -20.0f * log10(q) - 19.71f + r.qamCorrection +
           10.0f * log10(static_cast<float>(r.carriers)) +
           10.0f * log10(64.0f / static_cast<float>(r.binsPerSymbol));
}

}  // namespace zolk
