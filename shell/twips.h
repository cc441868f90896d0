// twips.h: the window's figures are given in twips; the screen counts pixels.
// Owns the conversion only (15 twips to the pixel, as at 96 dots per inch; Qt scales above that).
#pragma once

#include <cstdint>

namespace zolk::shell {

inline constexpr std::int32_t kTwipsPerPixel = 15;

constexpr int pixels(std::int32_t twips) { return static_cast<int>(twips / kTwipsPerPixel); }
constexpr std::int32_t twips(int pixels) { return static_cast<std::int32_t>(pixels) * kTwipsPerPixel; }

}  // namespace zolk::shell
