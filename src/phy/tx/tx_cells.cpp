#include "phy/tx/tx_cells.h"

namespace zolk {

TxCells::TxCells()
    : m_frame(static_cast<std::size_t>(FrameSymbols) * Bins),
      m_leadIn(static_cast<std::size_t>(LeadInColumns) * Bins),
      m_tone(static_cast<std::size_t>(ToneColumns) * Bins) {}

}  // namespace zolk
