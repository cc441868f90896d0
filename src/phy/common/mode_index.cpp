#include "phy/common/mode_index.h"

#include <stdexcept>
#include <string>

namespace zolk {

ModeIndex::ModeIndex(int mode) : m_value(mode) {
    if (!valid(mode)) {
        throw std::invalid_argument("no mode " + std::to_string(mode) + " (modes are 0.." +
                                    std::to_string(kModeCount - 1) + ")");
    }
}

std::optional<ModeIndex> ModeIndex::tryFrom(int mode) {
    if (!valid(mode)) return std::nullopt;
    return ModeIndex(mode);
}

}  // namespace zolk
