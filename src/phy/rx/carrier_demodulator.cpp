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
      m_cells(largestMultiCarrier([](const ModeRecord& r) { return r.dataCells; })),
      m_weights(m_cells.size()),
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
        m_equaliser.equalise(r, frameSymbols);
    }
    gather(tables, frameSymbols);
    if (!hasPilots(r)) {
        normaliseDifferential(r);
    }
    m_softCount = m_cellCount * r.bitsPerCell;
    softDemap(cells(), r.bitsPerCell, m_qam, std::span<float>(m_soft.data(), m_softCount));
    if (hasPilots(r)) {
        weightSoftBits(r.bitsPerCell);
    }
}

// A cell divided by a weak channel carries its noise amplified: its soft values count for as
// much as the channel's power against the frame's mean.
void CarrierDemodulator::weightSoftBits(int bitsPerCell) {
    const auto width = static_cast<std::size_t>(bitsPerCell);
    for (std::size_t i = 0; i < m_cellCount; ++i) {
        for (std::size_t j = 0; j < width; ++j) {
            m_soft[i * width + j] *= m_weights[i];
        }
    }
}

void CarrierDemodulator::gather(const ModeTables& tables, std::span<const Complex> frameSymbols) {
    const ModeRecord& r = tables.record();
    m_cellCount = 0;
    const auto append = [this](Complex v, float weight = 1.0f) {
        if (m_cellCount < m_cells.size()) {
            m_weights[m_cellCount] = weight;
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
                    append(y, m_equaliser.weight(j, o));
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

// Hands visit(z, previous, cell) the unit turn z from the previous cell to each header cell of the
// frame, and the two cells. A header cell repeats the previous cell of its carrier, so any turn is
// noise or carrier error.
template <typename Visit>
void forEachHeaderTurn(const ModeTables& tables, std::span<const Complex> frameSymbols, Visit visit) {
    const ModeRecord& r = tables.record();
    for (int o = r.firstCarrierBin, c = 0; o <= r.lastCarrierBin; o += r.carrierStride, ++c) {
        for (int j = 3; j <= r.symbolLimit; ++j) {
            if (tables.headerCell(j, c) == 1) {
                const Complex previous = at(frameSymbols, j - 1, o);
                const Complex cell = at(frameSymbols, j, o);
                visit(complexNormalize(complexMul(complexConj(previous), cell)), previous, cell);
            }
        }
    }
}

}  // namespace

float residualFrequencyShift(const ModeTables& tables, std::span<const Complex> frameSymbols) {
    const ModeRecord& r = tables.record();
    checkFrame(r, frameSymbols.size(), "ResidualFrequencyShift");
    Complex sum{};
    forEachHeaderTurn(tables, frameSymbols,
                      [&](Complex z, Complex, Complex) { sum = complexAdd(sum, z); });
    return complexAngle(sum) * r.carrierSpacing /
           ((r.guardFraction + 1.0f) * 2.0f * std::numbers::pi_v<float>);
}

float headerMer(const ModeTables& tables, std::span<const Complex> frameSymbols) {
    checkFrame(tables.record(), frameSymbols.size(), "HeaderMer");
    Complex sum{};
    float power = 0.0f;
    int count = 0;
    forEachHeaderTurn(tables, frameSymbols, [&](Complex z, Complex, Complex) {
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
    // The turn's spread is the noise over each cell's amplitude. Differential cells all have the
    // same amplitude; an equalised header cell has unit amplitude but the cell before it may be a
    // small inner point, whose spread would read as noise it does not have: each turn is put back
    // on the scale of two unit cells.
    const bool equalised = hasPilots(r);
    forEachHeaderTurn(tables, frameSymbols, [&](Complex z, Complex previous, Complex cell) {
        float spread = std::abs(z.imag());
        if (equalised) {
            const float a = complexPower(previous);
            const float b = complexPower(cell);
            spread *= a + b > 0.0f ? std::sqrt(2.0f * a * b / (a + b)) : 0.0f;
        }
        sum += spread;
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
