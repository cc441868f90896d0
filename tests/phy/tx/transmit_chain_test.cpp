#include "phy/tx/transmit_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

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
        const int symbols = frames == 1 ? r.symbolLimit - 1 : 2 * r.symbolLimit - 2;
        const std::size_t pttOff =
            256 +
            static_cast<std::size_t>(r.leadInSymbols + symbols + r.tailSymbols) * r.symbolLength;
        return (pttOff / 256 + 1) * 256;  // the buffer holding the release is played too
    }

    static std::shared_ptr<const TablesFile> s_tables;
    RandomSource random;
    DrawnTables drawn{random};
    std::int16_t driveLevelDb = -5;
    KeyedEngine rig;
    TransmitChain chain{*s_tables, drawn, random, rig.engine(), driveLevelDb, rig};
};

std::shared_ptr<const TablesFile> TransmitChainTest::s_tables;

TEST_F(TransmitChainTest, SendsDataFramesToneSignalsAndTheTuneTone) {
    const std::vector<std::uint8_t> a(static_cast<std::size_t>(modeRecord(5).netBytes), 0x11);
    const std::vector<std::uint8_t> b(a.size(), 0x22);
    const std::array<std::span<const std::uint8_t>, 2> two{a, b};
    chain.prepareDataFrames(5, two);
    EXPECT_EQ(rig.play().size(), keyedSamplesOf(5, 2));

    const std::vector<std::uint8_t> c(static_cast<std::size_t>(modeRecord(0).netBytes), 0x33);
    const std::array<std::span<const std::uint8_t>, 1> one{c};
    chain.prepareDataFrames(0, one);
    EXPECT_EQ(rig.play().size(), keyedSamplesOf(0, 1));

    chain.cells().toneColumn(1)[20] = Complex{1.0f, 0.0f};
    chain.prepareToneSignal();
    EXPECT_EQ(rig.play().size(), 256 + (8 + 31 + 50) * 1024 + 256u);
    EXPECT_EQ(rig.releases(), 3);

    driveLevelDb = 0;
    chain.prepareTestTone();
    const auto tone = rig.play(41);
    rig.unkey();
    EXPECT_TRUE(
        std::all_of(tone.begin(), tone.begin() + 256, [](std::int16_t s) { return s == 0; }));
    EXPECT_NEAR(*std::max_element(tone.begin(), tone.end()), 22180, 1);
    EXPECT_EQ(rig.releases(), 3);
}

TEST_F(TransmitChainTest, RefusesBadTransmissions) {
    const std::vector<std::uint8_t> frame(static_cast<std::size_t>(modeRecord(8).netBytes));
    const std::array<std::span<const std::uint8_t>, 3> three{frame, frame, frame};
    EXPECT_THROW(chain.prepareDataFrames(8, three), std::invalid_argument);
    EXPECT_THROW(chain.prepareDataFrames(8, {}), std::invalid_argument);
    const std::array<std::span<const std::uint8_t>, 1> wrongMode{frame};
    EXPECT_THROW(chain.prepareDataFrames(9, wrongMode), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
