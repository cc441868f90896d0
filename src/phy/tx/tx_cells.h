// tx_cells.h: the complex cells of the signal on its way out: FrameMatrix, LeadInTable and
// ToneFrameTable. Owns their storage; the modulators and the control signalling write it, the
// symbol feeder reads it while a transmission runs.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "phy/common/complex_ops.h"

namespace zolk {

class TxCells {
public:
    static constexpr int kBins = 64;
    static constexpr int kFrameSymbols = 1280;  // FrameMatrix symbols 1..1280
    static constexpr int kLeadInColumns = 100;  // LeadInTable columns 1..100
    static constexpr int kToneColumns = 33;     // ToneFrameTable columns 0..32

    TxCells();

    // One symbol's bins 0..63, stored together because the feeder synthesizes column by column.
    std::span<Complex, kBins> frameSymbol(int symbol) { return column(m_frame, symbol - 1); }
    std::span<const Complex, kBins> frameSymbol(int symbol) const {
        return column(m_frame, symbol - 1);
    }
    Complex& frameCell(int bin, int symbol) { return frameSymbol(symbol)[bin]; }
    Complex frameCell(int bin, int symbol) const { return frameSymbol(symbol)[bin]; }

    std::span<Complex, kBins> leadInSymbol(int l) { return column(m_leadIn, l - 1); }
    std::span<const Complex, kBins> leadInSymbol(int l) const { return column(m_leadIn, l - 1); }

    std::span<Complex, kBins> toneColumn(int c) { return column(m_tone, c); }
    std::span<const Complex, kBins> toneColumn(int c) const { return column(m_tone, c); }

private:
    static std::span<Complex, kBins> column(std::vector<Complex>& store, int index) {
        return std::span<Complex, kBins>(store.data() + static_cast<std::size_t>(index) * kBins,
                                         kBins);
    }
    static std::span<const Complex, kBins> column(const std::vector<Complex>& store, int index) {
        return std::span<const Complex, kBins>(
            store.data() + static_cast<std::size_t>(index) * kBins, kBins);
    }

    std::vector<Complex> m_frame;
    std::vector<Complex> m_leadIn;
    std::vector<Complex> m_tone;
};

}  // namespace zolk
