#include "phy/rx/pilot_equaliser.h"

#include <algorithm>
#include <cmath>

namespace zolk {

namespace {

// Pilots sit on a diamond lattice: even bins on symbols 2, 10, 18, ..., odd bins on symbols 6, 14,
// ...; so every bin has a pilot or two pilot neighbours every 4 symbols.
constexpr int kLatticeStep = 4;
constexpr int kPilotSpacing = 8;

int largestPilotSymbolLimit() {
    int largest = 2;
    for (const auto& r : kModeTable) {
        if (r.pilotCells > 0) largest = std::max<int>(largest, r.symbolLimit);
    }
    return largest;
}

int latticeSymbol(int index) { return 2 + kLatticeStep * index; }

Complex cellAt(std::span<const Complex> frameSymbols, int symbol, int bin) {
    return frameSymbols[static_cast<std::size_t>(symbol - 2) * 64 + static_cast<std::size_t>(bin)];
}

Complex turn(float radians) { return {std::cos(radians), std::sin(radians)}; }

Complex scaled(Complex a, float k) { return {a.real() * k, a.imag() * k}; }

}  // namespace

PilotEqualiser::PilotEqualiser()
    : m_lattice(static_cast<std::size_t>((largestPilotSymbolLimit() - 2) / kLatticeStep + 1) * kBins),
      m_turns(m_lattice.size() / kBins),
      m_weights(static_cast<std::size_t>(largestPilotSymbolLimit() - 1) * kBins) {}

void PilotEqualiser::equalise(const ModeRecord& r, std::span<Complex> frameSymbols) {
    m_latticeTimes = (r.symbolLimit - 2) / kLatticeStep + 1;
    measureCommonPhase(r, frameSymbols);
    fillLattice(r, frameSymbols);
    divide(r, frameSymbols);
}

// The pilots of one carrier 8 symbols apart turn by 8 times the frequency midway; successive turns
// (4 symbols apart, alternating between even and odd bins) show how that frequency moves. Pilots
// two bins apart in one symbol turn by twice the phase per bin.
void PilotEqualiser::measureCommonPhase(const ModeRecord& r, std::span<const Complex> frameSymbols) {
    int turnCount = 0;
    Complex perBin{};
    for (int i = 0; i < m_latticeTimes; ++i) {
        const int t = latticeSymbol(i);
        Complex sum{};
        for (int k = r.firstCarrierBin; k <= r.lastCarrierBin; ++k) {
            if (!pilotMap(t, k)) continue;
            const Complex here = cellAt(frameSymbols, t, k);
            if (t + kPilotSpacing <= r.symbolLimit) {
                sum = complexAdd(sum, complexMul(cellAt(frameSymbols, t + kPilotSpacing, k), complexConj(here)));
            }
            if (k + 2 <= r.lastCarrierBin) {
                perBin = complexAdd(perBin, complexMul(cellAt(frameSymbols, t, k + 2), complexConj(here)));
            }
        }
        if (t + kPilotSpacing <= r.symbolLimit) m_turns[static_cast<std::size_t>(turnCount++)] = sum;
    }
    Complex drift{};
    for (int i = 0; i + 1 < turnCount; ++i) {
        drift = complexAdd(drift, complexMul(m_turns[static_cast<std::size_t>(i + 1)],
                                             complexConj(m_turns[static_cast<std::size_t>(i)])));
    }
    m_phase.centreSymbol = static_cast<float>(2 + r.symbolLimit) / 2.0f;
    m_phase.perSymbolSquared = complexAngle(drift) / static_cast<float>(kPilotSpacing * kLatticeStep);
    Complex frequency{};
    for (int i = 0; i < turnCount; ++i) {
        const float midway = static_cast<float>(latticeSymbol(i) + kPilotSpacing / 2) - m_phase.centreSymbol;
        frequency = complexAdd(frequency,
                               complexMul(m_turns[static_cast<std::size_t>(i)],
                                          turn(-kPilotSpacing * m_phase.perSymbolSquared * midway)));
    }
    m_phase.perSymbol = complexAngle(frequency) / kPilotSpacing;
    m_phase.perBin = complexAngle(perBin) / 2.0f;
}

// The derotated channel at every lattice point: the pilot itself, or elsewhere the mean of the
// pilots beside it in frequency, averaged with the mean of the pilots before and after it in time
// where both exist.
void PilotEqualiser::fillLattice(const ModeRecord& r, std::span<const Complex> frameSymbols) {
    for (int i = 0; i < m_latticeTimes; ++i) {
        const int t = latticeSymbol(i);
        for (int k = r.firstCarrierBin; k <= r.lastCarrierBin; ++k) {
            if (pilotMap(t, k)) {
                lattice(i, k) = complexMul(cellAt(frameSymbols, t, k), turn(-m_phase.at(t, k)));
            }
        }
    }
    for (int i = 0; i < m_latticeTimes; ++i) {
        const int t = latticeSymbol(i);
        for (int k = r.firstCarrierBin; k <= r.lastCarrierBin; ++k) {
            if (pilotMap(t, k)) continue;
            Complex beside{};
            int count = 0;
            for (const int n : {k - 1, k + 1}) {
                if (n >= r.firstCarrierBin && n <= r.lastCarrierBin) {
                    beside = complexAdd(beside, lattice(i, n));
                    ++count;
                }
            }
            Complex estimate = scaled(beside, 1.0f / static_cast<float>(count));
            if (i > 0 && i + 1 < m_latticeTimes) {
                const Complex around = scaled(complexAdd(lattice(i - 1, k), lattice(i + 1, k)), 0.5f);
                estimate = scaled(complexAdd(estimate, around), 0.5f);
            }
            lattice(i, k) = estimate;
        }
    }
}

// Per bin, the lattice runs linearly in time between its points (and on past the last one); the
// common phase goes back on, and each cell is divided by its channel.
void PilotEqualiser::divide(const ModeRecord& r, std::span<Complex> frameSymbols) {
    const int last = m_latticeTimes - 1;
    double total = 0.0;
    for (int k = r.firstCarrierBin; k <= r.lastCarrierBin; ++k) {
        for (int s = 2; s <= r.symbolLimit; ++s) {
            const int i = std::min((s - 2) / kLatticeStep, last > 0 ? last - 1 : 0);
            const int next = std::min(i + 1, last);
            const float f = static_cast<float>(s - latticeSymbol(i)) / kLatticeStep;
            const Complex derotated = complexAdd(scaled(lattice(i, k), 1.0f - f), scaled(lattice(next, k), f));
            const Complex h = complexMul(derotated, turn(m_phase.at(s, k)));
            const float power = complexPower(h);
            Complex& y = frameSymbols[static_cast<std::size_t>(s - 2) * 64 + static_cast<std::size_t>(k)];
            y = power > 0.0f ? scaled(complexMul(y, complexConj(h)), 1.0f / power) : Complex{};
            m_weights[static_cast<std::size_t>(s - 2) * kBins + static_cast<std::size_t>(k)] = power;
            total += power;
        }
    }
    smoothWeights(r, static_cast<float>(total / (static_cast<double>(r.carriers) * (r.symbolLimit - 1))));
}

// The weight of a cell is the channel power over it and its two neighbours in frequency, against
// the frame's mean: one cell's power estimate carries the noise of the few pilots behind it, while
// a fade spans several bins.
void PilotEqualiser::smoothWeights(const ModeRecord& r, float mean) {
    if (!(mean > 0.0f)) return;
    for (int s = 2; s <= r.symbolLimit; ++s) {
        float* row = &m_weights[static_cast<std::size_t>(s - 2) * kBins];
        float previous = 0.0f;
        for (int k = r.firstCarrierBin; k <= r.lastCarrierBin; ++k) {
            const float here = row[k];
            float sum = previous + here;
            int count = k > r.firstCarrierBin ? 2 : 1;
            if (k < r.lastCarrierBin) {
                sum += row[k + 1];
                ++count;
            }
            row[k] = sum / (static_cast<float>(count) * mean);
            previous = here;
        }
    }
}

}  // namespace zolk
