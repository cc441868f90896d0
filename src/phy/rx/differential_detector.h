// differential_detector.h: soft detection of the differential multi-carrier modes (5..9) against
// each carrier's channel estimated from its own cells. Owns the working buffers of one frame.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/tables_file.h"

namespace zolk {

// Each carrier sends a chain of PSK points, each the previous one turned by the data symbol (a
// header cell turns by nothing). Our detector takes the carrier error the detection left out of
// all cells (one turn per symbol that runs straight from the frame's first half to its second),
// then estimates each carrier's channel around every symbol from its neighbours: first from the
// PSK-order power of the cells, which strips the modulation up to a turn by a PSK step that the
// differences do not see; then, after the carriers' common turn is tracked on the first pass's
// result, from the cells turned back by their expected points, each symbol's own cell left out.
// The strength is the cells' power less the noise, which the header cells give. Each PSK point of
// every cell is weighed by its likelihood through that channel, the cells a header ties together
// are joined, and each data symbol's probabilities come from those of its two cells. Unlike
// comparing a cell with its single noisy predecessor, the channel estimate averages the noise of
// many cells, and a faded stretch of a carrier gives soft values near 0 instead of confident ones.
class DifferentialDetector {
public:
    DifferentialDetector();

    // Whether the detector reads mode r: the differential QPSK modes of at least kLeastCarriers
    // carriers (mode 8). Measured at the 90 % points it gains there; on fewer carriers (modes 5 to
    // 7: the common carrier error comes from fewer cells, and the shorter symbols leave fewer cells
    // within a channel estimate's span of a fading channel) and with 8PSK (mode 9: its eighth power
    // leaves too little of the phase) it lost against plain differential detection.
    static bool suits(const ModeRecord& r);
    static constexpr int kLeastCarriers = 48;

    // frameSymbols: kFrameSymbols, symbol d (from 2) and bin k at (d - 2) x 64 + k. For every data
    // cell (every cell after a carrier's first that is not a header cell), in carrier order, then
    // symbol order: its differential product with the previous cell into cells (for display, unit
    // size on a clean carrier), and its bitsPerCell soft values into soft (positive favours 1,
    // most significant bit first, within +-softClip). Returns the number of data cells; throws for
    // a mode that is not differential or outputs too small for it.
    std::size_t detect(const ModeTables& tables, std::span<const Complex> frameSymbols,
                       std::span<Complex> cells, std::span<float> soft);

private:
    void removeCoarseFrequency(const ModeRecord& r, std::span<const Complex> frameSymbols);
    void trackFrequency(const ModeRecord& r);
    void estimateChannel(const ModeRecord& r, int halfWindow, float noise);
    void likelihoods(const ModeTables& tables, int c, float gain);
    void removeModulation(const ModeRecord& r);
    void channelFromOwn(const ModeRecord& r, int halfWindow, float noise);

    std::vector<Complex> m_received;                    // one carrier's cells, symbols 2..
    std::vector<Complex> m_own;                         // each cell turned back by its expected point
    std::vector<Complex> m_channel;                     // its channel estimate per symbol
    std::vector<Complex> m_coarse;                      // takes the coarse carrier error out, per symbol
    std::vector<Complex> m_rotation;                    // takes the tracked carrier error out, per symbol
    std::vector<Complex> m_remodulated;                 // every carrier's m_own after the first pass
    std::vector<Complex> m_stripped;                    // running sums of the modulation-free cells
    std::vector<float> m_power;                         // running sums of the cells' power
    std::vector<std::array<float, 8>> m_logLikelihood;  // per symbol and PSK point
};

// The phase, in eighths of a turn (0..7), of the point of 2^bits-point PSK (bits 2 or 3; a point
// at phase 0, steps of a 2^bits-th of a turn) nearest to z.
int nearestPskEighths(Complex z, int bits);

}  // namespace zolk
