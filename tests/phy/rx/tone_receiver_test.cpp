#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include "phy/common/constellation.h"
#include "phy/common/fft.h"
#include "phy/rx/receive_front_end.h"
#include "phy/rx/tone_demodulator.h"
#include "phy/rx/tone_detector.h"
#include "phy/rx/tone_levels.h"
#include "synthetic_frames.h"

namespace zolk {
namespace {

constexpr int kSlot = 1;
constexpr float kPi = std::numbers::pi_v<float>;

TEST(kToneBin, WrapsIntoTheToneBandInByteArithmetic) {
    const ModeRecord& r = modeRecord(0);  // tones on bins 8..55
    EXPECT_EQ(toneBin(r, 8, 0), 8);
    EXPECT_EQ(toneBin(r, 50, 7), 9);
    EXPECT_EQ(toneBin(r, 55, 1), 8);
    // 250 + 10 - 8 = 252 in a byte, 252 mod 48 = 12.
    EXPECT_EQ(toneBin(r, 250, 10), 20);
}

// Header tones of a frame written into a slot's power frames at a known timing.
struct ToneStore {
    std::size_t frames = kFrameRingLength;
    std::vector<float> power = std::vector<float>(frames * kMaxBins, 0.0f);
    void set(int frame, int bin, float p) {
        const int ring = static_cast<int>(frames);
        const int w = (frame % ring + ring) % ring;
        power[static_cast<std::size_t>(w) * kMaxBins + static_cast<std::size_t>(bin)] = p;
    }
};

int frameOf(const ModeRecord& r, int lastFrame, int symbol) {
    return lastFrame - (r.symbolLimit - symbol) * r.guardEighths;
}

// correct: how many header cells show their own tone strongest; the others show a louder wrong
// candidate. Every expected tone is loud, so the power sum is large either way.
ToneStore headerStore(const ModeTables& t, int lastFrame, int correct,
                      std::size_t frames = kFrameRingLength) {
    const ModeRecord& r = t.record();
    ToneStore store{frames, std::vector<float>(frames * kMaxBins, 0.0f)};
    int n = 0;
    for (int s = 0; s < r.carriers; ++s) {
        for (int h = 0; h < r.headerSymbols; ++h, ++n) {
            const int m = t.streamHeaderCell(s, h);
            const int base = t.streamHop(m, s);
            const int known = t.streamToneB(m, s);
            const int f = frameOf(r, lastFrame, m);
            store.set(f, toneBin(r, base, known), 1e6f);
            if (n >= correct) {
                const int wrong = (known + r.toneGroups) % (1 << r.bitsPerCell);
                store.set(f, toneBin(r, base, wrong), 2e6f);
            }
        }
    }
    return store;
}

TEST(ToneDetection, ThirteenCorrectHeaderCellsNeverMakeACandidate) {
    const ModeTables tables = test::syntheticTables(0, 61);
    const int lastFrame = 4000;
    for (const int correct : {13, 14}) {
        SCOPED_TRACE(correct);
        const ToneStore store = headerStore(tables, lastFrame, correct);
        ToneFrameDetector detector;
        detector.detectToneFrame(tables, kSlot, store.power, lastFrame, 1);
        EXPECT_EQ(detector.candidate(kSlot), correct > 13);
    }
}

// In slot 1's store and in the mode's own monitor slot (mode 0 has none), one frame long.
TEST(ToneDetection, ConfirmsOneSymbolAfterTheFrameAtItsTiming) {
    for (const int mode : {0, 3, 4}) {
        const ModeRecord& r = modeRecord(mode);
        const ModeTables tables = test::syntheticTables(mode, 62);
        const int lastFrame = 300;  // the frame of the first symbols lies before 0: wraps
        for (const std::size_t frames : {kFrameRingLength, mode == 0 ? searchedFrames(r) : frameRingLength(mode)}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", " << frames << " frames");
            ToneStore store = headerStore(tables, lastFrame, r.carriers * r.headerSymbols, frames);
            std::mt19937 random(63);
            std::uniform_real_distribution<float> noise(0.0f, 1e3f);
            for (auto& p : store.power) p += noise(random);
            const int ring = static_cast<int>(frames);
            const int last = lastFrame;
            ToneFrameDetector detector;
            std::optional<ToneDetection> detection;
            int at = 0;
            for (int f = last - 3 * r.guardEighths; f <= last + 3 * r.guardEighths && !detection; ++f) {
                const auto index = static_cast<std::uint16_t>((f + ring) % ring);
                detection = detector.detectToneFrame(tables, kSlot, store.power, index,
                                                     static_cast<std::uint32_t>(f + 10000));
                at = f;
            }
            ASSERT_TRUE(detection.has_value());
            EXPECT_EQ(at, last + r.guardEighths);
            EXPECT_EQ(detection->ringIndex, static_cast<std::uint32_t>(last + 10000));
            EXPECT_EQ(detection->correctCells, r.carriers * r.headerSymbols);
            EXPECT_FALSE(detector.candidate(kSlot));
            EXPECT_EQ(detector.bestSum(kSlot), 0.0f);
        }
    }
}

TEST(ToneDetection, EqualSumsMoveTheCandidateForward) {
    // The same header tones in two consecutive frames: the later one, with an equal sum, wins.
    const ModeTables tables = test::syntheticTables(0, 64);
    const ModeRecord& r = tables.record();
    ToneStore store = headerStore(tables, 5000, r.headerSymbols);
    const ToneStore next = headerStore(tables, 5001, r.headerSymbols);
    for (std::size_t i = 0; i < store.power.size(); ++i) store.power[i] = std::max(store.power[i], next.power[i]);
    ToneFrameDetector detector;
    std::optional<ToneDetection> detection;
    for (int f = 4990; f < 5020 && !detection; ++f) {
        detection =
            detector.detectToneFrame(tables, kSlot, store.power, static_cast<std::uint16_t>(f),
                                     static_cast<std::uint32_t>(f));
    }
    ASSERT_TRUE(detection.has_value());
    EXPECT_EQ(detection->ringIndex, 5001u);
}

// SnapshotSpectrum rows of a frame whose every symbol carries its tone (header value or a data
// value through the Gray map) at an offset of `offsetBins` from the bin centre, plus noise.
struct ToneFrame {
    std::vector<float> snapshot = std::vector<float>(kSnapshotRows * kSnapshotColumns, 0.0f);
    std::vector<int> values;  // data values in cell order
};

ToneFrame toneFrame(const ModeTables& t, float offsetBins, float noiseSigma, int zoom, std::uint32_t seed) {
    const ModeRecord& r = t.record();
    const int n = r.binsPerSymbol;
    std::mt19937 random(seed);
    std::normal_distribution<float> gauss(0.0f, noiseSigma);
    Fft fft(static_cast<std::size_t>(n * zoom));
    std::vector<Complex> body(static_cast<std::size_t>(n * zoom));
    ToneFrame frame;
    std::vector<std::vector<int>> tones(static_cast<std::size_t>(r.symbolLimit + 1));
    for (int s = 0; s < r.carriers; ++s) {
        for (int j = 2; j <= r.symbolLimit; ++j) {
            int tone = 0;
            if (t.streamToneA(j, s) != 0) {
                tone = t.streamToneB(j, s);
            } else {
                const int value = static_cast<int>(random() % (1u << r.bitsPerCell));
                frame.values.push_back(value);
                tone = kGrayTable[static_cast<std::size_t>((r.bitsPerCell - 2) * 16 + value)];
            }
            tones[static_cast<std::size_t>(j)].push_back(toneBin(r, t.streamHop(j, s), tone));
        }
    }
    for (int j = 2; j <= r.symbolLimit; ++j) {
        std::fill(body.begin(), body.end(), Complex{});
        for (int k = 0; k < n; ++k) {
            Complex x{gauss(random), gauss(random)};
            for (const int bin : tones[static_cast<std::size_t>(j)]) {
                const float phase = 2.0f * kPi * (static_cast<float>(bin) + offsetBins) * static_cast<float>(k) / static_cast<float>(n);
                x += Complex{std::cos(phase), std::sin(phase)};
            }
            body[static_cast<std::size_t>(k)] = x;
        }
        fft.transform(body);
        for (int k = 0; k < n * zoom; ++k) {
            const float v = std::abs(body[static_cast<std::size_t>(k)]);
            frame.snapshot[static_cast<std::size_t>(j) * kSnapshotColumns + static_cast<std::size_t>(k)] =
                zoom == 4 ? v * v : v;
        }
    }
    return frame;
}

struct ShiftCase {
    int mode;
    float offsetBins;
    int expectedQuarters;
    float searchHz = 0.0f;  // the detection's carrier error: the quarters tried lie around it
};

class ToneShift : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ToneShift, QuarterBinEstimateOfSyntheticTones) {
    const auto [mode, offsetBins, expectedQuarters, searchHz] = GetParam();
    const ModeTables tables = test::syntheticTables(mode, 71);
    const ToneFrame frame = toneFrame(tables, offsetBins, 0.05f, 4, 72);
    EXPECT_FLOAT_EQ(estimateToneShift(tables, frame.snapshot, searchHz),
                    static_cast<float>(expectedQuarters) * modeRecord(mode).carrierSpacing / 4.0f);
}

