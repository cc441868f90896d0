#include "phy/common/window.h"

#include <cmath>
#include <numbers>

namespace zolk {

void window(WindowType type, std::span<float> out) {
    const std::size_t length = out.size();
    const double step = length > 1 ? 2.0 * std::numbers::pi / static_cast<double>(length - 1) : 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double c = std::cos(step * static_cast<double>(i));
        const double w = type == WindowType::Hamming ? 0.54 - 0.46 * c : 0.5 - 0.5 * c;
        out[i] = static_cast<float>(w);
    }
}

}  // namespace zolk
