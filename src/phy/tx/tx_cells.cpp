#include "phy/tx/tx_cells.h"

namespace zolk {

TxCells::TxCells()
    : m_frame(static_cast<std::size_t>(kFrameSymbols) * kBins),
      m_leadIn(static_cast<std::size_t>(kLeadInColumns) * kBins),
      m_tone(static_cast<std::size_t>(kToneColumns) * kBins) {}

}  // namespace zolk
