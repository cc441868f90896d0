#include "phy/rx/receive_front_end.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <vector>

#include "phy/common/mode_table.h"
#include "phy/rx/carrier_demodulator.h"
#include "phy/rx/carrier_frame_cut.h"
#include "support/recording_front_end_client.h"
#include "synthetic_frames.h"

namespace zolk {
namespace {

struct Tone {
    double hz = 1500.0;
    double amplitude = 1000.0;
    double phase = 0.0;
    std::array<float, kAudioBlockLength> next() {
        std::array<float, kAudioBlockLength> block{};
        for (auto& s : block) {
            s = static_cast<float>(amplitude * std::cos(phase));
            phase += 2.0 * std::numbers::pi * hz / 48000.0;
        }
        return block;
    }
};

class FrontEndTest : public ::testing::Test {
protected:
    ReceiveFrontEnd& make() {
        frontEnd = std::make_unique<ReceiveFrontEnd>(tables, client);
        client.frontEnd = frontEnd.get();
        return *frontEnd;
    }
    void receiving(std::uint8_t mode) {
        client.conditions.sessionActive = true;
        client.conditions.frameReception = true;
        client.conditions.narrowSpectrogram = true;
        client.conditions.modeIndex = ModeIndex(mode);
    }
    void run(Tone& tone, int blocks) {
        for (int b = 0; b < blocks; ++b) {
            const auto block = tone.next();
            frontEnd->processCaptureBlock(block);
        }
    }

