// rate_converter.h: moves audio between the reference modem's 8000 Hz and the channel's 48000 Hz.
// Owns nothing but a read-only filter; whole signals in, whole signals out.
#pragma once

#include <span>
#include <vector>

namespace zolk::bench {

inline constexpr int kRateFactor = 6;  // 48000 / 8000

// Both use one linear-phase low-pass (145 taps, Kaiser beta 8, cut-off 3.6 kHz at 48000 Hz), whose
// delay of 72 samples at 48000 Hz is 12 at 8000 Hz: the output starts that much late.
std::vector<float> upsample(std::span<const float> audio8k);
std::vector<float> downsample(std::span<const float> audio48k);

}  // namespace zolk::bench
