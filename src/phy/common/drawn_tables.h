// drawn_tables.h: the cell phase scrambling table, its header references and the whitening bits,
// drawn from a station's random source at start-up. Read-only afterwards and shareable.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/random_source.h"

namespace zolk {

class DrawnTables {
public:
    static constexpr int kBins = 64;
    static constexpr int kCellSymbols = 639;  // symbols 2..640
    static constexpr int kPseudoRandomBitCount = 150000;

    // Restarts random (reset, seed 727) and draws the tables in their fixed order, leaving random
    // where those draws end, as every station does at start-up.
    explicit DrawnTables(RandomSource& random);

    // CellPhaseTable[bin][relative symbol 0..638]: a unit phasor at a multiple of 2 pi / 30.
    Complex cellPhaseTable(int bin, int relativeSymbol) const {
        return m_cellPhase[index(bin, relativeSymbol)];
    }
    // HeaderReference[bin][0..637] = conj(CellPhaseTable[bin][k]) x CellPhaseTable[bin][k + 1].
    Complex headerReference(int bin, int k) const { return m_headerReference[index(bin, k)]; }
    // Whitening bits, each 0 or 1.
    std::span<const std::uint8_t> pseudoRandomBits() const { return m_pseudoRandomBits; }

private:
    static std::size_t index(int bin, int k) {
        return static_cast<std::size_t>(bin) * kCellSymbols + static_cast<std::size_t>(k);
    }

    std::vector<Complex> m_cellPhase;
    std::vector<Complex> m_headerReference;  // same stride as m_cellPhase, last column unused
    std::vector<std::uint8_t> m_pseudoRandomBits;
};

}  // namespace zolk
