#include "phy/tx/frame_modulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "phy/common/constellation.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"
#include "phy/tx/tx_cells.h"

namespace zolk {
namespace {

constexpr float kTolerance = 1e-4f;

bool near(Complex a, Complex b) { return std::abs(a - b) < kTolerance; }

// Bits of the turbo output that are systematic, in order, for a rate index: every trellis step
// sends its information bit first, then parity 1 at pattern position 0 and parity 2 at the
// middle position (every position for rate 1/3).
std::vector<int> systematicPositions(int rateIndex, int infoBits) {
    constexpr std::array<int, 11> kPeriod{1, 0, 1, 2, 4, 6, 8, 10, 12, 14, 30};
    const int period = kPeriod[static_cast<std::size_t>(rateIndex)];
    std::vector<int> positions;
    int at = 0;
    for (int t = 0; t < infoBits; ++t) {
        const int r = t % period;
        positions.push_back(at);
        at += 1 + (r == 0 ? 1 : 0) + (rateIndex == 2 || r == period / 2 ? 1 : 0);
    }
    return positions;
}

class FrameModulatorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const TablesFileLoad load = loadTablesFile("data/ZOLKSAT.dat");
        ASSERT_TRUE(load.tables) << load.message;
        s_tables = load.tables;
    }

    FrameModulatorTest() : drawn(random), modulator(drawn, *s_tables, random, cells) {}

    std::vector<std::uint8_t> randomFrame(int mode, std::int32_t seed) {
        RandomSource bytes;
        bytes.seed(seed);
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(modeRecord(mode).netBytes));
        for (auto& b : frame) {
            b = static_cast<std::uint8_t>(bytes.draw(255));
        }
        return frame;
    }

    // The cell without its phase scrambling.
    Complex plainCell(int bin, int symbol, int first) const {
        return cells.frameCell(bin, symbol) * drawn.cellPhaseTable(bin, symbol - first);
    }

    static int nearestValue(Complex x, int bitsPerCell) {
        int best = 0;
        for (int v = 1; v < (1 << bitsPerCell); ++v) {
            const auto& table = kConstellationTable;
            if (std::abs(x - table[v][bitsPerCell - 1]) <
                std::abs(x - table[best][bitsPerCell - 1])) {
                best = v;
            }
        }
        return best;
    }

    // Reads the cell values of a slot back the way a receiver would, in the modulator's order.
    std::vector<int> cellValues(int mode, int slot) const {
        const ModeRecord& r = modeRecord(mode);
        const ModeTables& t = (*s_tables)[mode];
        const int first = slot == 1 ? 2 : r.symbolLimit + 1;
        const int last = slot == 1 ? r.symbolLimit : 2 * r.symbolLimit - 1;
        std::vector<int> values;
        if (r.modeFamily == Family::MultiCarrier) {
            const bool pilots = r.pilotCells > 0;
            for (int c = 0; c < r.carriers; ++c) {
                const int b = r.firstCarrierBin + c * r.carrierStride;
                for (int i = first; i <= last; ++i) {
                    const int d = i - first;
                    if ((!pilots && i == first) || (pilots && pilotMap(d + 2, b)) ||
                        t.headerCell(d + 2, c) != 0) {
                        continue;
                    }
                    const Complex x =
                        pilots ? plainCell(b, i, first)
                               : plainCell(b, i, first) * std::conj(plainCell(b, i - 1, first));
                    values.push_back(nearestValue(x, r.bitsPerCell));
                }
            }
        } else {
            std::array<int, 64> inverseGray{};
            for (int raw = 0; raw < (1 << r.bitsPerCell); ++raw) {
                inverseGray[kGrayTable[static_cast<std::size_t>((r.bitsPerCell - 2) * 16 + raw)]] =
                    raw;
            }
            for (int j = 0; j < r.carriers; ++j) {
                for (int i = first; i <= last; ++i) {
                    const int d = i - first;
                    if (t.streamToneA(d + 2, j) != 0) {
                        continue;
                    }
                    // The stream's tone: the one cell of this symbol inside its hop window.
                    for (int value = 0; value < (1 << r.bitsPerCell); ++value) {
                        const int bin =
                            (t.streamHop(d + 2, j) + value - r.firstToneBin) % r.toneBins +
                            r.firstToneBin;
                        if (cells.frameCell(bin, i) != Complex{}) {
                            values.push_back(inverseGray[static_cast<std::size_t>(value)]);
                            break;
                        }
                    }
                }
            }
        }
        return values;
    }

    // Undoes cell mapping, bit interleaving, the code's systematic part and the whitening.
    std::vector<std::uint8_t> recoverFrame(int mode, int slot) const {
        const ModeRecord& r = modeRecord(mode);
        const ModeTables& t = (*s_tables)[mode];
        std::vector<std::uint8_t> cellBits;
        for (const int value : cellValues(mode, slot)) {
            for (int j = r.bitsPerCell - 1; j >= 0; --j) {
                cellBits.push_back(static_cast<std::uint8_t>((value >> j) & 1));
            }
        }
        EXPECT_EQ(static_cast<int>(cellBits.size()), r.codedBits);
        std::vector<std::uint8_t> coded(cellBits.size());
        for (std::size_t i = 0; i < cellBits.size(); ++i) {
            coded[t.bitInterleaver[i]] = cellBits[i];
        }
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(r.netBytes));
        const auto positions = systematicPositions(r.codeRateIndex, r.infoBits);
        const auto whitening = drawn.pseudoRandomBits();
        for (int i = 0; i < 8 * r.infoBytes; ++i) {
            const int bit =
                coded[static_cast<std::size_t>(positions[static_cast<std::size_t>(i)])] ^
                whitening[static_cast<std::size_t>(i)];
            frame[static_cast<std::size_t>(i / 8)] |= static_cast<std::uint8_t>(bit << (7 - i % 8));
        }
        return frame;
    }

    static std::shared_ptr<const TablesFile> s_tables;
    RandomSource random;
    DrawnTables drawn;
    TxCells cells;
    FrameModulator modulator;
};

