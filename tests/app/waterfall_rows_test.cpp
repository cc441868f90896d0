#include "app/waterfall_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zolk {
namespace {

constexpr float kRateHz = 3000.0F;

std::uint32_t green(std::uint32_t rgb) { return (rgb >> 8) & 0xFF; }

// Pushes samples of a tone until the next row is due; true if one was due at the last sample only.
bool feedTone(WaterfallRows& rows, float hz, float amplitude, std::size_t& t) {
    for (std::size_t i = 1; i <= WaterfallRows::kRowSamples; ++i, ++t) {
        const float phase = 2.0F * std::numbers::pi_v<float> * hz * static_cast<float>(t) / kRateHz;
        const bool due = rows.push(amplitude * Complex{std::cos(phase), std::sin(phase)});
        if (due != (i == WaterfallRows::kRowSamples)) return false;
    }
    return true;
}

TEST(WaterfallRows, AToneMakesItsColumnTheBrightestBetweenRedMarkers) {
    WaterfallRows rows;
    std::size_t t = 0;
    for (int r = 0; r < 4; ++r) {
        ASSERT_TRUE(feedTone(rows, 1500.0F, 1000.0F, t)) << "a row every 512 samples";
        const auto& row = rows.row(false, std::nullopt);
        // 1500 Hz of 3000 Hz in 1024 columns is column 512; the window spreads a tone over its
        // neighbours, and a strong tone saturates all three.
        std::uint32_t brightest = 0;
        for (std::size_t n = 0; n < row.size(); ++n) {
            if (row[n] != WaterfallRows::kRed) brightest = std::max(brightest, green(row[n]));
        }
        EXPECT_EQ(green(row[512]), brightest) << "row " << r;
        for (std::size_t n = 0; n < row.size(); ++n) {
            if (row[n] != WaterfallRows::kRed && green(row[n]) == brightest) {
                EXPECT_LE(n > 512 ? n - 512 : 512 - n, 1U) << "row " << r << " column " << n;
            }
        }
        // Far from the tone only the transform's rounding shows, barely above black.
        EXPECT_LT(green(row[600]), 16U);
        for (std::size_t n : {119U, 120U, 121U, 887U, 888U, 889U}) EXPECT_EQ(row[n], WaterfallRows::kRed) << n;
        for (std::size_t n : {118U, 122U, 700U}) EXPECT_NE(row[n], WaterfallRows::kRed) << n;
        // The edges of the band are never drawn.
        EXPECT_EQ(row[50], 0U);
        EXPECT_EQ(row[991], 0U);
    }
}

TEST(WaterfallRows, TheFirstRowIsScaledBy2000AndLaterOnesByThePreviousRow) {
    WaterfallRows rows;
    std::size_t t = 0;
    // The tone's column holds amplitude x 511.5 (the window's sum): 1000 of it is 255.75 times 2000,
    // full green on the first row.
    ASSERT_TRUE(feedTone(rows, 1500.0F, 1000.0F, t));
    ASSERT_TRUE(feedTone(rows, 1500.0F, 1000.0F, t));
    EXPECT_EQ(green(rows.row(false, std::nullopt)[512]), 255U);
    WaterfallRows quiet;
    t = 0;
    // The whole ring holds the tone before the first row is made.
    ASSERT_TRUE(feedTone(quiet, 1500.0F, 1.0F, t));
    ASSERT_TRUE(feedTone(quiet, 1500.0F, 1.0F, t));
    // 1 x 511.5 / 2000: a quarter of a step.
    EXPECT_EQ(green(quiet.row(false, std::nullopt)[512]), 0U);
    ASSERT_TRUE(feedTone(quiet, 1500.0F, 1.0F, t));
    EXPECT_EQ(green(quiet.row(false, std::nullopt)[512]), 255U) << "scaled by the previous row now";
}

TEST(WaterfallRows, RowsAreBlackWhileTransmittingAndForThreeRowsAfter) {
    WaterfallRows rows;
    std::size_t t = 0;
    const auto allBlack = [](const auto& row) { return std::all_of(row.begin(), row.end(), [](auto p) { return p == 0; }); };
    ASSERT_TRUE(feedTone(rows, 1500.0F, 1000.0F, t));
    EXPECT_FALSE(allBlack(rows.row(false, std::nullopt)));
    for (const bool transmitting : {true, true, false, false, false}) {  // three rows after
        ASSERT_TRUE(feedTone(rows, 1500.0F, 1000.0F, t));
        EXPECT_TRUE(allBlack(rows.row(transmitting, std::nullopt)));
    }
    ASSERT_TRUE(feedTone(rows, 1500.0F, 1000.0F, t));
    EXPECT_FALSE(allBlack(rows.row(false, std::nullopt)));
}

TEST(WaterfallRows, MarkersFollowTheReceiveCorrectionDuringALink) {
    EXPECT_EQ(WaterfallRows::markers(std::nullopt), std::make_pair(120, 888));
    EXPECT_EQ(WaterfallRows::markers(100.0F), std::make_pair(86, 854));
    EXPECT_EQ(WaterfallRows::markers(-100.0F), std::make_pair(154, 922));
    WaterfallRows rows;
    std::size_t t = 0;
    ASSERT_TRUE(feedTone(rows, 700.0F, 1000.0F, t));
    const auto& row = rows.row(false, 100.0F);
    for (std::size_t n : {85U, 86U, 87U, 853U, 854U, 855U}) EXPECT_EQ(row[n], WaterfallRows::kRed) << n;
    EXPECT_NE(row[120], WaterfallRows::kRed);
}

}  // namespace
}  // namespace zolk
