// tables_generator.h: builds the contents of the tables file deterministically from the random
// source (one fixed seed per mode). Owns nothing; zolk-tables writes the result, tests compare it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"

namespace zolk {

struct GeneratedTables {
    TablesFile tables;
    // The spread S each mode's turbo interleaver was built with.
    std::array<int, kModeCount> turboSpread{};
};

GeneratedTables generateTables();

// An S-random permutation of size entries: any two entries at most S positions apart differ by
// more than S. S starts at floor(sqrt(size / 2)) and drops by one whenever an attempt stalls.
// Returns the permutation and sets spread to the S reached.
std::vector<std::uint16_t> sRandomPermutation(int size, RandomSource& random, int& spread);

// Largest S for which perm has the S-random property (0 when even S = 1 fails); a measure.
int measuredSpread(const std::vector<std::uint16_t>& perm);

}  // namespace zolk