INSTANTIATE_TEST_SUITE_P(Offsets, ToneShift,
                         ::testing::Values(ShiftCase{0, 0.0f, 0}, ShiftCase{0, 0.25f, 1},
                                           ShiftCase{0, -0.25f, -1}, ShiftCase{0, 0.2f, 1},
                                           ShiftCase{0, -0.1f, 0}, ShiftCase{3, -0.3f, -1},
                                           ShiftCase{4, 0.25f, 1}, ShiftCase{14, 0.05f, 0},
                                           // 21 Hz off: the quarter either side of none reaches
                                           // only 11.7 Hz; around a detection at 15.6 Hz, 23.4 Hz.
                                           ShiftCase{0, 0.45f, 1}, ShiftCase{0, 0.45f, 2, 15.625f},
                                           ShiftCase{1, -0.45f, -2, -15.625f},
                                           ShiftCase{3, 0.2f, 1, 15.625f}));

TEST(ToneShift, NoToneGivesNoShift) {
    const ModeTables tables = test::syntheticTables(0, 73);
    const std::vector<float> silent(kSnapshotRows * kSnapshotColumns, 0.0f);
    EXPECT_EQ(estimateToneShift(tables, silent), 0.0f);
}

class ToneStage1 : public ::testing::TestWithParam<int> {};

