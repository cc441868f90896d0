// constellation.h: the constellation points of every cell size and the Gray maps of tone values.
// Owns only read-only tables; the modulator and demodulators index them.
#pragma once

#include <array>
#include <cstdint>

#include "phy/common/complex_ops.h"

namespace zolk {

inline constexpr int kMaxBitsPerCell = 6;

// kConstellationTable[value][BitsPerCell - 1], unit peak amplitude in every order; entries for
// values >= 2^BitsPerCell are zero.
using ConstellationPoints = std::array<std::array<Complex, kMaxBitsPerCell>, 64>;
extern const ConstellationPoints kConstellationTable;

// kGrayTable[(BitsPerCell - 2) x 16 + raw]: entries 1..3, 16..23 and 32..47 are used.
inline constexpr std::array<std::uint8_t, 48> kGrayTable{
    0, 1, 3, 2, 0, 0, 0, 0, 0,  0,  0,  0,  0,  0,  0, 0,  // 2 bits
    0, 1, 3, 2, 6, 7, 5, 4, 0,  0,  0,  0,  0,  0,  0, 0,  // 3 bits
    0, 1, 3, 2, 6, 7, 5, 4, 12, 13, 15, 14, 10, 11, 9, 8,  // 4 bits
};

}  // namespace zolk