    RandomSource random;
    DrawnTables tables{random};
    test::RecordingFrontEndClient client;
    std::unique_ptr<ReceiveFrontEnd> frontEnd;
};

std::size_t peakBin(std::span<const float> power, std::size_t bins) {
    return static_cast<std::size_t>(std::max_element(power.begin(), power.begin() + static_cast<std::ptrdiff_t>(bins)) -
                                    power.begin());
}

TEST(ReceiveFilters, DesignFollowsTheWindowedIdealResponse) {
    const auto lowPass = designComplexBandPass(0.0, 0.25);
    // Centre tap: 2(b - a) times the window's peak of 1.
    EXPECT_FLOAT_EQ(lowPass[20].real(), 0.5f);
    EXPECT_FLOAT_EQ(lowPass[20].imag(), 0.0f);
    // End taps carry the Hamming floor 0.08.
    const double t = -20.0;
    const double ideal = std::sin(2.0 * std::numbers::pi * 0.25 * t) / (std::numbers::pi * t);
    EXPECT_NEAR(lowPass[0].real(), 0.08 * ideal, 1e-7);
    // Symmetric real part, odd imaginary part for the band-pass.
    const auto bandPass = designComplexBandPass(150.0 / 6000.0, 2900.0 / 6000.0);
    for (std::size_t i = 0; i < kReceiveFilterTaps; ++i) {
        EXPECT_NEAR(bandPass[i].real(), bandPass[40 - i].real(), 1e-6f);
        EXPECT_NEAR(bandPass[i].imag(), -bandPass[40 - i].imag(), 1e-6f);
    }
}

TEST(ReceiveFilters, DecimatingFirWalksOldestFirst) {
    ReceiveFilterTaps taps{};
    taps[0] = {1.0f, 2.0f};  // weighs only the oldest value of the line
    DecimatingFir fir(taps);
    for (int i = 1; i <= 41; ++i) fir.push(static_cast<float>(i));
    EXPECT_FLOAT_EQ(fir.realOutput(), 1.0f);
    EXPECT_EQ(fir.complexOutput(), Complex(1.0f, -2.0f));
    fir.push(42.0f);
    EXPECT_FLOAT_EQ(fir.realOutput(), 2.0f);
}

TEST_F(FrontEndTest, EachBlockGivesSixteenSamplesAndEightTicks) {
    make();
    client.conditions.waterfallShown = true;
    Tone tone;
    run(tone, 3);
    EXPECT_EQ(client.busy.size(), 48u);
    EXPECT_EQ(client.waterfall.size(), 48u);
    EXPECT_EQ(client.ticks, 24);
    EXPECT_EQ(frontEnd->ringIndex(), 48u);
    EXPECT_EQ(frontEnd->basebandAt(48), client.busy.back());
}

TEST_F(FrontEndTest, RingIndexWrapsAfterThirtyTwoThousandSamples) {
    make();
    Tone tone;
    run(tone, 2000);
    EXPECT_EQ(frontEnd->ringIndex(), 0u);
    EXPECT_EQ(frontEnd->basebandAt(0), client.busy.back());
    run(tone, 1);
    EXPECT_EQ(frontEnd->ringIndex(), 16u);
}

TEST_F(FrontEndTest, ToneLandsInItsBinForEveryTransformSize) {
    struct Case { const char* name; std::uint8_t mode; double hz; std::size_t bin; };
    constexpr std::array<Case, 5> kCases{{
        {"64 bins, 1500 Hz", 0, 1500.0, 32},
        {"64 bins, 2343.75 Hz", 8, 2343.75, 50},
        {"32 bins, 843.75 Hz", 3, 843.75, 9},
        {"32 bins (family 1), 2062.5 Hz", 6, 2062.5, 22},
        {"16 bins, 1312.5 Hz", 5, 1312.5, 7},
    }};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        make();
        receiving(c.mode);
        Tone tone{c.hz};
        run(tone, 40);
        const std::size_t bins = modeRecord(c.mode).binsPerSymbol;
        const auto frame = frontEnd->frameIndex(1);
        std::vector<float> power(bins);
        if (modeRecord(c.mode).modeFamily == Family::Robust) {
            const auto row = frontEnd->symbolPower(1, frame);
            std::copy_n(row.begin(), bins, power.begin());
        } else {
            const auto row = frontEnd->symbolSpectra(1, frame);
            std::transform(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(bins), power.begin(),
                           [](Complex x) { return std::norm(x); });
        }
        EXPECT_EQ(peakBin(power, bins), c.bin);
        // The analytic band-pass leaves the mirror bin far below the tone.
        if (c.bin != bins / 2) {
            EXPECT_LT(power[(bins - c.bin) % bins], power[c.bin] * 1e-3f);
        }
    }
}

TEST_F(FrontEndTest, FrameCadenceFollowsBinsPerSymbol) {
    struct Case { const char* name; std::uint8_t mode; int framesPerBlock; };
    constexpr std::array<Case, 3> kCases{{{"64 bins", 8, 2}, {"32 bins", 6, 4}, {"16 bins", 5, 8}}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        make();
        receiving(c.mode);
        Tone tone;
        run(tone, 10);
        EXPECT_EQ(frontEnd->frameIndex(1), 10 * c.framesPerBlock);
    }
}

TEST_F(FrontEndTest, ChangingTheModeChangesTheCadenceWithoutResettingTheFrameIndex) {
    make();
    receiving(8);  // 64 bins: two frames per block
    Tone tone;
    run(tone, 10);
    EXPECT_EQ(frontEnd->frameIndex(1), 20);
    client.conditions.modeIndex = ModeIndex(5);  // 16 bins: eight frames per block
    run(tone, 10);
    EXPECT_EQ(frontEnd->frameIndex(1), 100);
}

TEST_F(FrontEndTest, TwoFrontEndsShareNothing) {
    make();
    receiving(8);
    test::RecordingFrontEndClient otherClient;
    otherClient.conditions = client.conditions;
    ReceiveFrontEnd other(tables, otherClient);
    Tone tone{1500.0};
    Tone silence{1500.0, 0.0};
    for (int b = 0; b < 20; ++b) {
        const auto block = tone.next();
        frontEnd->processCaptureBlock(block);
        other.processCaptureBlock(silence.next());
    }
    EXPECT_EQ(other.ringIndex(), frontEnd->ringIndex());
    EXPECT_NE(frontEnd->basebandAt(frontEnd->ringIndex()), Complex{});
    EXPECT_EQ(other.basebandAt(other.ringIndex()), Complex{});
    for (Complex v : other.symbolSpectra(1, other.frameIndex(1))) EXPECT_EQ(v, Complex{});
}

TEST_F(FrontEndTest, SpectrogramRowEveryEightSamples) {
    make();
    client.conditions.listenMode = true;
    Tone tone{1500.0};
    run(tone, 130);  // 260 rows: the row number wraps at 256
    EXPECT_EQ(frontEnd->spectrogramRow(), 260 % 256);
    EXPECT_EQ(client.newRows, 260);
    // Disconnected: the wide spectrogram of the baseband ring, 1500 Hz in bin 64 of 128.
    const auto row = frontEnd->wideSpectrogram(frontEnd->spectrogramRow());
    EXPECT_EQ(peakBin(row, kWideBins), 64u);
    frontEnd->clearWideSpectrogram();
    for (float v : frontEnd->wideSpectrogram(frontEnd->spectrogramRow())) EXPECT_EQ(v, 0.0f);
}

TEST_F(FrontEndTest, NarrowSpectrogramOnceTheLinkIsUp) {
    make();
    receiving(8);
    Tone tone{750.0};
    run(tone, 20);
    EXPECT_EQ(peakBin(frontEnd->narrowSpectrogram(frontEnd->spectrogramRow()), kNarrowBins), 16u);
    for (float v : frontEnd->wideSpectrogram(frontEnd->spectrogramRow())) EXPECT_EQ(v, 0.0f);
}

TEST_F(FrontEndTest, TransmittingFeedsSilenceAndCutsNoFrames) {
    make();
    receiving(8);
    Tone tone{1500.0};
    run(tone, 20);
    const auto frameBefore = frontEnd->frameIndex(1);
    const std::vector<float> stored(frontEnd->symbolSpectra(1, frameBefore + 1).size());
    client.conditions.transmitActive = true;
    run(tone, 20);
    // Counters keep running...
    EXPECT_EQ(frontEnd->frameIndex(1), frameBefore + 40);
    EXPECT_EQ(client.ticks, 320);
    // ...but the next frame slot was never written, and the filter tails have decayed to silence.
    for (Complex v : frontEnd->symbolSpectra(1, frameBefore + 1)) EXPECT_EQ(v, Complex{});
    EXPECT_EQ(client.busy.back(), Complex{});
    EXPECT_EQ(frontEnd->basebandAt(frontEnd->ringIndex()), Complex{});
}

TEST_F(FrontEndTest, CorrectedRingIsWrittenOnlyWithASessionOrMonitor) {
    make();
    Tone tone{1500.0};
    run(tone, 4);
    for (std::uint32_t i = 1; i <= 64; ++i) EXPECT_EQ(frontEnd->correctedAt(i), Complex{});
    client.conditions.monitorMode = true;
    run(tone, 4);
    EXPECT_NE(frontEnd->correctedAt(frontEnd->ringIndex()), Complex{});
}

TEST_F(FrontEndTest, CorrectionMixerMovesTheToneByTheOffset) {
    make();
    receiving(1);
    frontEnd->setReceiveFrequencyOffsetHz(46.875f);  // one 64-point bin
    Tone tone{1500.0};
    run(tone, 40);
    EXPECT_EQ(peakBin(frontEnd->symbolPower(1, frontEnd->frameIndex(1)), 64), 33u);
    // The corrected ring is the baseband ring rotated: equal magnitudes.
    const auto i = frontEnd->ringIndex();
    EXPECT_NEAR(std::abs(frontEnd->correctedAt(i)), std::abs(frontEnd->basebandAt(i)), 1e-2f);
}

TEST_F(FrontEndTest, WaterfallTapRunsOnlyWhileTheStationShowsAWaterfall) {
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown);
        client.waterfall.clear();
        make();
        client.conditions = {};
        client.conditions.waterfallShown = shown;
        Tone tone;
        run(tone, 1);
        EXPECT_EQ(client.waterfall.size(), shown ? 16u : 0u);
    }
}