// Unit tones in noise of 0.1 per component: every cell is clear, so each soft value has its bit's
// sign and a confidence far beyond any noisy cell's (LLR over 20).
TEST_P(ToneStage1, SoftValuesCarryTheBitsOfTheGrayCodedValue) {
    const int mode = GetParam();
    const ModeRecord& r = modeRecord(mode);
    const ModeTables tables = test::syntheticTables(mode, 81);
    const ToneFrame frame = toneFrame(tables, 0.0f, 0.1f, 1, 82);
    ToneDemodulator demodulator;
    demodulator.stage1(tables, frame.snapshot);
    ASSERT_EQ(demodulator.softBits().size(), static_cast<std::size_t>(r.codedBits));
    ASSERT_EQ(frame.values.size(), static_cast<std::size_t>(r.dataCells));
    const int bits = r.bitsPerCell;
    for (std::size_t i = 0; i < frame.values.size(); ++i) {
        for (int j = 0; j < bits; ++j) {
            const float v = demodulator.softBits()[i * static_cast<std::size_t>(bits) + static_cast<std::size_t>(j)];
            ASSERT_EQ(v > 0.0f, test::bitOf(frame.values[i], bits, j) == 1) << "cell " << i << " bit " << j;
            ASSERT_GT(std::abs(v), 20.0f);
        }
    }
    // The display copy is the cell-order values de-interleaved, as expected bit values -1..1.
    for (std::size_t i = 0; i < demodulator.softBits().size(); ++i) {
        ASSERT_FLOAT_EQ(demodulator.deinterleavedBits()[tables.bitInterleaver[i]],
                        std::tanh(0.5f * demodulator.softBits()[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, ToneStage1, ::testing::Values(0, 2, 3, 4, 14));

TEST(ToneStage1, SilentCellsGiveZeroSoftValues) {
    const ModeTables tables = test::syntheticTables(2, 83);
    const std::vector<float> silent(kSnapshotRows * kSnapshotColumns, 0.0f);
    ToneDemodulator demodulator;
    demodulator.stage1(tables, silent);
    ASSERT_EQ(demodulator.softBits().size(), static_cast<std::size_t>(modeRecord(2).codedBits));
    for (const float v : demodulator.softBits()) ASSERT_EQ(v, 0.0f);
}

// The levels of a synthetic frame: an n-point transform turns a unit tone into magnitude n and
// complex noise of 2 sigma^2 per sample into n 2 sigma^2 per bin.
TEST_P(ToneStage1, LevelsMatchTheFramesToneAndNoise) {
    const int mode = GetParam();
    const ModeRecord& r = modeRecord(mode);
    const ModeTables tables = test::syntheticTables(mode, 85);
    for (const float sigma : {0.05f, 0.4f, 1.0f}) {
        const ToneFrame frame = toneFrame(tables, 0.0f, sigma, 1, 86);
        std::vector<float> scratch(toneLevelsScratchSize());
        const ToneLevels levels = measureToneLevels(tables, frame.snapshot, scratch);
        const float n = static_cast<float>(r.binsPerSymbol);
        EXPECT_NEAR(levels.noisePower / (n * 2.0f * sigma * sigma), 1.0f, 0.1f) << "sigma " << sigma;
        EXPECT_NEAR(levels.amplitude / n, 1.0f, 0.1f) << "sigma " << sigma;
    }
}

struct ToneSnrCase {
    int mode;
    float snrDb;  // in 2500 Hz
};

class ToneSnr : public ::testing::TestWithParam<ToneSnrCase> {};

// Unit tones in complex noise of a known level at 3000 Hz: the estimate lands on the S/N in
// 2500 Hz of the streams' total power.
TEST_P(ToneSnr, EstimateMatchesKnownNoiseLevel) {
    const auto [mode, snrDb] = GetParam();
    const ModeRecord& r = modeRecord(mode);
    const ModeTables tables = test::syntheticTables(mode, 91);
    // S/N = Carriers / (noise power x 2500 / 3000), noise power = 2 sigma^2.
    const float noisePower =
        static_cast<float>(r.carriers) / (std::pow(10.0f, snrDb / 10.0f) * 2500.0f / 3000.0f);
    const ToneFrame frame = toneFrame(tables, 0.0f, std::sqrt(noisePower / 2.0f), 1, 92);
    EXPECT_NEAR(estimateToneSnr(tables, frame.snapshot), snrDb, 1.0f);
}

INSTANTIATE_TEST_SUITE_P(Levels, ToneSnr,
                         ::testing::Values(ToneSnrCase{0, -3.0f}, ToneSnrCase{0, 6.0f},
                                           ToneSnrCase{3, 0.0f}, ToneSnrCase{4, 3.0f}));

TEST(ToneReceiver, RefusesMultiCarrierModesAndShortStores) {
    const ModeTables robust = test::syntheticTables(0, 95);
    const ModeTables carrier = test::syntheticTables(8, 96);
    const std::vector<float> power(kFrameRingLength * kMaxBins, 0.0f);
    const std::vector<float> snapshot(kSnapshotRows * kSnapshotColumns, 0.0f);
    const std::vector<float> shortStore(64, 0.0f);
    ToneFrameDetector detector;
    ToneDemodulator demodulator;
    EXPECT_THROW(detector.detectToneFrame(carrier, kSlot, power, 0, 0), std::invalid_argument);
    EXPECT_THROW(detector.detectToneFrame(robust, kSlot, shortStore, 0, 0), std::invalid_argument);
    // A store must hold whole FFT frames, at least the frames one search reads.
    const std::size_t searched = searchedFrames(robust.record()) * kMaxBins;
    for (const std::size_t size : {searched - kMaxBins, searched + 1}) {
        SCOPED_TRACE(size);
        EXPECT_THROW(detector.detectToneFrame(robust, kSlot, std::vector<float>(size), 0, 0),
                     std::invalid_argument);
    }
    EXPECT_NO_THROW(detector.detectToneFrame(robust, kSlot, std::vector<float>(searched), 0, 0));
    EXPECT_THROW(estimateToneShift(carrier, snapshot), std::invalid_argument);
    EXPECT_THROW(demodulator.stage1(robust, shortStore), std::invalid_argument);
    EXPECT_THROW(estimateToneSnr(carrier, snapshot), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
