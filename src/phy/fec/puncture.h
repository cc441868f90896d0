// puncture.h: the periodic puncturing patterns that set the turbo code rate.
// Owns the read-only pattern table; the mode table decides each mode's rate and TurboCapacity.
#pragma once

#include <array>

#include "phy/common/mode_table.h"

namespace zolk {

inline constexpr int kMaxPuncturePeriod = 30;
inline constexpr int kMaxRateIndex = 10;
// Rate index 0: the bits are sent uncoded.
inline constexpr int kUncodedRateIndex = 0;

struct PunctureFlags {
    bool systematic = false;
    bool parity1 = false;
    bool parity2 = false;
};

// One code rate. Every position sends its systematic bit; parity 1 goes out at position 0
// and parity 2 half a period later, so both encoders are punctured evenly.
struct PuncturePattern {
    int period = 0;  // P(q); 0 where the rate index has no pattern
    std::array<PunctureFlags, kMaxPuncturePeriod> at{};
};

namespace detail {

constexpr PuncturePattern makePattern(int period) {
    PuncturePattern p{period, {}};
    for (int r = 0; r < period; ++r) {
        p.at[r] = {true, r == 0, r == period / 2};
    }
    return p;
}

}  // namespace detail

// Indexed by CodeRateIndex q.
// clang-format off
inline constexpr std::array<PuncturePattern, kMaxRateIndex + 1> kPuncturePattern = {
    PuncturePattern{},          // q = 0: uncoded
    PuncturePattern{},          // q = 1: no pattern
    detail::makePattern(1),     // 1/3
    detail::makePattern(2),     // 1/2
    detail::makePattern(4),     // 2/3
    detail::makePattern(6),     // 3/4
    detail::makePattern(8),     // 4/5
    detail::makePattern(10),    // 5/6
    detail::makePattern(12),    // 6/7
    detail::makePattern(14),    // 7/8
    detail::makePattern(30),    // 15/16
};
// clang-format on

// True for the rate indices the turbo code can send: 0 (uncoded) and 2..10.
constexpr bool isSupportedRateIndex(int rateIndex) {
    return rateIndex == kUncodedRateIndex || (rateIndex > 1 && rateIndex <= kMaxRateIndex);
}

// Bits TurboEncode writes for `infoBits` information bits (the multiplexed data plus the tail).
constexpr int turboEncodedLength(int infoBits, int constraint, int rateIndex) {
    if (rateIndex == kUncodedRateIndex) return infoBits;
    const PuncturePattern& p = kPuncturePattern[rateIndex];
    int length = 0;
    for (int t = 0, r = 0; t < infoBits; ++t, r = (r + 1 == p.period) ? 0 : r + 1) {
        length += int{p.at[r].systematic} + int{p.at[r].parity1} + int{p.at[r].parity2};
    }
    return length + turboTailBits(constraint);
}

}  // namespace zolk
