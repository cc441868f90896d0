// The noise one direction of the simulated link adds: on the scale of each transmission's mean
// power it follows the signal; on a fixed floor it is set by the sender's peak level alone.
#include "sim/air_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>

#include "sim/harness.h"

namespace zolk::sim {
namespace {

// 10 dB crest factor at -7 dBFS peak: what the level rule gives at the default drive of -5 dB.
TEST(AirPathTest, PeakLevelAndItsNoiseFloor) {
    EXPECT_NEAR(stationPeakAmplitude(-5), 32767.0 * std::pow(10.0, -7.0 / 20.0), 1e-3);
    EXPECT_NEAR(stationPeakAmplitude(0) / stationPeakAmplitude(-10), std::pow(10.0, 10.0 / 20.0), 1e-6);
    // Peak 10000: mean power 1e7 for a 10 dB crest; at 10 dB in 2500 Hz N0 = 1e6 / 2500 per Hz, so
    // the variance over 24000 Hz is 9.6e6.
    EXPECT_NEAR(stationPeakNoiseVariance(10000.0, 10.0), 9.6e6, 1.0);
    EXPECT_NEAR(stationPeakNoiseVariance(10000.0, 0.0), 9.6e7, 10.0);
}

class AirPathNoiseTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = std::filesystem::path(::testing::TempDir()) / ("air_path_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_root);
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }

    // Sends a tone of this amplitude for a second, then silence for a second, and returns the
    // variance of what the receiver hears in the second half of the silence (noise only).
    double noiseAfterTone(SnrScale scale, double amplitude, double snrDb) {
        Harness harness;
        SimStation& a = harness.addStation(m_root / "a");
        SimStation& b = harness.addStation(m_root / "b");
        AirPath path(a.station(), b.station(), ChannelSettings{.seed = 9}, snrDb, nullptr, scale);
        constexpr int kBlocksPerSecond = 48000 / static_cast<int>(kBlockSamples);
        double sum = 0.0;
        double count = 0.0;
        std::int64_t n = 0;
        for (int k = 0; k < 2 * kBlocksPerSecond; ++k) {
            std::array<float, kBlockSamples> block{};
            for (float& x : block) {
                x = k < kBlocksPerSecond ? static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * 1500.0 * n / 48000.0)) : 0.0F;
                ++n;
            }
            path.process(block);
            if (k < kBlocksPerSecond * 3 / 2) continue;
            for (const float x : block) sum += static_cast<double>(x) * x;
            count += static_cast<double>(kBlockSamples);
        }
        return sum / count;
    }

    std::filesystem::path m_root;
};

TEST_F(AirPathNoiseTest, NoiseFollowsTheTransmissionOrTheFixedFloor) {
    struct Case {
        SnrScale scale;
        double amplitude;
        double snrDb;
        double expectedVariance;
    };
    const double floorAt6Db = stationPeakNoiseVariance(stationPeakAmplitude(-5), 6.0);
    const Case cases[] = {
        // The tone's mean power is amplitude^2 / 2.
        {SnrScale::TransmissionMean, 1000.0, 6.0, noiseVariance(1000.0 * 1000.0 / 2.0, 6.0)},
        {SnrScale::TransmissionMean, 8000.0, 6.0, noiseVariance(8000.0 * 8000.0 / 2.0, 6.0)},
        {SnrScale::TransmissionMean, 8000.0, -3.0, noiseVariance(8000.0 * 8000.0 / 2.0, -3.0)},
        // The floor does not move with what is sent (the station's drive level is the default -5 dB).
        {SnrScale::StationPeak, 1000.0, 6.0, floorAt6Db},
        {SnrScale::StationPeak, 8000.0, 6.0, floorAt6Db},
        {SnrScale::StationPeak, 8000.0, -3.0, stationPeakNoiseVariance(stationPeakAmplitude(-5), -3.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.scale == SnrScale::StationPeak ? "fixed floor" : "transmission mean") + ", amplitude " +
                     std::to_string(c.amplitude) + ", " + std::to_string(c.snrDb) + " dB");
        EXPECT_NEAR(noiseAfterTone(c.scale, c.amplitude, c.snrDb) / c.expectedVariance, 1.0, 0.03);
    }
}

}  // namespace
}  // namespace zolk::sim
