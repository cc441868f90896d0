// tone_demodulator.h: stage 1 of the robust modes (0..4, 14): soft bits from the tone magnitudes
// of each data cell, as log-likelihood ratios over the Gray-coded hypotheses given the frame's
// measured noise and tone levels; and the frame's S/N estimate.
// Owns the soft-bit buffers of one frame; the magnitude spectra come from the front-end.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/mode_table.h"
#include "phy/common/tables_file.h"

namespace zolk {

inline constexpr int kMaxToneBits = 4;
inline constexpr int kMaxToneHypotheses = 1 << kMaxToneBits;

class ToneDemodulator {
public:
    ToneDemodulator();  // sizes the buffers for the largest robust mode

    // Stage 1. snapshot: SnapshotSpectrum after the corrected robust re-extraction (row = symbol
    // number, 257 columns of tone magnitudes). No allocation.
    void stage1(const ModeTables& tables, std::span<const float> snapshot);

    // CodedBits soft values in cell order (log-likelihood ratios; positive favours 1).
    std::span<const float> softBits() const { return {m_soft.data(), m_count}; }
    // The same values de-interleaved as expected bit values tanh(L / 2), -1..1 (for the
    // constellation display).
    std::span<const float> deinterleavedBits() const { return {m_deinterleaved.data(), m_count}; }

private:
    std::vector<float> m_soft;
    std::vector<float> m_deinterleaved;
    std::vector<float> m_scratch;  // the levels' noise samples
    std::size_t m_count = 0;
};

// EstimateToneSnr: S/N in dB of the frame from the header tones against their neighbours, before
// the mode's back-off adjustment. snapshot as for Stage1.
float estimateToneSnr(const ModeTables& tables, std::span<const float> snapshot);

}  // namespace zolk
