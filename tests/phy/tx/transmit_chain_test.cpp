#include "phy/tx/transmit_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <memory>
#include <vector>

#include "app/settings.h"
#include "keyed_engine.h"
#include "phy/common/drawn_tables.h"
#include "phy/common/mode_table.h"
#include "phy/common/random_source.h"
#include "phy/common/tables_file.h"

namespace zolk {
namespace {

class TransmitChainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const TablesFileLoad load = loadTablesFile("data/ZOLKSAT.dat");
        ASSERT_TRUE(load.tables) << load.message;
        s_tables = load.tables;
    }

    std::size_t keyedSamplesOf(int mode, int frames) const {
        const ModeRecord& r = modeRecord(mode);
        const int symbols = frames == 1 ? r.SymbolLimit - 1 : 2 * r.SymbolLimit - 2;
        const std::size_t pttOff =
            256 +
            static_cast<std::size_t>(r.LeadInSymbols + symbols + r.TailSymbols) * r.SymbolLength;
        return (pttOff / 256 + 1) * 256;  // the buffer holding the release is played too
    }

    static std::shared_ptr<const TablesFile> s_tables;
    RandomSource random;
    DrawnTables drawn{random};
    Settings settings;
    KeyedEngine rig;
    TransmitChain chain{*s_tables, drawn, random, rig.engine(), settings, rig};
};

std::shared_ptr<const TablesFile> TransmitChainTest::s_tables;

TEST_F(TransmitChainTest, SendsDataFramesToneSignalsAndTheTuneTone) {
    const std::vector<std::uint8_t> a(static_cast<std::size_t>(modeRecord(5).NetBytes), 0x11);
    const std::vector<std::uint8_t> b(a.size(), 0x22);
    const std::array<std::span<const std::uint8_t>, 2> two{a, b};
    chain.prepareDataFrames(5, two);
    EXPECT_EQ(rig.play().size(), keyedSamplesOf(5, 2));

    const std::vector<std::uint8_t> c(static_cast<std::size_t>(modeRecord(0).NetBytes), 0x33);
    const std::array<std::span<const std::uint8_t>, 1> one{c};
    chain.prepareDataFrames(0, one);
    EXPECT_EQ(rig.play().size(), keyedSamplesOf(0, 1));

    chain.cells().toneColumn(1)[20] = Complex{1.0f, 0.0f};
    chain.prepareToneSignal();
    EXPECT_EQ(rig.play().size(), 256 + (8 + 31 + 50) * 1024 + 256u);
    EXPECT_EQ(rig.releases(), 3);

    settings.TxDriveLevel = 0;
    chain.prepareTestTone();
    const auto tone = rig.play(41);
    rig.unkey();
    EXPECT_TRUE(
        std::all_of(tone.begin(), tone.begin() + 256, [](std::int16_t s) { return s == 0; }));
    EXPECT_NEAR(*std::max_element(tone.begin(), tone.end()), 22180, 1);
    EXPECT_EQ(rig.releases(), 3);
}

// The strongest of the 64 tones in one 1024-sample block, with its share of the block's energy.
std::pair<int, double> strongestTone(std::span<const std::int16_t> block) {
    int best = 0;
    double bestPower = 0.0, total = 0.0;
    for (std::int16_t v : block) total += double(v) * v;
    for (int k = 0; k < 64; ++k) {
        double re = 0.0, im = 0.0;
        for (std::size_t n = 0; n < block.size(); ++n) {
            const double phase = 2.0 * std::numbers::pi * k * double(n) / double(block.size());
            re += block[n] * std::cos(phase);
            im -= block[n] * std::sin(phase);
        }
        const double power = 2.0 * (re * re + im * im) / double(block.size());
        if (power > bestPower) bestPower = power, best = k;
    }
    return {best, total > 0.0 ? bestPower / total : 0.0};
}

// A control frame on the air: 8 lead-in tones, the code's 31 tones, 50 silent blocks, release.
TEST_F(TransmitChainTest, ControlFramePlaysLeadInPatternAndSilentTail) {
    ControlPatternTable table;
    for (int c = 1; c <= kControlCodeCount; ++c) {
        for (int s = 0; s < kControlSymbols; ++s) {
            table.toneOf[c][s] = static_cast<std::uint8_t>(8 + (5 * s + 3 * c) % 49);
        }
    }
    chain.cells().toneColumn(0)[30] = Complex{1.0f, 0.0f};  // left over: must not be sent
    chain.prepareControlFrame(table, 17);
    const auto air = rig.play();
    ASSERT_EQ(air.size(), 256 + (8 + 31 + 50) * 1024 + 256u);
    EXPECT_EQ(rig.releases(), 1);
    const auto block = [&](int b) { return std::span(air).subspan(256 + 1024 * std::size_t(b), 1024); };
    for (int b = 0; b < 8; ++b) {
        const auto [tone, share] = strongestTone(block(b));
        EXPECT_GE(tone, 8);
        EXPECT_LE(tone, 56);
        EXPECT_GT(share, 0.99) << "lead-in block " << b;
    }
    for (int s = 0; s < 31; ++s) {
        const auto [tone, share] = strongestTone(block(8 + s));
        EXPECT_EQ(tone, table.toneOf[17][s]) << "symbol " << s;
        EXPECT_GT(share, 0.99) << "symbol " << s;
    }
    const auto tail = std::span(air).subspan(256 + 1024 * 39);
    EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](std::int16_t v) { return v == 0; }));

    EXPECT_THROW(chain.prepareControlFrame(table, 0), std::invalid_argument);
    EXPECT_THROW(chain.prepareControlFrame(table, 27), std::invalid_argument);
}

TEST_F(TransmitChainTest, RefusesBadTransmissions) {
    const std::vector<std::uint8_t> frame(static_cast<std::size_t>(modeRecord(8).NetBytes));
    const std::array<std::span<const std::uint8_t>, 3> three{frame, frame, frame};
    EXPECT_THROW(chain.prepareDataFrames(8, three), std::invalid_argument);
    EXPECT_THROW(chain.prepareDataFrames(8, {}), std::invalid_argument);
    const std::array<std::span<const std::uint8_t>, 1> wrongMode{frame};
    EXPECT_THROW(chain.prepareDataFrames(9, wrongMode), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