TEST_F(FrontEndTest, MonitorModeFramesEveryModeAndSharesTransforms) {
    make();
    client.conditions.monitorMode = true;
    Tone tone{2343.75};
    run(tone, 40);
    // Mode 8 copies mode 1's frame (both 64 bins); mode 6 copies mode 3's (32 bins).
    for (const auto& [m, r] : std::array<std::pair<std::size_t, std::size_t>, 2>{{{8, 1}, {6, 3}}}) {
        const auto own = frontEnd->symbolSpectra(m, frontEnd->frameIndex(m));
        const auto source = frontEnd->symbolSpectra(r, frontEnd->frameIndex(r));
        EXPECT_TRUE(std::equal(own.begin(), own.end(), source.begin()));
    }
    // The whole-store views index frame w, bin k at w x 64 + k.
    const auto store = frontEnd->symbolSpectraStore(8);
    ASSERT_EQ(store.size(), frameRingLength(8) * kMaxBins);
    EXPECT_EQ(store[frontEnd->frameIndex(8) * kMaxBins + 50], frontEnd->symbolSpectra(8, frontEnd->frameIndex(8))[50]);
    EXPECT_TRUE(frontEnd->symbolPowerStore(8).empty());  // a family-1 slot keeps no power
    // Mode 14 (family 2) copies mode 1's power.
    const auto p14 = frontEnd->symbolPower(14, frontEnd->frameIndex(14));
    EXPECT_EQ(peakBin(p14, 64), 50u);
    EXPECT_EQ(frontEnd->frameIndex(5), 40 * 8);
    EXPECT_EQ(frontEnd->frameIndex(3), 40 * 4);
    EXPECT_EQ(frontEnd->frameIndex(13), 40 * 2);
}

