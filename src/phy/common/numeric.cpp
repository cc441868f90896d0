#include "phy/common/numeric.h"

#include <bit>
#include <cmath>

namespace zolk {

float log10(float x) { return x > 0.0f ? std::log10(x) : kNoValue; }

namespace {

// Largest usable value strictly below ceiling, or kNoValue.
float largestBelow(std::span<const float> values, float ceiling) {
    float best = kNoValue;
    for (const float v : values) {
        if (v < ceiling && v > best) {
            best = v;
        }
    }
    return best;
}

}  // namespace

float orderStatistic(std::span<const float> values) {
    const std::size_t n = values.size();
    if (n == 0) {
        return kNoValue;
    }
    const std::size_t picks = n % 2 == 1 ? (n + 1) / 2 : n / 2 + 1;
    float previous = 1e35f;
    float beforeLast = kNoValue;
    float last = kNoValue;
    for (std::size_t i = 0; i < picks; ++i) {
        const float pick = largestBelow(values, previous);
        if (pick == kNoValue) {
            if (i == 0) {
                return kNoValue;
            }
            // Out of distinct values: the walk rests on the smallest one.
            beforeLast = last;
            continue;
        }
        beforeLast = last;
        last = pick;
        previous = pick;
    }
    if (n % 2 == 1) {
        return last;
    }
    return (beforeLast + last) / 2.0f;
}

void toBits(std::uint32_t value, std::span<std::uint8_t> bits) {
    const std::size_t width = bits.size();
    const auto digits = static_cast<std::size_t>(std::bit_width(value));
    if (digits > width) {
        value >>= digits - width;
    }
    for (std::size_t i = 0; i < width; ++i) {
        bits[width - 1 - i] = i < 32 ? static_cast<std::uint8_t>((value >> i) & 1U) : 0;
    }
}

}  // namespace zolk
