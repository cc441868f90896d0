#include "phy/common/drawn_tables.h"

#include <cmath>
#include <numbers>

namespace zolk {

DrawnTables::DrawnTables(RandomSource& random)
    : m_cellPhase(static_cast<std::size_t>(kBins) * kCellSymbols),
      m_headerReference(static_cast<std::size_t>(kBins) * kCellSymbols),
      m_pseudoRandomBits(kPseudoRandomBitCount) {
    random.reset();
    random.seed(727);
    for (int bin = 0; bin < kBins; ++bin) {
        for (int k = 0; k < kCellSymbols; ++k) {
            const double angle = random.draw(32) * 2.0 * std::numbers::pi / 30.0;
            m_cellPhase[index(bin, k)] = {static_cast<float>(std::cos(angle)),
                                          static_cast<float>(std::sin(angle))};
            if (k > 0) {
                m_headerReference[index(bin, k - 1)] = complexMul(
                    complexConj(m_cellPhase[index(bin, k - 1)]), m_cellPhase[index(bin, k)]);
            }
        }
    }
    for (auto& bit : m_pseudoRandomBits) {
        bit = static_cast<std::uint8_t>(random.draw(1));
    }
}

}  // namespace zolk
