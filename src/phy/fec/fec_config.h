// fec_config.h: what the turbo encoder and decoder need to know of one mode.
// Owns nothing: the spans view read-only tables that the mode table and tables file keep alive.
#pragma once

#include <cstdint>
#include <span>

namespace zolk {

struct FecConfig {
    int constraint = 4;  // TurboConstraint K: 3, 4 or 5
    int rateIndex = 0;   // CodeRateIndex q: 0 (uncoded) or 2..10
    int infoBits = 0;    // InfoBits
    int codedBits = 0;   // CodedBits
    // TurboInterleaver: infoBits 0-based source indices (encoder 2 reads u[pi[m]]).
    std::span<const std::uint16_t> turboInterleaver;
    // BitInterleaver: codedBits 0-based source indices (out[i] = coded[perm[i]]).
    std::span<const std::uint16_t> bitInterleaver;
    // Whitening sequence, at least infoBits entries of 0 or 1 (the decoder removes it).
    std::span<const std::uint8_t> pseudoRandomBits;
};

// Throws std::invalid_argument naming the first field that does not fit: constraint or rate
// index unsupported, encoder output longer than codedBits, a table of the wrong size, or a
// permutation index out of range.
void checkFecConfig(const FecConfig& config);

}  // namespace zolk
