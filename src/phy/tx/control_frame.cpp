#include "phy/tx/control_frame.h"

#include <algorithm>
#include <stdexcept>

namespace zolk {
namespace {

// A tone is one cell of value (0, -1): a sine at the tone's frequency after real synthesis.
constexpr Complex kToneCell{0.0f, -1.0f};

}  // namespace

void buildControlFrame(const ControlPatternTable& table, int code, RandomSource& random, TxCells& cells,
                       LeadInTones leadIn) {
    if (code < 1 || code > kControlCodeCount) throw std::invalid_argument("control code out of 1..26");
    for (int c = 0; c < TxCells::kToneColumns; ++c) {
        const auto column = cells.toneColumn(c);
        std::fill(column.begin(), column.end(), Complex{});
    }
    for (int l = 1; l <= TxCells::kLeadInColumns; ++l) {
        const auto column = cells.leadInSymbol(l);
        std::fill(column.begin(), column.end(), Complex{});
    }
    for (int l = 1; l <= kControlLeadInColumns; ++l) {
        cells.leadInSymbol(l)[static_cast<std::size_t>(random.draw(leadIn.spread) + leadIn.lowest)] = kToneCell;
    }
    for (int s = 0; s < kControlSymbols; ++s) {
        cells.toneColumn(s + 1)[table.toneOf[static_cast<std::size_t>(code)][static_cast<std::size_t>(s)]] = kToneCell;
    }
}

}  // namespace zolk
