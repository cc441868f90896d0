// carrier_frame_cut.h: cuts a detected multi-carrier frame out of the corrected ring at the timing
// and with the carrier error its header cells fit best. Owns nothing; FrameSymbols is the front-end's.
#pragma once

#include <cstdint>

#include "phy/common/tables_file.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {

struct CarrierCut {
    std::uint32_t ringIndex = 0;  // p of the re-extraction: the frame's last sample
    float shiftHz = 0.0f;         // the carrier error it was cut with (FrequencyShift refined)
};

// Leaves FrameSymbols holding the frame detected at ringIndex p with the error shiftHz, cut at
// the best timing near p and corrected by the refined error; returns both.
CarrierCut cutCarrierFrame(ReceiveFrontEnd& frontEnd, const ModeTables& tables, std::uint32_t p, float shiftHz);

}  // namespace zolk
