// carrier_frame_cut.h: cuts a detected multi-carrier frame out of the corrected ring at the timing
// and with the carrier error its header cells fit best. Owns nothing; FrameSymbols is the front-end's.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/tables_file.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {

struct CarrierCut {
    std::uint32_t ringIndex = 0;  // p of the re-extraction: the frame's last sample
    float shiftHz = 0.0f;         // the carrier error it was cut with (FrequencyShift refined)
};

// The symbols the header turns read (each header cell's and the one before it), ascending: all
// that the cuts compared need, a third to a half of the frame in the 64-bin modes, a sixth in
// mode 5.
std::vector<std::int16_t> headerTurnSymbols(const ModeTables& tables);

// headerTurnSymbols of every multi-carrier mode, built once so that a frame cut allocates nothing.
class HeaderTurnSymbols {
public:
    explicit HeaderTurnSymbols(const TablesFile& tables);
    std::span<const std::int16_t> operator()(int mode) const {
        return m_symbols[static_cast<std::size_t>(mode)];
    }

private:
    std::array<std::vector<std::int16_t>, kModeCount> m_symbols;
};

// Leaves FrameSymbols holding the frame detected at ringIndex p with the error shiftHz, cut at
// the best timing near p and corrected by the refined error; returns both. turnSymbols:
// headerTurnSymbols(tables).
CarrierCut cutCarrierFrame(ReceiveFrontEnd& frontEnd, const ModeTables& tables,
                           std::span<const std::int16_t> turnSymbols, std::uint32_t p,
                           float shiftHz);

}  // namespace zolk
