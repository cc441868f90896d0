// window.h: window coefficients for the receive filters (Hamming) and the waterfall (Hann).
// Owns no state; callers keep the coefficients they need.
#pragma once

#include <cstdint>
#include <span>

namespace zolk {

enum class WindowType : std::uint8_t {
    Hamming = 2,
    Hann = 3,
};

// Fills all of out (length L) with w[i] for x = 2 pi i / (L - 1), computed in double.
// A one-point window is the single coefficient at x = 0.
void window(WindowType type, std::span<float> out);

}  // namespace zolk
