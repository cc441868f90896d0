#include "phy/tx/test_tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "keyed_engine.h"

namespace zolk {
namespace {

// The tone runs as generator 2 with tone blocks, keyed until the test drops PTT.
class TestToneTest : public ::testing::Test {
protected:
    TestToneTest() {
        rig.engine().attachGenerator(TxGenerator::TestTone, &tone);
        rig.engine().selectGenerator(TxGenerator::TestTone);
        rig.engine().setSignalKind(TxSignalKind::ToneBlocks);
    }

    // buffers of 256 samples after the silent key-up buffer.
    std::vector<std::int16_t> tune(std::int16_t driveDb, int buffers) {
        driveLevelDb = driveDb;
        auto played = rig.play(1 + buffers);
        rig.unkey();
        played.erase(played.begin(), played.begin() + kAudioBlockLength);
        return played;
    }

    std::int16_t driveLevelDb = 0;
    TestTone tone{driveLevelDb};
    KeyedEngine rig;
};

TEST_F(TestToneTest, PeakFollowsTheDriveLevel) {
    struct Case {
        const char* name;
        std::int16_t driveDb;
        int peak;
        int tolerance;
    };
    const std::array cases{
        Case{"0 dB", 0, 22180, 1},
        Case{"default -5 dB", -5, 12470, 5},
        Case{"-30 dB", -30, 701, 1},
        Case{"+6 dB clips at full scale", 6, 32767, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto x = tune(c.driveDb, 8);
        const auto [low, high] = std::minmax_element(x.begin(), x.end());
        EXPECT_NEAR(*high, c.peak, c.tolerance);
        EXPECT_NEAR(*low, -c.peak, c.tolerance);
    }
}

TEST_F(TestToneTest, IsOneContinuous1500HzToneAcrossBlocks) {
    // Ten 1024-sample blocks: every sample, the block joins included, on one cosine.
    const auto x = tune(0, 40);
    ASSERT_EQ(x.size(), 40u * kAudioBlockLength);
    const double amplitude = std::numbers::sqrt2 * std::pow(10.0, -6.4 / 20.0) * 32767.0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double expected = amplitude * std::cos(2.0 * std::numbers::pi * 1500.0 * n / 48000.0);
        ASSERT_NEAR(x[n], expected, 1.0) << "sample " << n;
    }
    EXPECT_EQ(rig.releases(), 0) << "the tone never releases PTT itself";
}

}  // namespace
}  // namespace zolk
