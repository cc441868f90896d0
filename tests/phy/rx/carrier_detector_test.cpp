#include "phy/rx/carrier_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include "phy/common/numeric.h"
#include "phy/common/random_source.h"
#include "phy/rx/receive_front_end.h"
#include "synthetic_frames.h"

namespace zolk {
namespace {

constexpr int kSlot = 1;

TEST(Mer, KnownSpreadsAndFailures) {
    Complex mean;
    // Two values 0.1 either side of 1: n |mean|^2 / err = 2 / 0.02.
    const std::vector<Complex> tight{{1.0f, 0.1f}, {1.0f, -0.1f}};
    EXPECT_NEAR(mer(tight, mean), 20.0f, 1e-3f);
    EXPECT_NEAR(mean.real(), 1.0f, 1e-6f);
    // Three ones and a minus one: mean 0.5, err 3 x 0.25 + 2.25.
    const std::vector<Complex> split{{1, 0}, {1, 0}, {1, 0}, {-1, 0}};
    EXPECT_NEAR(mer(split, mean), 10.0f * std::log10(4.0f * 0.25f / 3.0f), 1e-4f);
    // Nothing to measure: no values, no spread, no mean.
    EXPECT_EQ(mer({}, mean), kNoValue);
    EXPECT_EQ(mer(std::vector<Complex>(5, Complex{}), mean), kNoValue);
    EXPECT_EQ(mer(std::vector<Complex>{{1, 0}, {-1, 0}}, mean), kNoValue);
}

TEST(CarrierPeak, MerOfMinusOneOrBelowNeverBecomesACandidate) {
    for (const float mer : {-1.0f, -1.5f, -30.0f, kNoValue}) {
        CarrierFrameDetector detector;
        for (int frame = 0; frame < 40; ++frame) {
            EXPECT_FALSE(detector.trackPeak(8, kSlot, mer, Complex{1, 0}, 100).has_value());
        }
        EXPECT_FALSE(detector.candidate(kSlot)) << mer;
    }
    CarrierFrameDetector detector;
    detector.trackPeak(8, kSlot, -0.99f, Complex{1, 0}, 100);
    EXPECT_TRUE(detector.candidate(kSlot));
}

TEST(CarrierPeak, ConfirmsOneSymbolAfterTheBestPeakAndThenClears) {
    const int b = modeRecord(8).guardEighths;  // 9 frames per symbol
    CarrierFrameDetector detector;
    // A rising correlation: each better frame restarts the countdown.
    EXPECT_FALSE(detector.trackPeak(8, kSlot, 3.0f, Complex{1, 0}, 10));
    EXPECT_FALSE(detector.trackPeak(8, kSlot, 5.0f, Complex{1, 0}, 11));
    const float phase = 0.5f;
    EXPECT_FALSE(detector.trackPeak(8, kSlot, 9.0f, Complex{std::cos(phase), std::sin(phase)}, 12));
    std::optional<CarrierDetection> detection;
    int frames = 0;
    while (!detection && frames < 100) {
        detection = detector.trackPeak(8, kSlot, 4.0f, Complex{1, 0}, static_cast<std::uint32_t>(13 + frames));
        ++frames;
    }
    ASSERT_TRUE(detection.has_value());
    EXPECT_EQ(frames, b);
    EXPECT_EQ(detection->ringIndex, 12u);
    EXPECT_FLOAT_EQ(detection->bestMer, 9.0f);
    EXPECT_NEAR(detection->frequencyShift,
                phase * 46.875f / (1.125f * 2.0f * std::numbers::pi_v<float>), 1e-4f);
    EXPECT_FALSE(detector.candidate(kSlot));
    EXPECT_EQ(detector.bestMer(kSlot), kNoValue);
    // Other slots keep their own peaks.
    EXPECT_EQ(detector.bestMer(9), kNoValue);
}

struct DetectCase {
    int mode;
    float shiftHz;  // carrier error, within the pull-in range of the mode
};

class CarrierFrameSearch : public ::testing::TestWithParam<DetectCase> {};

// A frame written into the slot's FFT frames at a known timing, turned by a known carrier error,
// among noise frames: the detector confirms it one symbol later with that timing and error. The
// same in slot 1's store and in the mode's own monitor slot, one frame long, where it wraps.
TEST_P(CarrierFrameSearch, FindsSyntheticFrameAtItsTimingAndShift) {
    const auto [mode, shiftHz] = GetParam();
    const ModeRecord& r = modeRecord(mode);
    RandomSource random;
    const DrawnTables drawn(random);
    const ModeTables tables = test::syntheticTables(mode, 11);
    const test::CarrierFrame frame = test::syntheticCarrierFrame(tables, 12);

    const int b = r.guardEighths;
    struct Store {
        std::size_t frames;
        int lastFrame;  // the frame holding the body of symbol SymbolLimit
    };
    for (const Store store : {Store{kFrameRingLength, 7600}, Store{frameRingLength(mode), 100}}) {
        SCOPED_TRACE(store.frames);
        const int ring = static_cast<int>(store.frames);
        const int lastFrame = store.lastFrame;
        std::vector<Complex> spectra(store.frames * kMaxBins);
        std::mt19937 noise(5);
        std::normal_distribution<float> gauss(0.0f, 1.0f);
        for (auto& v : spectra) v = {gauss(noise), gauss(noise)};
        const float turnPerSymbol =
            2.0f * std::numbers::pi_v<float> * shiftHz * (1.0f + r.guardFraction) / r.carrierSpacing;
        for (int s = 2; s <= r.symbolLimit; ++s) {
            const int w = ((lastFrame - (r.symbolLimit - s) * b) % ring + ring) % ring;
            const Complex turn{std::cos(turnPerSymbol * s), std::sin(turnPerSymbol * s)};
            for (int o = r.firstCarrierBin; o <= r.lastCarrierBin; o += r.carrierStride) {
                const Complex v = frame.cells[static_cast<std::size_t>((s - 2) * 64 + o)];
                const Complex sent = complexMul(v, complexConj(drawn.cellPhaseTable(o, s - 2)));
                spectra[static_cast<std::size_t>(w) * kMaxBins + static_cast<std::size_t>(o)] =
                    complexMul(sent, turn);
            }
        }
        CarrierFrameDetector detector;
        std::optional<CarrierDetection> detection;
        int confirmedAt = -1;
        for (int f = lastFrame - 3 * b; f <= lastFrame + 3 * b && !detection; ++f) {
            const auto frameIndex = static_cast<std::uint16_t>((f % ring + ring) % ring);
            detection = detector.detectFrame(tables, drawn, kSlot, spectra, frameIndex,
                                             static_cast<std::uint32_t>(f * 4));
            confirmedAt = f;
        }
        ASSERT_TRUE(detection.has_value());
        EXPECT_EQ(confirmedAt, lastFrame + b);
        EXPECT_EQ(detection->mode, mode);
        EXPECT_EQ(detection->ringIndex, static_cast<std::uint32_t>(lastFrame * 4));
        EXPECT_GT(detection->bestMer, 30.0f);
        EXPECT_NEAR(detection->frequencyShift, shiftHz, 0.01f);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, CarrierFrameSearch,
                         ::testing::Values(DetectCase{5, 40.0f}, DetectCase{6, -15.0f},
                                           DetectCase{8, 15.0f}, DetectCase{10, -7.5f},
                                           DetectCase{13, 0.0f}));

}  // namespace
}  // namespace zolk
