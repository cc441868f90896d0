// carrier_detector.h: finds frames of the multi-carrier modes (5..13) in the FFT frames of a
// detector slot by the Mer of their header cells, and estimates the carrier frequency error.
// Owns the per-slot peak state; re-extraction, staging and display belong to the caller.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/mode_table.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/tables_file.h"

namespace zolk {

// Mer below or at this never makes a candidate.
inline constexpr float kMinCandidateMerDb = -1.0f;

// An accepted detection: the caller re-extracts the frame ending at ringIndex with -FrequencyShift.
struct CarrierDetection {
    int mode = 0;                // DetectedMode
    float bestMer = 0.0f;        // dB
    float frequencyShift = 0.0f;  // Hz, the carrier frequency error
    std::uint32_t ringIndex = 0; // BestRingIndex: RingIndex of the frame's last sample
};

// Mer of the header correlations z: 10 log10(n |mean|^2 / sum |z - mean|^2); kNoValue when it
// cannot be computed (no values, no spread, no mean). mean receives the complex mean.
float mer(std::span<const Complex> z, Complex& mean);

class CarrierFrameDetector {
public:
    CarrierFrameDetector();

    // DetectFrame at one new FFT frame of the slot for the mode of tables. spectra: the slot's
    // SymbolSpectra, frame w, bin k at w x 64 + k for w below its size / 64 frames, at least the
    // frames the search reads; frameIndex: FrameIndex[slot]; ringIndex: RingIndex now. Returns
    // the detection once a peak has held for one symbol; the slot is then cleared.
    std::optional<CarrierDetection> detectFrame(const ModeTables& tables, const DrawnTables& drawn,
                                                int slot, std::span<const Complex> spectra,
                                                std::uint16_t frameIndex, std::uint32_t ringIndex);

    // Steps of DetectFrame after the Mer: hold the best peak and count down one symbol.
    std::optional<CarrierDetection> trackPeak(int mode, int slot, float merDb, Complex mean,
                                              std::uint32_t ringIndex);

    float bestMer(int slot) const { return m_bestMer[static_cast<std::size_t>(slot)]; }
    bool candidate(int slot) const { return m_candidateFlag[static_cast<std::size_t>(slot)] == 1; }
    int peakCountdown(int slot) const { return m_peakCountdown[static_cast<std::size_t>(slot)]; }

private:
    std::array<float, kModeCount> m_bestMer{};
    std::array<std::uint8_t, kModeCount> m_peakCountdown{};
    std::array<std::uint8_t, kModeCount> m_candidateFlag{};
    // Shared by all slots: in monitor mode the slot that confirms uses the latest best of any slot.
    Complex m_bestCorrelation{};
    std::uint32_t m_bestRingIndex = 0;
    std::vector<Complex> m_z;  // one entry per header cell of the largest mode
};

}  // namespace zolk
