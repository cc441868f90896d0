#include "phy/tx/symbol_feeder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "keyed_engine.h"
#include "phy/common/audio_engine.h"
#include "phy/common/mode_table.h"
#include "phy/tx/tx_cells.h"

namespace zolk {
namespace {

// The feeder runs only through the audio engine's generator calls, keyed by the test.
class FeederTest : public ::testing::Test {
protected:
    static constexpr int kLeadInBin = 60;

    FeederTest() {
        engine.attachGenerator(TxGenerator::SymbolFeeder, &feeder);
        engine.selectGenerator(TxGenerator::SymbolFeeder);
    }

    // Every frame symbol s gets one cell in bin binOfSymbol(s); lead-in columns use kLeadInBin.
    static int binOfSymbol(int s) { return 8 + s % 48; }
    void markCells() {
        for (int s = 1; s <= TxCells::kFrameSymbols; ++s) {
            cells.frameCell(binOfSymbol(s), s) = Complex{1.0f, 0.0f};
        }
        for (int l = 1; l <= TxCells::kLeadInColumns; ++l) {
            cells.leadInSymbol(l)[kLeadInBin] = Complex{1.0f, 0.0f};
        }
        for (int c = 0; c < TxCells::kToneColumns; ++c) {
            cells.toneColumn(c)[binOfSymbol(c)] = Complex{1.0f, 0.0f};
        }
    }

    void startSymbols(int mode, int framesPerBurst) {
        engine.setSignalKind(TxSignalKind::Symbols);
        engine.setSymbolLength(static_cast<std::size_t>(modeRecord(mode).symbolLength));
        feeder.setTransmitMode(mode);
        feeder.setFramesPerBurst(framesPerBurst);
    }

    // Plays from key-up until the feeder releases PTT.
    std::vector<std::int16_t> transmit() {
        auto played = rig.play();
        EXPECT_FALSE(rig.keyed()) << "PTT never released";
        return played;
    }

    // The strongest of bins 0..63 in n samples from start, at 48000 / n Hz spacing.
    static int strongestBin(const std::vector<std::int16_t>& x, std::size_t start, int n) {
        int best = -1;
        double bestPower = 0.0;
        for (int k = 0; k < 64; ++k) {
            double re = 0.0;
            double im = 0.0;
            for (int i = 0; i < n; ++i) {
                const double a = 2.0 * std::numbers::pi * k * i / n;
                re += x[start + static_cast<std::size_t>(i)] * std::cos(a);
                im -= x[start + static_cast<std::size_t>(i)] * std::sin(a);
            }
            const double power = re * re + im * im;
            if (power > bestPower) {
                bestPower = power;
                best = k;
            }
        }
        return best;
    }

    static bool silent(const std::vector<std::int16_t>& x, std::size_t start, std::size_t n) {
        return std::all_of(x.begin() + static_cast<std::ptrdiff_t>(start),
                           x.begin() + static_cast<std::ptrdiff_t>(start + n),
                           [](std::int16_t s) { return s == 0; });
    }

