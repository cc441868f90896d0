// soft_demapper.h: soft bits from received constellation cells for 2..5 bits per cell, and the
// 32-point neighbour table behind the max-log bits. Owns only the read-only neighbour table.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "phy/common/complex_ops.h"

namespace zolk {

inline constexpr int kQamPoints = 32;
inline constexpr int kQamBits = 5;
// Stands for the decided point itself in a neighbour list.
inline constexpr std::uint8_t kQamSelf = 32;

// The 32-point column of the kConstellationTable (5 bits per cell), indexed by label.
std::span<const Complex, kQamPoints> qamColumn();

// QamNeighbourTable: for each 32-point label a and bit b (0 = most significant), the four points
// to search for bit value 0 and for bit value 1. The list of the value a's label has in bit b is
// a itself four times (kQamSelf); the other list holds the four points nearest to a whose label
// differs in bit b, nearest first.
class QamNeighbourTable {
public:
    // points: the 32-point column of the kConstellationTable, indexed by label.
    explicit QamNeighbourTable(std::span<const Complex, kQamPoints> points);

    Complex point(int label) const { return m_points[static_cast<std::size_t>(label)]; }
    // Entries 0..3, each a label or kQamSelf.
    const std::array<std::uint8_t, 4>& list(int label, int bit, int value) const {
        return m_lists[static_cast<std::size_t>(label)][static_cast<std::size_t>(bit)]
                      [static_cast<std::size_t>(value)];
    }
    // The label nearest to the cell (ties to the lower label).
    int decide(Complex cell) const;

private:
    std::array<Complex, kQamPoints> m_points{};
    std::array<std::array<std::array<std::array<std::uint8_t, 4>, 2>, kQamBits>, kQamPoints>
        m_lists{};
};

// Largest magnitude a soft value keeps, per bits per cell (2..5). Family 1 scale: cells are
// normalised to the constellation's own scale before demapping.
float softClip(int bitsPerCell);

// Writes bitsPerCell soft values per cell (most significant bit first; positive favours 1), each
// clipped to softClip(bitsPerCell). soft.size() == cells.size() * bitsPerCell; bitsPerCell 2..5.
// qam is used for 5 bits per cell only.
void softDemap(std::span<const Complex> cells, int bitsPerCell, const QamNeighbourTable& qam,
               std::span<float> soft);

}  // namespace zolk