// Slots 2..14 are read only in monitor mode: single-mode reception never makes them; the first
// monitor block makes each one frame of its mode long, and their frames wrap there.
TEST_F(FrontEndTest, MonitorSlotsAreMadeWithMonitorModeAndHoldOneFrameOfTheirMode) {
    make();
    receiving(8);
    Tone tone{2343.75};
    run(tone, 10);
    EXPECT_EQ(frontEnd->symbolSpectraStore(1).size(), kFrameRingLength * kMaxBins);
    EXPECT_EQ(frontEnd->symbolPowerStore(1).size(), kFrameRingLength * kMaxBins);
    for (std::size_t s = 2; s < kDetectorSlots; ++s) {
        EXPECT_TRUE(frontEnd->symbolSpectraStore(s).empty()) << s;
        EXPECT_TRUE(frontEnd->symbolPowerStore(s).empty()) << s;
    }
    client.conditions = {};
    client.conditions.monitorMode = true;
    const std::size_t blocks = 700;  // 1400 frames of 8 samples: modes 12..14 wrap
    run(tone, static_cast<int>(blocks));
    for (std::size_t s = 2; s < kDetectorSlots; ++s) {
        SCOPED_TRACE(s);
        const std::size_t frames = frameRingLength(s);
        const bool carrier = kModeTable[s].modeFamily == Family::MultiCarrier;
        const bool source = kFftShareMode[s] == s;
        EXPECT_EQ(frontEnd->symbolSpectraStore(s).size(), carrier || source ? frames * kMaxBins : 0);
        EXPECT_EQ(frontEnd->symbolPowerStore(s).size(), !carrier || source ? frames * kMaxBins : 0);
        const std::size_t samplesPerFrame = kModeTable[s].binsPerSymbol / 8;
        EXPECT_EQ(frontEnd->frameIndex(s), blocks * kBasebandSamplesPerBlock / samplesPerFrame % frames);
    }
    // After the wrap mode 13 still holds mode 1's frames, the newest and those before.
    ASSERT_LT(frontEnd->frameIndex(13), 1400u);
    for (std::size_t back : {0u, 1u, 300u}) {
        SCOPED_TRACE(back);
        const auto own = frontEnd->symbolSpectra(13, frontEnd->frameIndex(13) + frameRingLength(13) - back);
        const auto source = frontEnd->symbolSpectra(1, frontEnd->frameIndex(1) + kFrameRingLength - back);
        EXPECT_TRUE(std::equal(own.begin(), own.end(), source.begin()));
        EXPECT_GT(std::norm(own[50]), 0.0f);
    }
}

