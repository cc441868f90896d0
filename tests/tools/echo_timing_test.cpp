// A 2 ms echo leaves only 2 of the 8 guard samples of the 64-bin modes free of the neighbouring
// symbols, while FFT frames (and so detections) come 8 samples apart: wherever a frame falls on
// that grid, the receiver must find the clean stretch for the fast modes to decode.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "phy/common/tables_file.h"
#include "phy_trial.h"
#include "sim/channel_model.h"

namespace zolk::phytool {
namespace {

TEST(EchoTiming, FastModesDecodeBehindATwoMillisecondEchoAtEveryArrivalTime) {
    const TablesFileLoad load = loadTablesFile("data/ZOLKSAT.dat");
    ASSERT_EQ(load.error, TablesFileError::None) << load.message;
    constexpr double kBasebandSampleMs = 1000.0 / 3000.0;
    for (const int mode : {12, 13}) {
        auto trial = std::make_unique<PhyTrial>(*load.tables, mode);
        // Arrival times one baseband sample apart across a whole FFT frame step.
        for (int phase = 0; phase < 8; ++phase) {
            for (const std::uint64_t seed : {4, 6}) {
                SCOPED_TRACE("mode " + std::to_string(mode) + ", arrival +" + std::to_string(phase) +
                             " samples, paths of seed " + std::to_string(seed));
                // No Doppler spread: two steady paths of seed-drawn gains, 2 ms apart.
                const sim::ChannelSettings channel{.delayMs = phase * kBasebandSampleMs,
                                                   .fading = sim::FadingSettings{.spreadHz = 0.0, .delayMs = 2.0},
                                                   .snrDb = 30.0,
                                                   .seed = seed};
                EXPECT_TRUE(trial->run(channel, seed).ok);
            }
        }
    }
}

}  // namespace
}  // namespace zolk::phytool
