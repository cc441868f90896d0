#include "phy/common/random_source.h"

#include <cmath>

namespace zolk {
namespace {

constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;
constexpr std::uint64_t kResetState = 0x6A09E667F3BCC909ULL;

std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace

void RandomSource::reset() { m_state = kResetState; }

void RandomSource::seed(std::int32_t n) {
    const auto widened = static_cast<std::uint64_t>(static_cast<std::int64_t>(n));
    m_state = mix(m_state ^ (widened * kGolden));
}

double RandomSource::next() {
    m_state += kGolden;
    return static_cast<double>(mix(m_state) >> 40) / 16777216.0;
}

int RandomSource::draw(int n) {
    // 24-bit value times (n + 1) is exact in double for every int n.
    return static_cast<int>(std::floor(next() * (static_cast<double>(n) + 1.0)));
}

}  // namespace zolk