TEST_F(FrontEndTest, SnapshotCoversTheLast1984Samples) {
    make();
    Tone tone{1500.0};
    run(tone, 200);
    frontEnd->snapshot(frontEnd->ringIndex(), SnapshotSource::BasebandRing);
    for (std::size_t row : {2u, 17u, 32u}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(peakBin(frontEnd->snapshotSpectrum(row), 256), 128u);
    }
}

TEST_F(FrontEndTest, RobustReExtractionInterpolatesFourTimes) {
    make();
    receiving(0);
    Tone tone{1500.0 + 46.875 / 4.0};  // a quarter bin above bin 32
    run(tone, 2100);                   // the frame's 8448 samples straddle the ring's wrap
    ASSERT_LT(frontEnd->ringIndex(), 8448u);
    frontEnd->robustReExtraction(0, frontEnd->ringIndex());
    EXPECT_EQ(peakBin(frontEnd->snapshotSpectrum(133), 256), 129u);
    // Corrected by minus a quarter bin, the magnitude spectrum peaks exactly on bin 32.
    frontEnd->robustCorrectedReExtraction(0, frontEnd->ringIndex(), -46.875f / 4.0f);
    for (std::size_t symbol = 2; symbol <= 133; ++symbol) {
        SCOPED_TRACE(symbol);
        const auto row = frontEnd->snapshotSpectrum(symbol);
        ASSERT_EQ(peakBin(row, 64), 32u);
        EXPECT_LT(row[31], 0.05f * row[32]);
    }
}

TEST_F(FrontEndTest, FamilyOneReExtractionRemovesTheCellPhase) {
    make();
    receiving(8);
    Tone tone{1500.0};
    run(tone, 1000);
    frontEnd->familyOneCorrectedReExtraction(8, frontEnd->ringIndex(), 0.0f);
    // Symbol i's bin 32 is X * CellPhaseTable[32][i-2]; dividing the phase back out leaves the
    // tone's own phase, which advances by 2*pi*32*72/64 (a multiple of 2*pi) per symbol period.
    const Complex first = frontEnd->frameSymbols(0)[32] / tables.cellPhaseTable(32, 0);
    int phaseChanges = 0;
    for (int s : {1, 50, 198}) {
        SCOPED_TRACE(s);
        const Complex stored = frontEnd->frameSymbols(static_cast<std::size_t>(s))[32];
        const Complex v = stored / tables.cellPhaseTable(32, s);
        EXPECT_LT(std::abs(v - first), 1e-2f * std::abs(first));
        if (std::abs(stored - frontEnd->frameSymbols(0)[32]) > 1e-2f * std::abs(first)) ++phaseChanges;
    }
    EXPECT_GT(phaseChanges, 0);  // the table really rotates the cells
}

// A re-cut reuses the corrected copy of the last re-extraction: the same cells as a fresh
// re-extraction at that timing, up to the constant phase the re-extraction mixer has run on by.
TEST_F(FrontEndTest, ReCutMatchesAFreshReExtraction) {
    make();
    receiving(8);
    Tone tone{1500.0};
    run(tone, 1000);
    const std::uint32_t p = frontEnd->ringIndex();
    const std::uint32_t elsewhere = p - 5;
    for (const float shiftHz : {0.0f, 5.0f}) {
        SCOPED_TRACE(shiftHz);
        frontEnd->familyOneCorrectedReExtraction(8, elsewhere, shiftHz);
        frontEnd->familyOneReCut(8, p);
        const std::vector<Complex> reCut(frontEnd->frameSymbolStore().begin(), frontEnd->frameSymbolStore().end());
        frontEnd->familyOneCorrectedReExtraction(8, p, shiftHz);
        const auto fresh = frontEnd->frameSymbolStore();
        const Complex turn = fresh[32] / reCut[32];
        EXPECT_NEAR(std::abs(turn), 1.0f, 1e-3f);
        if (shiftHz == 0.0f) {
            EXPECT_EQ(turn, Complex(1.0f, 0.0f));
        }
        for (const std::size_t symbol : {1u, 50u, 198u}) {
            const std::size_t i = symbol * kMaxBins + 32;
            EXPECT_LT(std::abs(fresh[i] - reCut[i] * turn), 1e-3f * std::abs(fresh[i]));
        }
    }
}

