// tone_levels.h: measures a robust-mode frame's noise power per bin and tone amplitude from its
// magnitude spectra, for the soft bits. Owns nothing; the caller lends the scratch store.
#pragma once

#include <span>

#include "phy/common/tables_file.h"
#include "phy/rx/tone_soft_bits.h"

namespace zolk {

// Scratch entries measureToneLevels needs for any robust mode.
std::size_t toneLevelsScratchSize();

// Noise: the median power of the band's bins that no cell of their symbol can use (a tone of
// every candidate set excluded), over ln 2, the median of an exponential power. Amplitude: the
// power of every data cell's candidates and of every header cell's known tone, less the noise
// those bins carry, per cell; at least a tenth of the noise's amplitude, so that a frame of pure
// noise still yields finite soft values. snapshot: rows = symbol numbers, kSnapshotColumns
// magnitudes each; scratch: at least toneLevelsScratchSize() entries.
ToneLevels measureToneLevels(const ModeTables& tables, std::span<const float> snapshot,
                             std::span<float> scratch);

}  // namespace zolk
