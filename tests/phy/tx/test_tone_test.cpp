#include "phy/tx/test_tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace zolk {
namespace {

std::vector<std::int16_t> block(TestTone& tone, std::int16_t drive_db) {
    std::vector<std::int16_t> ring(ToneBlockLength);
    tone.TestToneNext(ring, drive_db);
    return ring;
}

TEST(TestTone, PeakFollowsTheDriveLevel) {
    struct Case {
        const char* name;
        std::int16_t drive_db;
        int peak;
        int tolerance;
    };
    const std::array cases{
        Case{"0 dB", 0, 22180, 1},
        Case{"default -5 dB", -5, 12470, 5},
        Case{"-30 dB", -30, 701, 1},
        Case{"+6 dB clips at full scale", 6, 32767, 0},
    };
    TestTone tone;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto ring = block(tone, c.drive_db);
        const auto [low, high] = std::minmax_element(ring.begin(), ring.end());
        EXPECT_NEAR(*high, c.peak, c.tolerance);
        EXPECT_NEAR(*low, -c.peak, c.tolerance);
    }
}

TEST(TestTone, IsA1500HzCosineThatJoinsBlockToBlock) {
    TestTone tone;
    const auto first = block(tone, 0);
    const auto second = block(tone, 0);
    EXPECT_EQ(first, second);
    // Exactly 32 cycles per block: the sample after the block's end is the block's first sample,
    // so the repetition is seamless.
    const double amplitude = std::numbers::sqrt2 * std::pow(10.0, -6.4 / 20.0) * 32767.0;
    for (int n = 0; n <= ToneBlockLength; ++n) {
        const double expected = amplitude * std::cos(2.0 * std::numbers::pi * 1500.0 * n / 48000.0);
        EXPECT_NEAR(first[n % ToneBlockLength], expected, 1.0) << "sample " << n;
    }
}

}  // namespace
}  // namespace zolk
