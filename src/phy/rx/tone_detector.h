// tone_detector.h: finds frames of the robust modes (0..4, 14) by their known header tones, and
// estimates the frequency error to a quarter bin from the interpolated re-extraction.
// Owns the per-slot peak state; re-extractions, staging and display belong to the caller.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "phy/common/mode_table.h"
#include "phy/common/tables_file.h"

namespace zolk {

// More header cells than this must show their tone as the strongest candidate.
inline constexpr int kMinCorrectHeaderCells = 13;

// Tone bin of hop base b and value v, wrapped into the mode's tone band in 8-bit arithmetic.
inline int toneBin(const ModeRecord& r, int base, int value) {
    const auto offset = static_cast<std::uint8_t>(base + value - r.firstToneBin);
    return r.firstToneBin + offset % r.toneBins;
}

// An accepted detection: the caller re-extracts the frame ending at ringIndex.
struct ToneDetection {
    int mode = 0;
    std::uint32_t ringIndex = 0;  // RingIndex of the frame's last sample
    int correctCells = 0;         // header cells whose tone was the strongest, at the best frame
    float powerSum = 0.0f;
};

class ToneFrameDetector {
public:
    // DetectToneFrame at one new FFT frame of the slot. power: the slot's SymbolPower, frame w,
    // bin k at w x 64 + k for w below its size / 64 frames, at least the frames the search reads;
    // frameIndex: FrameIndex[slot]; ringIndex: RingIndex now.
    // Returns the detection once the best sum has held for one symbol; the slot is then cleared.
    std::optional<ToneDetection> detectToneFrame(const ModeTables& tables, int slot,
                                                 std::span<const float> power,
                                                 std::uint16_t frameIndex, std::uint32_t ringIndex);

    float bestSum(int slot) const { return m_best[static_cast<std::size_t>(slot)]; }
    bool candidate(int slot) const { return m_candidate[static_cast<std::size_t>(slot)] == 1; }

private:
    std::array<float, kModeCount> m_best{};
    std::array<std::uint8_t, kModeCount> m_count{};
    std::array<std::uint8_t, kModeCount> m_countdown{};
    std::array<std::uint8_t, kModeCount> m_candidate{};
    std::uint32_t m_bestRingIndex = 0;  // shared by all slots
};

// Throws std::invalid_argument unless r is a robust mode and the snapshot holds every row.
void checkToneSnapshot(const ModeRecord& r, std::size_t snapshotSize, const char* caller);

// ToneShift in Hz: -1/4, 0 or +1/4 of CarrierSpacing, from the header tones of the four times
// interpolated power spectra. snapshot: SnapshotSpectrum, row = symbol number, 257 columns.
float estimateToneShift(const ModeTables& tables, std::span<const float> snapshot);

}  // namespace zolk
