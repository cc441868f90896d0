// control_frame.h: the cells of one control frame: 8 lead-in columns of random single tones and
// the code's 31 pattern tones in ToneFrameTable columns 1..31 (columns 0 and 32 stay empty).
#pragma once

#include "phy/common/control_patterns.h"
#include "phy/common/random_source.h"
#include "phy/tx/tx_cells.h"

namespace zolk {

inline constexpr int kControlLeadInColumns = 8;  // 180 ms of 21.333 ms tone blocks

// The tones a frame's lead-in columns are drawn from: lowest + draw(spread).
struct LeadInTones {
    int lowest;
    int spread;
};
// Control frames spread their lead-in over the whole grid; pings keep it in their own band.
inline constexpr LeadInTones kControlLeadInTones{kControlLowestTone, kControlHighestTone - kControlLowestTone};
inline constexpr LeadInTones kPingLeadInTones{kPingBandLow, kControlBandTones - 1};

// Clears the tone columns and the lead-in table, then writes the frame of code (1..26) drawn
// from table; the lead-in tones come from random. Throws std::invalid_argument for another code.
void buildControlFrame(const ControlPatternTable& table, int code, RandomSource& random, TxCells& cells,
                       LeadInTones leadIn = kControlLeadInTones);

}  // namespace zolk
