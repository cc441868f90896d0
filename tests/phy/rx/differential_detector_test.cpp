#include "phy/rx/differential_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "phy/common/mode_table.h"
#include "phy/rx/receive_front_end.h"
#include "synthetic_frames.h"

namespace zolk {
namespace {

struct PskCase {
    Complex z;
    int bits;
    int eighths;
};

TEST(NearestPskEighths, PicksTheNearestPointOfTheOrder) {
    const PskCase cases[] = {{{1.0f, 0.1f}, 2, 0},   {{0.1f, 1.0f}, 2, 2},  {{-1.0f, -0.2f}, 2, 4},
                             {{0.2f, -1.0f}, 2, 6},  {{0.7f, 0.4f}, 2, 0},  {{0.7f, 0.72f}, 3, 1},
                             {{-0.7f, -0.7f}, 3, 5}, {{0.6f, -0.8f}, 3, 7}, {{-1.0f, 0.1f}, 3, 4}};
    for (const auto& c : cases) {
        EXPECT_EQ(nearestPskEighths(c.z, c.bits), c.eighths) << c.z << " bits " << c.bits;
    }
    EXPECT_THROW(nearestPskEighths({1.0f, 0.0f}, 4), std::invalid_argument);
}

TEST(DifferentialDetector, ReadsTheManyCarrierQpskModeOnly) {
    for (int mode = 0; mode < kModeCount; ++mode) {
        EXPECT_EQ(DifferentialDetector::suits(modeRecord(mode)), mode == 8) << mode;
    }
}

// A frame through a channel of its own gain and phase per carrier, a carrier error and a drift
// (from the frame's middle),
// plus noise of the given S/N per cell on the strong carriers; every weakCarrierStep-th carrier
// (0: none) 20 dB weaker.
struct Channel {
    float errorHz = 0.0f;
    float driftHzPerS = 0.0f;
    float cellSnrDb = 200.0f;
    int weakCarrierStep = 0;
};

std::vector<Complex> throughChannel(const test::CarrierFrame& frame, const ModeRecord& r,
                                    const Channel& channel, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(0.0f, 6.2831853f);
    std::normal_distribution<float> gauss(0.0f, std::pow(10.0f, -channel.cellSnrDb / 20.0f) / std::sqrt(2.0f));
    const float symbolSeconds = (1.0f + r.guardFraction) / r.carrierSpacing;
    std::vector<Complex> cells = frame.cells;
    for (int c = 0, o = r.firstCarrierBin; o <= r.lastCarrierBin; ++c, o += r.carrierStride) {
        const float phase = uniform(random);
        const float gain = channel.weakCarrierStep > 0 && c % channel.weakCarrierStep == 0 ? 0.1f : 1.0f;
        for (int s = 2; s <= r.symbolLimit; ++s) {
            // Time from the frame's middle, where the detection measured the carrier.
            const float t = static_cast<float>(s - r.symbolLimit / 2) * symbolSeconds;
            const float turn = phase + 6.2831853f * (channel.errorHz * t + channel.driftHzPerS * t * t / 2.0f);
            Complex& cell = cells[static_cast<std::size_t>((s - 2) * 64 + o)];
            cell = cell * std::polar(gain, turn) + Complex{gauss(random), gauss(random)};
        }
    }
    return cells;
}

struct Detected {
    std::vector<Complex> cells;
    std::vector<float> soft;
};

Detected detect(const ModeTables& tables, const std::vector<Complex>& frameSymbols) {
    const ModeRecord& r = tables.record();
    Detected out{std::vector<Complex>(static_cast<std::size_t>(r.dataCells)),
                 std::vector<float>(static_cast<std::size_t>(r.codedBits))};
    DifferentialDetector detector;
    EXPECT_EQ(detector.detect(tables, frameSymbols, out.cells, out.soft),
              static_cast<std::size_t>(r.dataCells));
    return out;
}

int wrongBits(const test::CarrierFrame& frame, int bits, const std::vector<float>& soft) {
    int wrong = 0;
    for (std::size_t i = 0; i < frame.values.size(); ++i) {
        for (int j = 0; j < bits; ++j) {
            const float v = soft[i * static_cast<std::size_t>(bits) + static_cast<std::size_t>(j)];
            wrong += (v > 0.0f) != (test::bitOf(frame.values[i], bits, j) == 1);
        }
    }
    return wrong;
}

// Without noise, whatever the carrier error and drift within what a weak frame keeps, every soft
// value has its bit's sign.
TEST(DifferentialDetector, NoiseFreeFrameThroughCarrierErrorAndDrift) {
    for (const int mode : {7, 8, 9}) {
        for (const Channel channel : {Channel{}, Channel{1.2f, 0.0f}, Channel{-0.5f, 1.0f}}) {
            const ModeTables tables = test::syntheticTables(mode, 51);
            const test::CarrierFrame frame = test::syntheticCarrierFrame(tables, 52);
            const Detected d = detect(tables, throughChannel(frame, tables.record(), channel, 53));
            EXPECT_EQ(wrongBits(frame, tables.record().bitsPerCell, d.soft), 0)
                << "mode " << mode << " error " << channel.errorHz << " Hz drift " << channel.driftHzPerS;
        }
    }
}

// With noise at a working S/N and a carrier error of a hertz, the detector's hard decisions are
// wrong less often than comparing each cell with its predecessor alone.
TEST(DifferentialDetector, FewerBitErrorsThanPlainDifferentialDetection) {
    const ModeTables tables = test::syntheticTables(8, 61);
    const ModeRecord& r = tables.record();
    int ours = 0;
    int plain = 0;
    for (std::uint32_t seed = 0; seed < 3; ++seed) {
        const test::CarrierFrame frame = test::syntheticCarrierFrame(tables, 62 + seed);
        const std::vector<Complex> cells = throughChannel(frame, r, Channel{1.0f, 0.0f, 5.0f}, 63 + seed);
        ours += wrongBits(frame, 2, detect(tables, cells).soft);
        std::vector<float> soft;
        for (int c = 0, o = r.firstCarrierBin; o <= r.lastCarrierBin; ++c, o += r.carrierStride) {
            for (int s = 3; s <= r.symbolLimit; ++s) {
                if (tables.headerCell(s, c) == 1) continue;
                const Complex d = std::conj(cells[static_cast<std::size_t>((s - 3) * 64 + o)]) *
                                  cells[static_cast<std::size_t>((s - 2) * 64 + o)];
                // QPSK labels 0, 1, 3, 2 at 0, 90, 180 and 270 degrees.
                soft.push_back(-(d.real() + d.imag()));
                soft.push_back(d.imag() - d.real());
            }
        }
        plain += wrongBits(frame, 2, soft);
    }
    EXPECT_LT(ours, plain * 9 / 10) << "ours " << ours << " plain " << plain;
}

// A carrier 20 dB down gives soft values near 0 rather than confident ones.
TEST(DifferentialDetector, WeakCarriersGiveWeakSoftValues) {
    const ModeTables tables = test::syntheticTables(8, 71);
    const ModeRecord& r = tables.record();
    const test::CarrierFrame frame = test::syntheticCarrierFrame(tables, 72);
    const Detected d = detect(tables, throughChannel(frame, r, Channel{0.0f, 0.0f, 12.0f, 4}, 73));
    double weak = 0.0;
    double strong = 0.0;
    std::size_t k = 0;
    for (int c = 0; c < r.carriers; ++c) {
        for (int s = 3; s <= r.symbolLimit; ++s) {
            if (tables.headerCell(s, c) == 1) continue;
            const double size = std::abs(d.soft[2 * k]) + std::abs(d.soft[2 * k + 1]);
            (c % 4 == 0 ? weak : strong) += size;
            ++k;
        }
    }
    const double weakMean = weak / (r.carriers / 4);
    const double strongMean = strong / (r.carriers - r.carriers / 4);
    EXPECT_LT(weakMean, 0.3 * strongMean);
}

TEST(DifferentialDetector, RefusesModesWithPilotsAndShortOutputs) {
    const ModeTables pilots = test::syntheticTables(10, 81);
    std::vector<Complex> frameSymbols(kFrameSymbolCount * kMaxBins);
    std::vector<Complex> cells(4000);
    std::vector<float> soft(16000);
    DifferentialDetector detector;
    EXPECT_THROW(detector.detect(pilots, frameSymbols, cells, soft), std::invalid_argument);
    const ModeTables tables = test::syntheticTables(8, 82);
    EXPECT_THROW(detector.detect(tables, frameSymbols, std::span<Complex>(cells.data(), 10), soft),
                 std::invalid_argument);
}

}  // namespace
}  // namespace zolk
