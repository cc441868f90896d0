#include "phy/tx/symbol_synthesis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "phy/common/mode_table.h"

namespace zolk {
namespace {

// Mode 8's figures: 1024-point body, 128-sample prefix, 64 bins, family 1.
CarrierSymbolShape mode8Shape() {
    return {.transformSize = 1024,
            .guardLength = 128,
            .binsPerSymbol = 64,
            .amplitudeDivisor = 9.8f,
            .crestDb = 9.8f,
            .crossfade = true,
            .crossfadeLength = 32};
}

std::vector<Complex> singleBin(int bin, Complex value) {
    std::vector<Complex> bins(64);
    bins[bin] = value;
    return bins;
}

TEST(SymbolSynthesis, LevelGainFormula) {
    // Crest 3 dB at drive 0: m = 1.4 + 5 = 6.4 dB.
    EXPECT_NEAR(levelGain(3.0f, 0), std::pow(10.0, -6.4 / 20.0), 1e-6);
    // Crest 9.8 dB at drive -5: m = 0.04 + 11.8 + 5 = 16.84 dB.
    EXPECT_NEAR(levelGain(9.8f, -5), std::pow(10.0, -16.84 / 20.0), 1e-6);
}

// The receiver takes each mode's level on the air from crestLevelOffsetDb: it must be the level rule's.
TEST(SymbolSynthesis, LevelRuleMatchesTheReceiversOffset) {
    for (int mode = 0; mode < kModeCount; ++mode) {
        const float crest = modeRecord(mode).crestDb;
        for (const std::int16_t drive : {-20, -5, 0}) {
            EXPECT_NEAR(20.0 * std::log10(levelGain(crest, drive) / levelGain(10.0f, drive)), crestLevelOffsetDb(crest), 1e-4)
                << "mode " << mode << ", drive " << drive;
        }
    }
}

TEST(SymbolSynthesis, HardClipReachesExactlyFullScale) {
    std::vector<float> samples{1.7f, -3.0f, 0.25f, 1.0f, -1.0f};
    hardClip(samples);
    std::vector<std::int16_t> ring(samples.size());
    toRingSamples(samples, ring);
    EXPECT_EQ(ring, (std::vector<std::int16_t>{32767, -32767, 8192, 32767, -32767}));
}

TEST(SymbolSynthesis, PrefixRepeatsTheBodyEndWithoutCrossfade) {
    CarrierSymbolShape shape = mode8Shape();
    shape.crossfade = false;
    CarrierSymbolSynthesizer synthesizer;
    synthesizer.start(shape);
    std::vector<float> out(1152);
    synthesizer.synthesize(singleBin(10, {0.3f, 0.4f}), 0, out);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(out[i], out[i + 1024]) << i;
    }
    // Bin 10 at 46.875 Hz spacing: 2 |X| cos(...) scaled by 1 / divisor and the level gain.
    const float peak = *std::max_element(out.begin(), out.end());
    EXPECT_NEAR(peak, 2.0 * 0.5 / 9.8 * levelGain(9.8f, 0), 1e-3);
}

TEST(SymbolSynthesis, CrossfadeJoinsConsecutiveSymbols) {
    CarrierSymbolSynthesizer synthesizer;
    synthesizer.start(mode8Shape());
    std::vector<float> first(1152);
    std::vector<float> second(1152);
    // Bin 16 runs a whole number of cycles through the prefix, so the first symbol's
    // continuation past its end equals an identical second symbol's prefix.
    const auto bins = singleBin(16, {1.0f, 0.0f});
    synthesizer.synthesize(bins, 0, first);
    // The first symbol fades in from silence.
    EXPECT_LT(std::abs(first[0]), 0.01f * std::abs(first[128]));
    synthesizer.synthesize(bins, 0, second);
    for (int i = 0; i < 1152; ++i) {
        EXPECT_NEAR(second[i], first[i < 128 ? i + 1024 : i], 1e-5f) << i;
    }
}

TEST(SymbolSynthesis, CrossfadeBlendsFromThePreviousContinuation) {
    CarrierSymbolShape plainShape = mode8Shape();
    plainShape.crossfade = false;
    CarrierSymbolSynthesizer plain;
    plain.start(plainShape);
    CarrierSymbolSynthesizer faded;
    faded.start(mode8Shape());
    std::vector<float> previous(1152);
    std::vector<float> alone(1152);
    std::vector<float> out(1152);
    faded.synthesize(singleBin(20, {1.0f, 0.0f}), 0, previous);
    plain.synthesize(singleBin(7, {0.0f, 1.0f}), 0, alone);
    faded.synthesize(singleBin(7, {0.0f, 1.0f}), 0, out);
    // Start of the window: almost all previous body start; its end: almost all the new prefix.
    EXPECT_NEAR(out[0], previous[128], 0.01f * std::abs(previous[128]) + 1e-4f);
    EXPECT_NEAR(out[31], alone[31], 0.01f * std::abs(previous[128 + 31]) + 1e-4f);
    for (int i = 32; i < 1152; ++i) {
        EXPECT_EQ(out[i], alone[i]) << i;
    }
}

TEST(SymbolSynthesis, FadeOutEndsInSilence) {
    CarrierSymbolSynthesizer synthesizer;
    synthesizer.start(mode8Shape());
    std::vector<float> out(1152);
    synthesizer.synthesize(singleBin(5, {1.0f, 0.0f}), 0, out);
    const float before = out[1152 - 33];
    synthesizer.fadeOutEnd(out);
    EXPECT_EQ(out[1152 - 33], before);
    EXPECT_LT(std::abs(out.back()), 0.01f * levelGain(9.8f, 0));
}

TEST(SymbolSynthesis, RefusesShapesWithoutTransform) {
    CarrierSymbolSynthesizer synthesizer;
    CarrierSymbolShape shape = mode8Shape();
    shape.transformSize = 768;
    EXPECT_THROW(synthesizer.start(shape), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
