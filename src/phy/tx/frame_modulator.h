// frame_modulator.h: turns one frame of NetBytes bytes into the FrameMatrix cells of a slot and
// the lead-in cells in front of it (whitening, turbo code, bit interleaver, cell mapping).
// Owns its bit buffers; the tables are shared and read-only, the cells belong to TxCells, and
// the lead-in draws advance the station's random source.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/drawn_tables.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/tx/tx_cells.h"

namespace zolk {

class FrameModulator {
public:
    FrameModulator(const DrawnTables& drawn, const TablesFile& tables, RandomSource& random,
                   TxCells& cells);

    // ModulateFrame: frame holds NetBytes bytes of the mode (type byte and check sequence
    // included); slot 1 is the first or only frame of a transmission, slot 2 the second and
    // must follow slot 1. Throws std::invalid_argument for a bad mode, slot or frame length.
    void modulateFrame(int mode, std::span<const std::uint8_t> frame, int slot);

private:
    struct SlotRange {
        int first;
        int last;
    };

    void encode(int mode, std::span<const std::uint8_t> frame);
    int readCell(int bitsPerCell);
    void clear(const ModeRecord& record, int slot);
    void modulateCarrierFrame(int mode, SlotRange range);
    void modulateToneFrame(int mode, SlotRange range);

    const DrawnTables& m_drawn;
    const TablesFile& m_tables;
    RandomSource& m_random;
    TxCells& m_cells;
    std::vector<std::uint8_t> m_infoBits;
    std::vector<std::uint8_t> m_codedBits;
    std::vector<std::uint8_t> m_cellBits;  // coded bits in interleaved order, read cell by cell
    int m_bitPointer = 0;
};

}  // namespace zolk
