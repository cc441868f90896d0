// carrier_demodulator.h: stage 1 of the multi-carrier modes (5..13): pilot equalisation or
// differential detection, the data cell list and its soft bits; and the frame's S/N estimate.
// Owns the decode buffers of one frame; the FFT frames come from the front-end, the FEC is next.
#pragma once

#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/mode_table.h"
#include "phy/common/tables_file.h"
#include "phy/rx/differential_detector.h"
#include "phy/rx/pilot_equaliser.h"
#include "phy/rx/soft_demapper.h"

namespace zolk {

class CarrierDemodulator {
public:
    // qamPoints: the 32-point column of the kConstellationTable. Sizes every buffer for the
    // largest mode.
    explicit CarrierDemodulator(std::span<const Complex, kQamPoints> qamPoints);

    // Stage 1. frameSymbols: kFrameSymbols, relative symbol d = 0..638, bin k at d x 64 + k, as the
    // family-1 re-extraction left them; modes with pilots are equalised in place. Fills cells()
    // (DataCells entries) and softBits() (CodedBits entries, positive favours 1). No allocation.
    void stage1(const ModeTables& tables, std::span<Complex> frameSymbols);

    // The equalised or differentially detected data cells of the last frame, in bit order.
    std::span<const Complex> cells() const { return {m_cells.data(), m_cellCount}; }
    std::span<const float> softBits() const { return {m_soft.data(), m_softCount}; }

private:
    void gather(const ModeTables& tables, std::span<const Complex> frameSymbols);
    void normaliseDifferential(const ModeRecord& r);
    void weightSoftBits(int bitsPerCell);

    QamNeighbourTable m_qam;
    DifferentialDetector m_differential;
    PilotEqualiser m_equaliser;
    std::vector<Complex> m_cells;
    std::vector<float> m_weights;    // channel power of each equalised cell against the frame's mean
    std::vector<float> m_powers;     // sampled cell powers for the normalisation
    std::vector<float> m_soft;
    std::size_t m_cellCount = 0;
    std::size_t m_softCount = 0;
};

// The carrier error left in kFrameSymbols after the corrected re-extraction, in Hz, to be added to
// FrequencyShift: the mean turn of the header cells over one symbol period. The detection measures
// the error on uncorrected FFT frames, where a large error spreads every carrier into its
// neighbours (0.3 bin at 15 Hz in the 64-bin modes) and leaves up to about 1.5 Hz; measured on the
// corrected cells, what is left is found to a few hundredths of a hertz.
float residualFrequencyShift(const ModeTables& tables, std::span<const Complex> frameSymbols);

// The Mer of the header cells' turns in kFrameSymbols (as the detection's Mer, on corrected cells):
// how well a cut of the frame fits; at most 100 dB for spotless cells, kNoValue without header
// cells or signal.
float headerMer(const ModeTables& tables, std::span<const Complex> frameSymbols);

// EstimateSnr: S/N in dB of the frame from the phase spread of its header cells, before the
// mode's back-off adjustment. frameSymbols as for Stage1 (after it, for modes with pilots).
float estimateSnr(const ModeTables& tables, std::span<const Complex> frameSymbols);

}  // namespace zolk