std::shared_ptr<const TablesFile> FrameModulatorTest::s_tables;

TEST_F(FrameModulatorTest, EveryModeCarriesTheFrameBitsInItsCells) {
    for (int mode = 0; mode < kModeCount; ++mode) {
        SCOPED_TRACE(mode);
        const auto frame = randomFrame(mode, 100 + mode);
        modulator.modulateFrame(mode, frame, 1);
        EXPECT_EQ(recoverFrame(mode, 1), frame);
    }
}

TEST_F(FrameModulatorTest, Mode8StartsEachCarrierWithAReferenceAndRotatesDifferentially) {
    modulator.modulateFrame(8, randomFrame(8, 7), 1);
    const ModeRecord& r = modeRecord(8);
    const ModeTables& t = (*s_tables)[8];
    for (int b = r.firstCarrierBin; b <= r.lastCarrierBin; ++b) {
        SCOPED_TRACE(b);
        ASSERT_TRUE(near(cells.frameCell(b, 2), std::conj(drawn.cellPhaseTable(b, 0))));
        for (int i = 3; i <= r.symbolLimit; ++i) {
            const Complex step = plainCell(b, i, 2) * std::conj(plainCell(b, i - 1, 2));
            if (t.headerCell(i, b - r.firstCarrierBin) == 1) {
                ASSERT_TRUE(near(step, {1.0f, 0.0f})) << "header cell at symbol " << i;
            } else {
                ASSERT_TRUE(near(step, kConstellationTable[nearestValue(step, 2)][1]))
                    << "symbol " << i << " is not a QPSK rotation of its predecessor";
            }
            ASSERT_NEAR(std::abs(plainCell(b, i, 2)), 1.0f, kTolerance);
        }
    }
}

TEST_F(FrameModulatorTest, Mode10PilotsSitOnTheirLattice) {
    modulator.modulateFrame(10, randomFrame(10, 8), 1);
    const ModeRecord& r = modeRecord(10);
    EXPECT_TRUE(near(plainCell(8, 2, 2), {1.0f, 0.0f}));
    for (int i = 2; i < 6; ++i) {
        EXPECT_FALSE(near(plainCell(9, i, 2), {1.0f, 0.0f})) << "bin 9, symbol " << i;
    }
    EXPECT_TRUE(near(plainCell(9, 6, 2), {1.0f, 0.0f}));
    int pilots = 0;
    for (int b = r.firstCarrierBin; b <= r.lastCarrierBin; ++b) {
        for (int i = 2; i <= r.symbolLimit; ++i) {
            if (pilotMap(i, b)) {
                ++pilots;
                EXPECT_TRUE(near(plainCell(b, i, 2), {1.0f, 0.0f})) << b << ", " << i;
            }
        }
    }
    EXPECT_EQ(pilots, r.pilotCells);
}

