// pilot_equaliser.h: the channel of every cell of a pilot mode's frame, estimated from the
// scattered pilots and divided out; keeps each cell's channel power for the soft values.
// Owns the lattice of channel estimates and the cell weights of one frame, sized once.
#pragma once

#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/mode_table.h"

namespace zolk {

// The frame's common phase: a phase that runs quadratically in symbols (a residual carrier error
// and its drift) and linearly in bins (the cut's timing against the channel's delay), in radians.
struct CommonPhase {
    float centreSymbol = 0.0f;
    float perSymbol = 0.0f;        // frequency at the centre symbol, radians per symbol
    float perSymbolSquared = 0.0f; // change of that frequency per symbol
    float perBin = 0.0f;

    float at(int symbol, int bin) const {
        const float d = static_cast<float>(symbol) - centreSymbol;
        return perSymbol * d + 0.5f * perSymbolSquared * d * d + perBin * static_cast<float>(bin);
    }
};

class PilotEqualiser {
public:
    PilotEqualiser();

    // frameSymbols: relative symbol d = 0..638, bin k at d x 64 + k, symbols 2..SymbolLimit of a
    // mode with pilots. Every cell is divided by its channel estimate in place (0 where the
    // estimate is 0), and weight() holds the estimate's power against the frame's mean.
    void equalise(const ModeRecord& r, std::span<Complex> frameSymbols);

    // Channel power of cell (symbol, bin) of the last frame, relative to its mean over the frame.
    float weight(int symbol, int bin) const {
        return m_weights[static_cast<std::size_t>(symbol - 2) * kBins + static_cast<std::size_t>(bin)];
    }

    // The common phase the last frame's pilots showed.
    const CommonPhase& commonPhase() const { return m_phase; }

private:
    static constexpr std::size_t kBins = 64;

    Complex& lattice(int index, int bin) {
        return m_lattice[static_cast<std::size_t>(index) * kBins + static_cast<std::size_t>(bin)];
    }
    void measureCommonPhase(const ModeRecord& r, std::span<const Complex> frameSymbols);
    void fillLattice(const ModeRecord& r, std::span<const Complex> frameSymbols);
    void divide(const ModeRecord& r, std::span<Complex> frameSymbols);
    void smoothWeights(const ModeRecord& r, float mean);

    CommonPhase m_phase;
    int m_latticeTimes = 0;
    std::vector<Complex> m_lattice;  // derotated channel every 4 symbols, every bin
    std::vector<Complex> m_turns;    // summed pilot turns over 8 symbols, per lattice time
    std::vector<float> m_weights;
};

}  // namespace zolk