    KeyedEngine rig;
    AudioEngine& engine = rig.engine();
    TxCells cells;
    std::int16_t driveLevelDb = 0;
    SymbolFeeder feeder{cells, engine, driveLevelDb, rig};
};

TEST_F(FeederTest, Mode8OneFrameTimeline) {
    markCells();
    startSymbols(8, 1);
    const auto x = transmit();
    const int s = 1152;
    const int n = 1024;
    const int g = 128;
    // Key-up buffer, 8 lead-in symbols, symbols 2..200, 45 silent periods, then PTT off at the
    // period that would follow: the buffer holding that wrap is the last one played.
    const std::size_t pttOffAt = 256 + static_cast<std::size_t>(8 + 199 + 45) * s;
    EXPECT_EQ(rig.releases(), 1);
    ASSERT_EQ(x.size(), (pttOffAt + 255) / 256 * 256 + (pttOffAt % 256 == 0 ? 256 : 0));
    EXPECT_TRUE(silent(x, 0, 256));
    for (int p = 0; p < 8; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(strongestBin(x, 256 + static_cast<std::size_t>(p * s + g), n), kLeadInBin);
    }
    for (int symbol = 2; symbol <= 200; ++symbol) {
        SCOPED_TRACE(symbol);
        const auto start = 256 + static_cast<std::size_t>((8 + symbol - 2) * s);
        EXPECT_EQ(strongestBin(x, start + g, n), binOfSymbol(symbol));
    }
    // The last symbol fades out to silence; the tail is silent up to PTT off and beyond.
    const std::size_t end = 256 + static_cast<std::size_t>(8 + 199) * s;
    EXPECT_LT(std::abs(x[end - 1]), 200);
    EXPECT_TRUE(silent(x, end, x.size() - end));
}

TEST_F(FeederTest, TwoFramesSendBothSlotsBeforeTheTail) {
    markCells();
    startSymbols(8, 2);
    const auto x = transmit();
    const int s = 1152;
    const std::size_t pttOffAt = 256 + static_cast<std::size_t>(8 + 398 + 45) * s;
    EXPECT_EQ(x.size(), (pttOffAt / 256 + 1) * 256);
    for (const int symbol : {2, 200, 201, 202, 399}) {
        SCOPED_TRACE(symbol);
        const auto start = 256 + static_cast<std::size_t>((8 + symbol - 2) * s);
        EXPECT_EQ(strongestBin(x, start + 128, 1024), binOfSymbol(symbol));
    }
    const std::size_t end = 256 + static_cast<std::size_t>(8 + 398) * s;
    EXPECT_TRUE(silent(x, end, x.size() - end));
}

TEST_F(FeederTest, ToneBlockSignalTimeline) {
    markCells();
    engine.setSignalKind(TxSignalKind::ToneBlocks);
    const auto x = transmit();
    // 8 lead-in blocks, columns 1..31, 50 silent blocks, PTT off at the next wrap.
    EXPECT_EQ(x.size(), 256 + static_cast<std::size_t>(8 + 31 + 50) * 1024 + 256);
    for (int p = 0; p < 8; ++p) {
        EXPECT_EQ(strongestBin(x, 256 + static_cast<std::size_t>(p) * 1024, 1024), kLeadInBin);
    }
    for (int column = 1; column <= 31; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(strongestBin(x, 256 + static_cast<std::size_t>(7 + column) * 1024, 1024),
                  binOfSymbol(column));
    }
    const std::size_t end = 256 + static_cast<std::size_t>(8 + 31) * 1024;
    EXPECT_TRUE(silent(x, end, x.size() - end));
}

TEST_F(FeederTest, LeadInToneReplacesTheLeadIn) {
    struct Case {
        const char* name;
        std::uint8_t lengthSelector;
        int toneBlocks;
    };
    for (const Case& c : {Case{"10 s", 1, 477}, Case{"400 ms", 0, 27}, Case{"400 ms (2)", 2, 27}}) {
        SCOPED_TRACE(c.name);
        markCells();
        engine.setSignalKind(TxSignalKind::ToneBlocks);
        feeder.setLeadInToneArmed(true);
        feeder.setLeadInToneLength(c.lengthSelector);
        const auto x = transmit();
        EXPECT_EQ(feeder.leadInToneLength(), 0);
        EXPECT_FALSE(feeder.leadInToneArmed()) << "a finished tone-block signal disarms the tone";
        EXPECT_EQ(x.size(), 256 + static_cast<std::size_t>(c.toneBlocks + 31 + 50) * 1024 + 256);
        // 1500 Hz is bin 32 of a 1024-sample block, and the tone runs without a phase step.
        const double amplitude = std::numbers::sqrt2 * std::pow(10.0, -6.4 / 20.0) * 32767.0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(c.toneBlocks) * 1024; i += 97) {
            const double expected = amplitude * std::sin(2.0 * std::numbers::pi * (i + 1) / 32.0);
            ASSERT_NEAR(x[256 + i], expected, 2.0) << "sample " << i;
        }
        EXPECT_EQ(strongestBin(x, 256 + static_cast<std::size_t>(c.toneBlocks) * 1024, 1024),
                  binOfSymbol(1));
    }
}

TEST_F(FeederTest, LeadInToneStaysArmedAcrossDataTransmissions) {
    markCells();
    startSymbols(8, 1);
    feeder.setLeadInToneArmed(true);
    feeder.setLeadInToneLength(0);
    const auto x = transmit();
    EXPECT_TRUE(feeder.leadInToneArmed());
    // 27 tone periods of the ring length, then the frame without lead-in symbols.
    const std::size_t frameStart = 256 + 27 * 1152;
    EXPECT_EQ(strongestBin(x, 256 + 128, 1024), 32);
    EXPECT_EQ(strongestBin(x, frameStart + 128, 1024), binOfSymbol(2));
}

TEST_F(FeederTest, OverdriveClipsToExactlyFullScale) {
    for (int s = 1; s <= TxCells::kFrameSymbols; ++s) {
        for (int bin = 8; bin < 56; ++bin) {
            cells.frameCell(bin, s) = Complex{100.0f, 0.0f};
        }
    }
    startSymbols(8, 1);
    const auto x = transmit();
    const auto [low, high] = std::minmax_element(x.begin(), x.end());
    EXPECT_EQ(*high, 32767);
    EXPECT_EQ(*low, -32767);
}

TEST_F(FeederTest, RefusesBadSettings) {
    EXPECT_THROW(feeder.setTransmitMode(15), std::invalid_argument);
    EXPECT_THROW(feeder.setFramesPerBurst(3), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