TEST_F(FrameModulatorTest, Mode0SendsOneUnitToneInItsHopWindowPerSymbol) {
    modulator.modulateFrame(0, randomFrame(0, 9), 1);
    const ModeRecord& r = modeRecord(0);
    const ModeTables& t = (*s_tables)[0];
    for (int i = 2; i <= r.symbolLimit; ++i) {
        SCOPED_TRACE(i);
        int nonZero = 0;
        int toneBin = -1;
        for (int b = 0; b < TxCells::kBins; ++b) {
            if (cells.frameCell(b, i) != Complex{}) {
                ++nonZero;
                toneBin = b;
                EXPECT_EQ(cells.frameCell(b, i), Complex(0.0f, -1.0f));
            }
        }
        ASSERT_EQ(nonZero, 1);
        const int offset = (toneBin - t.streamHop(i, 0) + 48) % 48;
        EXPECT_LT(offset, 8) << "tone outside the hop window of 8 values";
        if (t.streamToneA(i, 0) != 0) {
            EXPECT_EQ(toneBin, (t.streamHop(i, 0) + t.streamToneB(i, 0) - 8) % 48 + 8);
        }
    }
    for (const int empty : {1, r.symbolLimit + 1}) {
        for (int b = 0; b < TxCells::kBins; ++b) {
            EXPECT_EQ(cells.frameCell(b, empty), Complex{}) << "symbol " << empty;
        }
    }
}

TEST_F(FrameModulatorTest, LeadInCellsArePointsOfTheModeOnItsCarriers) {
    modulator.modulateFrame(9, randomFrame(9, 10), 1);
    const ModeRecord& r = modeRecord(9);
    for (int l = 1; l <= r.leadInSymbols; ++l) {
        for (int b = 0; b < r.binsPerSymbol; ++b) {
            const Complex cell = cells.leadInSymbol(l)[b];
            if (b < r.firstCarrierBin || b > r.lastCarrierBin) {
                EXPECT_EQ(cell, Complex{});
            } else {
                EXPECT_TRUE(near(cell, kConstellationTable[nearestValue(cell, 3)][2]));
            }
        }
    }
    // Mode 4 has two tone streams: up to two unit tones per lead-in symbol.
    modulator.modulateFrame(4, randomFrame(4, 11), 1);
    for (int l = 1; l <= modeRecord(4).leadInSymbols; ++l) {
        const auto column = cells.leadInSymbol(l).first(32);
        const auto tones = std::count(column.begin(), column.end(), Complex(0.0f, -1.0f));
        EXPECT_GE(tones, 1);
        EXPECT_LE(tones, 2);
        EXPECT_EQ(std::count(column.begin(), column.end(), Complex{}), 32 - tones);
    }
}

TEST_F(FrameModulatorTest, SlotTwoOfMode8OccupiesSymbols201To399) {
    const auto first = randomFrame(8, 1);
    const auto second = randomFrame(8, 2);
    modulator.modulateFrame(8, first, 1);
    std::vector<Complex> slotOne;
    for (int i = 1; i <= 200; ++i) {
        const auto column = cells.frameSymbol(i);
        slotOne.insert(slotOne.end(), column.begin(), column.end());
    }
    modulator.modulateFrame(8, second, 2);
    std::vector<Complex> after;
    for (int i = 1; i <= 200; ++i) {
        const auto column = cells.frameSymbol(i);
        after.insert(after.end(), column.begin(), column.end());
    }
    EXPECT_EQ(after, slotOne) << "slot 2 touched slot 1";
    for (int b = 8; b <= 55; ++b) {
        EXPECT_TRUE(near(cells.frameCell(b, 201), std::conj(drawn.cellPhaseTable(b, 0))));
        EXPECT_NE(cells.frameCell(b, 399), Complex{});
        EXPECT_EQ(cells.frameCell(b, 400), Complex{});
    }
    EXPECT_EQ(recoverFrame(8, 1), first);
    EXPECT_EQ(recoverFrame(8, 2), second);
}

TEST_F(FrameModulatorTest, LeadInDrawsAdvanceTheRandomSource) {
    const auto frame = randomFrame(8, 3);
    modulator.modulateFrame(8, frame, 1);
    const std::vector<Complex> firstLeadIn(cells.leadInSymbol(1).begin(),
                                           cells.leadInSymbol(1).end());
    const std::vector<Complex> firstCells(cells.frameSymbol(5).begin(), cells.frameSymbol(5).end());
    modulator.modulateFrame(8, frame, 1);
    EXPECT_NE(std::vector<Complex>(cells.leadInSymbol(1).begin(), cells.leadInSymbol(1).end()),
              firstLeadIn);
    EXPECT_EQ(std::vector<Complex>(cells.frameSymbol(5).begin(), cells.frameSymbol(5).end()),
              firstCells);
}

TEST_F(FrameModulatorTest, RefusesBadArguments) {
    const auto frame = randomFrame(8, 4);
    EXPECT_THROW(modulator.modulateFrame(15, frame, 1), std::invalid_argument);
    EXPECT_THROW(modulator.modulateFrame(8, frame, 3), std::invalid_argument);
    EXPECT_THROW(modulator.modulateFrame(9, frame, 1), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