// Every header cell's symbol and the one before it, from the header positions, and nothing else.
TEST(HeaderTurnSymbolsTest, HoldEachHeaderCellAndItsPredecessor) {
    for (const int mode : {5, 8, 13}) {
        SCOPED_TRACE(mode);
        const ModeRecord& r = modeRecord(mode);
        const ModeTables tables = test::syntheticTables(mode, 3);
        std::set<std::int16_t> expected;
        for (int c = 0; c < r.carriers; ++c) {
            for (int n = 0; n < r.headerSymbols; ++n) {
                const std::int16_t s = tables.headerPosition(c, n);
                expected.insert({static_cast<std::int16_t>(s - 1), s});
            }
        }
        const std::vector<std::int16_t> symbols = headerTurnSymbols(tables);
        EXPECT_EQ(symbols, std::vector<std::int16_t>(expected.begin(), expected.end()));
        EXPECT_LT(symbols.size(), static_cast<std::size_t>(r.symbolLimit - 1));
    }
}

// The re-cut limited to the header turns' symbols writes exactly the cells a whole re-cut writes
// there, at every timing the frame cut compares; the other symbols keep what they held.
TEST_F(FrontEndTest, LimitedReCutGivesTheHeaderTurnsOfAWholeReCut) {
    make();
    std::mt19937 generator(7);
    std::normal_distribution<float> noise(0.0f, 1000.0f);
    for (const int mode : {5, 8, 13}) {
        SCOPED_TRACE(mode);
        receiving(static_cast<std::uint8_t>(mode));
        for (int b = 0; b < 1000; ++b) {
            std::array<float, kAudioBlockLength> block{};
            for (auto& v : block) v = noise(generator);
            frontEnd->processCaptureBlock(block);
        }
        const ModeTables tables = test::syntheticTables(mode, 5);
        const std::vector<std::int16_t> symbols = headerTurnSymbols(tables);
        const auto store = frontEnd->frameSymbolStore();
        const auto row = [&](std::span<const Complex> cells, std::int16_t s) {
            return std::vector<Complex>(
                cells.begin() + (s - 2) * static_cast<std::ptrdiff_t>(kMaxBins),
                cells.begin() + (s - 1) * static_cast<std::ptrdiff_t>(kMaxBins));
        };
        const std::uint32_t p = frontEnd->ringIndex() - 40;
        frontEnd->familyOneCorrectedReExtraction(mode, p, 7.5f);
        const int step = modeRecord(mode).binsPerSymbol / 8;
        for (const int offset : {-2 * step, -step - 1, -1, 0, 1, step, 2 * step}) {
            SCOPED_TRACE(offset);
            const auto at = static_cast<std::uint32_t>(static_cast<int>(p) + offset);
            frontEnd->familyOneReCut(mode, at);
            const std::vector<Complex> whole(store.begin(), store.end());
            frontEnd->familyOneReCut(mode, at + 3);
            frontEnd->familyOneReCut(mode, at, symbols);
            for (const std::int16_t s : symbols) {
                ASSERT_EQ(row(store, s), row(whole, s)) << "symbol " << s;
            }
            EXPECT_EQ(headerMer(tables, store), headerMer(tables, whole));
            EXPECT_EQ(residualFrequencyShift(tables, store), residualFrequencyShift(tables, whole));
            std::int16_t untouched = 2;
            while (std::ranges::binary_search(symbols, untouched)) ++untouched;
            EXPECT_NE(row(store, untouched), row(whole, untouched));
        }
    }
    EXPECT_THROW(frontEnd->familyOneReCut(13, 0, std::vector<std::int16_t>{136}),
                 std::out_of_range);
}

}  // namespace
}  // namespace zolk
