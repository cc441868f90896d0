#include "phy/rx/frequency_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace zolk {
namespace {

constexpr double kRateHz = 3000.0;

// Samples first .. first + n - 1 of a unit tone at hz.
std::vector<Complex> tone(double hz, std::size_t first, std::size_t n) {
    std::vector<Complex> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double phase = 2.0 * std::numbers::pi * hz * static_cast<double>(first + i) / kRateHz;
        x[i] = {static_cast<float>(std::cos(phase)), static_cast<float>(std::sin(phase))};
    }
    return x;
}

// The largest share of a frame's power that one bin holds.
float largestShare(const ShiftedFrames& frames, std::size_t back) {
    float total = 0.0f;
    float largest = 0.0f;
    for (std::size_t k = 0; k < frames.bins; ++k) {
        const float p = complexPower(frames.cell(back, k));
        total += p;
        largest = std::max(largest, p);
    }
    return largest / total;
}

// A tone a third of a 46.875 Hz bin (a sixth of a 93.75 Hz bin) off a bin lands on that one bin in
// the frames shifted by its error, and leaks in the frames shifted the other way.
TEST(FrequencySearchFrames, AToneOffItsBinLandsOnItInTheFramesOfItsError) {
    for (const std::size_t bins : kSearchFrameBins) {
        const double spacingHz = kRateHz / static_cast<double>(bins);
        for (std::size_t h = 0; h < kSearchShiftsHz.size(); ++h) {
            SCOPED_TRACE(std::to_string(bins) + " bins, tone " + std::to_string(kSearchShiftsHz[h]) + " Hz off bin 10");
            FrequencySearchFrames search(7680);
            search.store(tone(10.0 * spacingHz + kSearchShiftsHz[h], 500, bins));
            const auto frames = search.frames(bins);
            ASSERT_EQ(frames.size(), kSearchShiftsHz.size());
            const ShiftedFrames& matching = frames[h];
            const ShiftedFrames& other = frames[1 - h];
            EXPECT_EQ(matching.shiftHz, kSearchShiftsHz[h]);
            EXPECT_NEAR(std::abs(matching.cell(0, 10)), static_cast<float>(bins), 1e-3f * static_cast<float>(bins));
            EXPECT_GT(largestShare(matching, 0), 0.9999f);
            // Two shifts apart: 2/3 of the small bin, 1/3 of the large one.
            EXPECT_LT(largestShare(other, 0), 0.7f);
        }
    }
}

// Shifting within each frame keeps the turn from frame to frame: two frames one mode-8 symbol
// period (72 samples, 9 FFT frames) apart turn by the tone's whole frequency, not by what is left
// after the shift, so the header turns still measure the whole carrier error. The frames are
// stored across the end of the ring.
TEST(FrequencySearchFrames, FrameToFrameTurnKeepsTheWholeError) {
    constexpr std::size_t kBins = 64;
    constexpr double kToneHz = 20.0 * 46.875 + 20.0;
    FrequencySearchFrames search(7680);
    const std::size_t ring = search.frames(kBins)[0].frames;
    // FFT frames 8 samples apart, the last ten of them the tone's.
    for (std::size_t f = 0; f + 10 < ring + 5; ++f) search.store(tone(0.0, 0, kBins));
    for (std::size_t f = 0; f < 10; ++f) search.store(tone(kToneHz, 1000 + 8 * f, kBins));
    const ShiftedFrames& frames = search.frames(kBins)[1];  // +15.625 Hz
    EXPECT_EQ(frames.newest, 5u);
    const Complex turn = complexMul(complexConj(frames.cell(9, 20)), frames.cell(0, 20));
    const double expected = std::remainder(2.0 * std::numbers::pi * kToneHz * 72.0 / kRateHz, 2.0 * std::numbers::pi);
    EXPECT_NEAR(std::arg(turn), expected, 1e-3);
    // 4.4 Hz (0.09 bin) left: the bin keeps 97 % of the tone's power.
    EXPECT_NEAR(std::abs(turn), 0.97f * 64.0f * 64.0f, 0.01f * 64.0f * 64.0f);
}

TEST(FrequencySearchFrames, KeepsOnlyTheSizesThatNeedIt) {
    FrequencySearchFrames search(7680);
    EXPECT_TRUE(search.frames(16).empty());
    search.store(tone(100.0, 0, 16));  // not kept, and harmless
    for (const std::size_t bins : kSearchFrameBins) {
        for (const ShiftedFrames& f : search.frames(bins)) EXPECT_EQ(f.frames * bins, 7680u * 16u);
    }
    EXPECT_THROW(FrequencySearchFrames(7681), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
