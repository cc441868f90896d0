// measured_thresholds.h: the S/N our receiver needs per mode, measured by the physical-layer
// benchmark and committed as a generated table (measured_thresholds.inc). Read-only data; the
// speed adaptation compares its readings against it.
#pragma once

#include <array>

#include "phy/common/mode_table.h"

namespace zolk {

using ModeThresholds = std::array<float, kModeCount>;

// S/N in dB in 2500 Hz, against the mode's own mean power, where our receiver first decoded 90 %
// of a mode's frames on a clean channel.
float measuredSnr90Db(int mode);

// The same put on the modem's scale (less the mode's crest level offset), as a receiving station
// reads the S/N of a frame: the threshold its margins are taken against.
const ModeThresholds& measuredThresholdsAdjusted();

}  // namespace zolk
