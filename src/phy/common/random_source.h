// random_source.h: the air-interface pseudo-random generator (reset, seed, next, draw).
// Owns one 64-bit state; each station holds its own instance and decides when to reseed it.
#pragma once

#include <cstdint>

namespace zolk {

// Both stations of a link must draw identical sequences, so the arithmetic here is part of the
// air interface: a 64-bit counter stepped by the golden-ratio constant and a fixed output mix.
class RandomSource {
public:
    RandomSource() { reset(); }

    // Restart from the fixed state every station shares.
    void reset();
    // Mix a signed 32-bit seed into the current state.
    void seed(std::int32_t n);
    // Next value in [0, 1), 24 bits of resolution.
    double next();
    // RandomInt: an integer 0..n inclusive (n >= 0).
    int draw(int n);

private:
    std::uint64_t m_state = 0;
};

}  // namespace zolk
