// numeric.h: small scalar helpers shared by transmit and receive (logarithm, order statistic,
// bit expansion). Owns no state.
#pragma once

#include <cstdint>
#include <span>

namespace zolk {

// Stands for "no value" wherever a figure cannot be computed; every comparison treats a value
// at or below it as absent.
inline constexpr float kNoValue = -1e20f;

// log10(x); kNoValue when x is not positive.
float log10(float x);

// The middle value counted over descending *distinct* values: equal values count once, so with
// repeats the result lies further down than a sorting median. Values at or below kNoValue are
// ignored. When the distinct values run out the walk stays on the smallest one; kNoValue only when
// no value is usable. Even counts give the mean of the two middle picks.
float orderStatistic(std::span<const float> values);

// The binary digits of value, most significant first, left-padded with zeros to bits.size().
// A value with more digits than bits.size() keeps its most significant digits.
void toBits(std::uint32_t value, std::span<std::uint8_t> bits);

}  // namespace zolk
