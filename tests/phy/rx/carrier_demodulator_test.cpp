#include "phy/rx/carrier_demodulator.h"
#include "phy/rx/carrier_detector.h"
#include "phy/common/random_source.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "phy/common/numeric.h"
#include "phy/rx/receive_front_end.h"
#include "synthetic_frames.h"

namespace zolk {
namespace {

Complex& cellAt(std::vector<Complex>& cells, int symbol, int bin) {
    return cells[static_cast<std::size_t>((symbol - 2) * 64 + bin)];
}

class CarrierStage1 : public ::testing::TestWithParam<int> {};

// Pilot modes: through a channel of a gain that drifts in time, a phase per bin (the cut's timing
// against the channel's delay) and a carrier error that drifts, the equaliser undoes it exactly.
// Differential modes: a gain and a phase per carrier vanish in the detection and normalisation.
// Every data cell comes back on its point and every soft value has the sign of its bit.
TEST_P(CarrierStage1, RecoversEveryDataCellThroughADriftingChannel) {
    const int mode = GetParam();
    const ModeRecord& r = modeRecord(mode);
    const ModeTables tables = test::syntheticTables(mode, 21);
    test::CarrierFrame frame = test::syntheticCarrierFrame(tables, 22);
    std::mt19937 random(23);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    for (int o = r.firstCarrierBin; o <= r.lastCarrierBin; o += r.carrierStride) {
        const Complex start{1.5f + 0.5f * uniform(random), uniform(random)};
        for (int s = 2; s <= r.symbolLimit; ++s) {
            const float t = static_cast<float>(s);
            const float phase = 0.31f * static_cast<float>(o) + 0.02f * t + 2e-5f * t * t;
            // Differential modes: one gain for all, a constant phase per carrier (the detection
            // normalises the frame as a whole).
            const Complex channel = r.pilotCells > 0
                                        ? (0.8f + 0.004f * t) * Complex{std::cos(phase), std::sin(phase)}
                                        : 3.0f * start / std::abs(start);
            Complex& cell = cellAt(frame.cells, s, o);
            cell = complexMul(cell, channel);
        }
    }
    CarrierDemodulator demodulator(qamColumn());
    demodulator.stage1(tables, frame.cells);

    ASSERT_EQ(demodulator.cells().size(), static_cast<std::size_t>(r.dataCells));
    ASSERT_EQ(demodulator.softBits().size(), static_cast<std::size_t>(r.codedBits));
    ASSERT_EQ(frame.points.size(), static_cast<std::size_t>(r.dataCells));
    float worst = 0.0f;
    for (std::size_t i = 0; i < frame.points.size(); ++i) {
        worst = std::max(worst, std::abs(demodulator.cells()[i] - frame.points[i]));
    }
    EXPECT_LT(worst, 2e-3f);
    int wrong = 0;
    const int bits = r.bitsPerCell;
    for (std::size_t i = 0; i < frame.values.size(); ++i) {
        for (int j = 0; j < bits; ++j) {
            const float v = demodulator.softBits()[i * static_cast<std::size_t>(bits) + static_cast<std::size_t>(j)];
            wrong += (v > 0.0f) != (test::bitOf(frame.values[i], bits, j) == 1);
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, CarrierStage1, ::testing::Values(5, 6, 8, 9, 10, 11, 13));

TEST(CarrierStage1, ZeroPilotsGiveZeroCellsAndZeroSoftValues) {
    // No signal at all: the channel inverse is 0 everywhere, so every 16-point cell is exactly 0
    // and says nothing about its bits.
    const ModeTables tables = test::syntheticTables(10, 31);
    std::vector<Complex> cells(kFrameSymbolCount * kMaxBins);
    CarrierDemodulator demodulator(qamColumn());
    demodulator.stage1(tables, cells);
    ASSERT_EQ(demodulator.softBits().size(), static_cast<std::size_t>(modeRecord(10).codedBits));
    for (const float v : demodulator.softBits()) ASSERT_EQ(v, 0.0f);
}

struct SnrCase {
    int mode;
    float cellSnrDb;  // signal to noise per cell
};

class CarrierSnr : public ::testing::TestWithParam<SnrCase> {};

// Noise of a known level on every cell: the estimate lands on the S/N in 2500 Hz, that is the
// cell S/N scaled by the occupied carriers against the noise bandwidth.
TEST_P(CarrierSnr, EstimateMatchesKnownNoiseLevel) {
    const auto [mode, cellSnrDb] = GetParam();
    const ModeRecord& r = modeRecord(mode);
    const ModeTables tables = test::syntheticTables(mode, 41);
    test::CarrierFrame frame = test::syntheticCarrierFrame(tables, 42);
    std::mt19937 random(43);
    const float sigma = std::pow(10.0f, -cellSnrDb / 20.0f) / std::sqrt(2.0f);
    std::normal_distribution<float> gauss(0.0f, sigma);
    for (auto& cell : frame.cells) cell += Complex{gauss(random), gauss(random)};
    const float expected = cellSnrDb + 10.0f * std::log10(r.carriers * r.carrierSpacing / 2500.0f);
    EXPECT_NEAR(estimateSnr(tables, frame.cells), expected, 1.0f);
}

INSTANTIATE_TEST_SUITE_P(Levels, CarrierSnr,
                         ::testing::Values(SnrCase{5, 12.0f}, SnrCase{5, 20.0f}, SnrCase{8, 12.0f},
                                           SnrCase{8, 20.0f}, SnrCase{7, 15.0f}));

struct ResidualCase {
    int mode;
    float shiftHz;
};

class CarrierResidualShift : public ::testing::TestWithParam<ResidualCase> {};

// Cells that turn from symbol to symbol by a small carrier error, on carriers of arbitrary phase:
// the header cells give the error back.
TEST_P(CarrierResidualShift, MeasuresTheTurnOfTheHeaderCells) {
    const auto [mode, shiftHz] = GetParam();
    const ModeRecord& r = modeRecord(mode);
    const ModeTables tables = test::syntheticTables(mode, 44);
    test::CarrierFrame frame = test::syntheticCarrierFrame(tables, 45);
    const float turn = 2.0f * 3.14159265f * shiftHz * (1.0f + r.guardFraction) / r.carrierSpacing;
    for (int o = r.firstCarrierBin; o <= r.lastCarrierBin; o += r.carrierStride) {
        for (int s = 2; s <= r.symbolLimit; ++s) {
            const float phase = turn * static_cast<float>(s) + 0.37f * static_cast<float>(o);
            Complex& cell = cellAt(frame.cells, s, o);
            cell = complexMul(cell, Complex{std::cos(phase), std::sin(phase)});
        }
    }
    EXPECT_NEAR(residualFrequencyShift(tables, frame.cells), shiftHz, 0.01f);
}

INSTANTIATE_TEST_SUITE_P(Errors, CarrierResidualShift,
                         ::testing::Values(ResidualCase{5, 0.0f}, ResidualCase{5, -9.0f},
                                           ResidualCase{8, 1.3f}, ResidualCase{11, -0.7f},
                                           ResidualCase{13, 2.5f}));

TEST(CarrierHeaderMer, FallsWithTheNoiseOnTheCells) {
    const ModeTables tables = test::syntheticTables(8, 46);
    const test::CarrierFrame clean = test::syntheticCarrierFrame(tables, 47);
    float previous = headerMer(tables, clean.cells);
    EXPECT_GT(previous, 40.0f);
    EXPECT_LE(previous, 100.0f);
    for (const float cellSnrDb : {25.0f, 15.0f, 5.0f}) {
        test::CarrierFrame noisy = clean;
        std::mt19937 random(48);
        std::normal_distribution<float> gauss(
            0.0f, std::pow(10.0f, -cellSnrDb / 20.0f) / std::sqrt(2.0f));
        for (auto& cell : noisy.cells) cell += Complex{gauss(random), gauss(random)};
        const float mer = headerMer(tables, noisy.cells);
        EXPECT_LT(mer, previous) << cellSnrDb;
        previous = mer;
    }
    EXPECT_EQ(headerMer(tables, std::vector<Complex>(kFrameSymbolCount * kMaxBins)), kNoValue);
}

TEST(CarrierSnr, NoHeaderCellsGiveNoValue) {
    ModeTables tables = test::syntheticTables(8, 51);
    std::fill(tables.headerCellMap.begin(), tables.headerCellMap.end(), 0);
    std::vector<Complex> cells(kFrameSymbolCount * kMaxBins, Complex{1, 0});
    EXPECT_EQ(estimateSnr(tables, cells), kNoValue);
}

TEST(CarrierReceiver, RefusesRobustModesAndShortStores) {
    const ModeTables robust = test::syntheticTables(0, 97);
    const ModeTables carrier = test::syntheticTables(8, 98);
    std::vector<Complex> cells(kFrameSymbolCount * kMaxBins);
    std::vector<Complex> shortFrame(64);
    CarrierDemodulator demodulator(qamColumn());
    EXPECT_THROW(demodulator.stage1(robust, cells), std::invalid_argument);
    EXPECT_THROW(demodulator.stage1(carrier, shortFrame), std::invalid_argument);
    EXPECT_THROW(estimateSnr(robust, cells), std::invalid_argument);
    RandomSource random;
    const DrawnTables drawn(random);
    CarrierFrameDetector detector;
    EXPECT_THROW(detector.detectFrame(robust, drawn, 1, cells, 0, 0), std::invalid_argument);
    EXPECT_THROW(detector.detectFrame(carrier, drawn, 1, shortFrame, 0, 0), std::invalid_argument);
    // A store must hold whole FFT frames, at least the frames one search reads.
    const std::size_t searched = searchedFrames(carrier.record()) * kMaxBins;
    for (const std::size_t size : {searched - kMaxBins, searched + 1}) {
        SCOPED_TRACE(size);
        EXPECT_THROW(detector.detectFrame(carrier, drawn, 1, std::vector<Complex>(size), 0, 0),
                     std::invalid_argument);
    }
    EXPECT_NO_THROW(detector.detectFrame(carrier, drawn, 1, std::vector<Complex>(searched), 0, 0));
}

}  // namespace
}  // namespace zolk
