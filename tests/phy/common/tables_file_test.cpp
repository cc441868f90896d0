#include "phy/common/tables_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "phy/common/crc16.h"
#include "phy/common/tables_generator.h"
#include "support/scratch_dir.h"
#include "version.h"

namespace zolk {
namespace {

const std::filesystem::path kCommittedFile = "data/ZOLKSAT.dat";

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TEST(TablesFile, PerModeByteCountsAreTheKnownOnes) {
    constexpr std::array<std::size_t, kModeCount> kBytes{1696,   2928,   3762,   7830,   13290,
                                                         14142,  22724,  34188,  75924,  103236,
                                                         115764, 138756, 110720, 113160, 1360};
    std::size_t total = 0;
    for (int mode = 0; mode < kModeCount; ++mode) {
        EXPECT_EQ(tablesFileBytes(mode), kBytes[static_cast<std::size_t>(mode)]) << mode;
        total += tablesFileBytes(mode);
    }
    EXPECT_EQ(total, 759480U);
}

TEST(TablesFile, CommittedFileIsWhatTheGeneratorWritesAndPassesItsChecks) {
    const auto committed = readFile(kCommittedFile);
    ASSERT_EQ(committed.size(), kTablesFileSize);
    EXPECT_TRUE(crc16Matches(committed));

    const GeneratedTables generated = generateTables();
    EXPECT_EQ(checkTablesFile(generated.tables), std::nullopt);
    const auto regenerated = encodeTablesFile(generated.tables);
    ASSERT_EQ(regenerated.size(), committed.size());
    EXPECT_TRUE(regenerated == committed) << "data/ZOLKSAT.dat differs from zolk-tables' output";

    for (int mode = 0; mode < kModeCount; ++mode) {
        SCOPED_TRACE(mode);
        const int spread = generated.turboSpread[static_cast<std::size_t>(mode)];
        EXPECT_GE(measuredSpread(generated.tables[mode].turboInterleaver), spread);
        // Close to the ceiling floor(sqrt(InfoBits / 2)) of this construction.
        EXPECT_GE(spread, static_cast<int>(0.8 * std::sqrt(modeRecord(mode).infoBits / 2.0)));
    }
}

TEST(TablesFile, LoadsTheCommittedFile) {
    const TablesFileLoad load = loadTablesFile(kCommittedFile);
    ASSERT_EQ(load.error, TablesFileError::None) << load.message;
    ASSERT_NE(load.tables, nullptr);
    const TablesFile& tables = *load.tables;
    const ModeTables& m10 = tables[10];
    EXPECT_EQ(m10.bitInterleaver.size(), 32352U);
    EXPECT_EQ(m10.turboInterleaver.size(), 16170U);
    // One header cell per carrier, marked in the map at its symbol.
    for (int c = 0; c < 48; ++c) {
        const int symbol = m10.headerPosition(c, 0);
        EXPECT_EQ(m10.headerCell(symbol, c), 1);
        EXPECT_FALSE(pilotMap(symbol, 8 + c));
    }
    const ModeTables& m4 = tables[4];
    for (int symbol = 2; symbol <= 450; ++symbol) {
        const int gap = (m4.streamHop(symbol, 1) - m4.streamHop(symbol, 0) + 24) % 24;
        ASSERT_EQ(gap, 12) << symbol;
    }
    for (int n = 0; n < 12; ++n) {
        const int symbol = m4.streamHeaderCell(1, n);
        EXPECT_EQ(m4.streamToneA(symbol, 1), 1);
        EXPECT_EQ(m4.streamToneB(symbol, 1) % m4.record().toneGroups, 0);
    }
}

TEST(TablesFile, MissingFileAndWrongSizeGiveTheirMessages) {
    const test::ScratchDir dir;
    const auto missing = loadTablesFile(dir.path() / "ZOLKSAT.dat");
    EXPECT_EQ(missing.error, TablesFileError::NotFound);
    EXPECT_EQ(missing.message, "ZOLKSAT.dat file not found");
    EXPECT_EQ(missing.tables, nullptr);

    auto image = readFile(kCommittedFile);
    for (const long delta : {-1L, +1L, -static_cast<long>(kTablesFileSize)}) {
        SCOPED_TRACE(delta);
        auto resized = image;
        resized.resize(static_cast<std::size_t>(static_cast<long>(image.size()) + delta));
        writeFile(dir.path() / "ZOLKSAT.dat", resized);
        const auto load = loadTablesFile(dir.path() / "ZOLKSAT.dat");
        EXPECT_EQ(load.error, TablesFileError::WrongSize);
        EXPECT_EQ(load.message, "ZOLKSAT.dat file does not belong to this v" + std::string(kVersion));
        EXPECT_EQ(load.tables, nullptr);
    }
    // A folder in place of the file is as good as missing.
    std::filesystem::create_directories(dir.path() / "folder" / "ZOLKSAT.dat");
    EXPECT_EQ(loadTablesFile(dir.path() / "folder" / "ZOLKSAT.dat").error,
              TablesFileError::NotFound);
}

TEST(TablesFile, ChecksumMismatchIsReportedAsCorrupt) {
    const test::ScratchDir dir;
    auto image = readFile(kCommittedFile);
    image[123456] ^= 0x10;
    writeFile(dir.path() / "ZOLKSAT.dat", image);
    const auto load = loadTablesFile(dir.path() / "ZOLKSAT.dat");
    EXPECT_EQ(load.error, TablesFileError::Corrupt);
    EXPECT_EQ(load.message, "ZOLKSAT.dat file is corrupt (checksum mismatch)");
    EXPECT_EQ(load.tables, nullptr);
}

// Structural damage: the tables are altered and written back with a valid checksum, so only the
// structural checks can catch it.
struct Damage {
    const char* name;
    std::function<void(TablesFile&)> alter;               // on the decoded tables, or
    std::function<void(std::vector<std::uint8_t>&)> raw;  // on the body bytes (word ranges)
    const char* reason;
};

std::size_t modeOffset(int mode) {
    std::size_t offset = 0;
    for (int m = 0; m < mode; ++m) offset += tablesFileBytes(m);
    return offset;
}

// Byte offset of a mode's per-cell tables (after both interleavers).
std::size_t cellTablesOffset(int mode) {
    const ModeRecord& r = modeRecord(mode);
    return modeOffset(mode) + 2 * static_cast<std::size_t>(r.codedBits + r.infoBits);
}

void setWord(std::vector<std::uint8_t>& body, std::size_t offset, unsigned word) {
    body[offset] = static_cast<std::uint8_t>(word >> 8);
    body[offset + 1] = static_cast<std::uint8_t>(word & 0xFF);
}

std::size_t at(const ModeTables& t, int row, int symbol) {
    return static_cast<std::size_t>(row * (t.record().symbolLimit - 1) + symbol - 2);
}

// Moves header n of carrier c in a multi-carrier mode to symbol, keeping the map in step.
void moveHeader(ModeTables& t, int c, int n, int symbol) {
    const auto i = static_cast<std::size_t>(c * t.record().headerSymbols + n);
    t.headerCellMap[at(t, c, t.headerPositions[i])] = 0;
    t.headerPositions[i] = static_cast<std::int16_t>(symbol);
    t.headerCellMap[at(t, c, symbol)] = 1;
}

// A data symbol of row 0 that no header uses, in the robust or multi-carrier map.
int freeSymbol(const std::vector<std::uint8_t>& map, int from) {
    int symbol = from;
    while (map[static_cast<std::size_t>(symbol - 2)] != 0) ++symbol;
    return symbol;
}

const std::array kDamages{
    Damage{"BitInterleaverDuplicate",
           [](TablesFile& t) { t.modes[3].bitInterleaver[7] = t.modes[3].bitInterleaver[8]; },
           nullptr, "mode 3: BitInterleaver is not a permutation"},
    Damage{"TurboInterleaverOutOfRange",
           [](TablesFile& t) { t.modes[9].turboInterleaver[0] = 14034; }, nullptr,
           "mode 9: TurboInterleaver is not a permutation"},
    Damage{"HeaderPositionsNegativeWord", nullptr,
           [](std::vector<std::uint8_t>& b) { setWord(b, cellTablesOffset(6), 0x8003); },
           "mode 6: HeaderPositions value out of range"},
    Damage{"HeaderCellMapWordAboveByte", nullptr,
           [](std::vector<std::uint8_t>& b) { setWord(b, cellTablesOffset(8) + 2 * 48, 0x0100); },
           "mode 8: HeaderCellMap value out of range"},
    Damage{"StreamHopWordAboveByte", nullptr,
           [](std::vector<std::uint8_t>& b) { setWord(b, cellTablesOffset(0), 0x0108); },
           "mode 0: StreamHop value out of range"},
    Damage{"HeaderPositionsOutOfOrder",
           [](TablesFile& t) {
               std::swap(t.modes[5].headerPositions[0], t.modes[5].headerPositions[1]);
           },
           nullptr, "mode 5: HeaderPositions not ascending within symbols 3..600"},
    Damage{"HeaderOnFirstSymbol", [](TablesFile& t) { moveHeader(t.modes[8], 0, 0, 2); }, nullptr,
           "mode 8: HeaderPositions not ascending within symbols 3..200"},
    Damage{"HeaderOnPilot", [](TablesFile& t) { moveHeader(t.modes[10], 0, 0, 10); }, nullptr,
           "mode 10: header cell on a pilot cell"},
    Damage{"HeaderCellMapValueTwo", [](TablesFile& t) { t.modes[7].headerCellMap[5] = 2; }, nullptr,
           "mode 7: HeaderCellMap value other than 0 or 1"},
    Damage{"HeaderCellMapExtraHeader",
           [](TablesFile& t) {
               t.modes[12]
                   .headerCellMap[at(t.modes[12], 0, freeSymbol(t.modes[12].headerCellMap, 3))] = 1;
           },
           nullptr, "mode 12: HeaderCellMap leaves 5831 data cells instead of 5832"},
    Damage{"HeaderCellMapMovedHeader",
           [](TablesFile& t) {
               ModeTables& m = t.modes[9];
               const int symbol = m.headerPosition(0, 0);
               m.headerCellMap[at(m, 0, symbol)] = 0;
               m.headerCellMap[at(m, 0, symbol == 3 ? 4 : 3)] = 1;
           },
           nullptr, "mode 9: HeaderCellMap disagrees with HeaderPositions"},
    Damage{"StreamHopOutsideBand", [](TablesFile& t) { t.modes[1].streamHops[4] = 56; }, nullptr,
           "mode 1: StreamHop outside the tone band"},
    Damage{"StreamsShareABin",
           [](TablesFile& t) {
               t.modes[4].streamHops[1] = static_cast<std::uint8_t>(t.modes[4].streamHops[0] + 3);
           },
           nullptr, "mode 4: streams share a tone bin"},
    Damage{"StreamHeaderCellsOutOfOrder",
           [](TablesFile& t) {
               std::swap(t.modes[14].streamHeaderCells[2], t.modes[14].streamHeaderCells[3]);
           },
           nullptr, "mode 14: StreamHeaderCells not ascending within symbols 2..109"},
    Damage{"StreamToneAValueTwo", [](TablesFile& t) { t.modes[2].streamTonesA[9] = 2; }, nullptr,
           "mode 2: StreamToneA value other than 0 or 1"},
    Damage{"StreamToneAExtraHeader",
           [](TablesFile& t) {
               t.modes[3].streamTonesA[static_cast<std::size_t>(
                   freeSymbol(t.modes[3].streamTonesA, 2) - 2)] = 1;
           },
           nullptr, "mode 3: StreamToneA leaves 424 data cells instead of 425"},
    Damage{"StreamToneAMovedHeader",
           [](TablesFile& t) {
               ModeTables& m = t.modes[0];
               const int symbol = m.streamHeaderCell(0, 0);
               m.streamTonesA[at(m, 0, symbol)] = 0;
               m.streamTonesA[at(m, 0, freeSymbol(m.streamTonesA, symbol + 1))] = 1;
           },
           nullptr, "mode 0: StreamToneA disagrees with StreamHeaderCells"},
    Damage{"StreamToneBNotAMultipleOfToneGroups",
           [](TablesFile& t) {
               t.modes[2].streamTonesB[at(t.modes[2], 0, t.modes[2].streamHeaderCell(0, 0))] = 3;
           },
           nullptr, "mode 2: StreamToneB not a known header tone"},
    Damage{"StreamToneBOnADataCell",
           [](TablesFile& t) {
               t.modes[4].streamTonesB[at(t.modes[4], 1, freeSymbol(t.modes[4].streamTonesA, 2))] = 2;
           },
           nullptr, "mode 4: StreamToneB not a known header tone"},
};

class TablesFileDamage : public testing::TestWithParam<Damage> {
protected:
    static void SetUpTestSuite() {
        s_tables = loadTablesFile(kCommittedFile).tables;
        ASSERT_NE(s_tables, nullptr);
    }
    static std::shared_ptr<const TablesFile> s_tables;
};
std::shared_ptr<const TablesFile> TablesFileDamage::s_tables;

TEST_P(TablesFileDamage, IsRejectedWithItsReason) {
    const Damage& damage = GetParam();
    TablesFile tables = *s_tables;
    if (damage.alter) damage.alter(tables);
    auto image = encodeTablesFile(tables);
    if (damage.raw) {
        image.resize(kTablesFileSize - 2);
        damage.raw(image);
        const auto crc = crc16StoredBytes(image);
        image.insert(image.end(), crc.begin(), crc.end());
    }
    ASSERT_TRUE(crc16Matches(image));

    const test::ScratchDir dir;
    writeFile(dir.path() / "ZOLKSAT.dat", image);
    const TablesFileLoad load = loadTablesFile(dir.path() / "ZOLKSAT.dat");
    EXPECT_EQ(load.error, TablesFileError::Corrupt);
    EXPECT_EQ(load.tables, nullptr);
    EXPECT_EQ(load.message, std::string("ZOLKSAT.dat file is corrupt (") + damage.reason + ")");
}

INSTANTIATE_TEST_SUITE_P(EveryCheck, TablesFileDamage, testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TablesFile, LocatedFromTheOptionBesideTheProgramOrInstalled) {
    const test::ScratchDir dir;
    const auto given = dir.path() / "elsewhere.dat";
    EXPECT_EQ(locateTablesFile(given, dir.path()), given);
    // Nothing beside the program and (in a test tree) nothing installed: the message names the
    // place beside the program.
    EXPECT_EQ(locateTablesFile(std::nullopt, dir.path()), dir.path() / "ZOLKSAT.dat");
    writeFile(dir.path() / "ZOLKSAT.dat", {1, 2, 3});
    EXPECT_EQ(locateTablesFile(std::nullopt, dir.path()), dir.path() / "ZOLKSAT.dat");
    EXPECT_EQ(installedDataDir().filename(), "zolksat");
}

TEST(TablesFile, InstalledProgramFindsTheDataBesideItsPrefix) {
    // <prefix>/bin/zolksat reads <prefix>/share/zolksat/ZOLKSAT.dat whatever prefix it was built for.
    const test::ScratchDir prefix;
    const auto bin = prefix.path() / "bin";
    const auto data = prefix.path() / "share" / "zolksat";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(data);
    EXPECT_EQ(locateTablesFile(std::nullopt, bin), bin / "ZOLKSAT.dat");
    writeFile(data / "ZOLKSAT.dat", {1, 2, 3});
    EXPECT_EQ(locateTablesFile(std::nullopt, bin), data / "ZOLKSAT.dat");
    // A file beside the program (the build tree) still wins.
    writeFile(bin / "ZOLKSAT.dat", {1, 2, 3});
    EXPECT_EQ(locateTablesFile(std::nullopt, bin), bin / "ZOLKSAT.dat");
}

TEST(TablesFile, MessageNamesTheFileActuallyUsed) {
    const test::ScratchDir dir;
    const auto load = loadTablesFile(dir.path() / "custom.dat");
    EXPECT_EQ(load.message, "custom.dat file not found");
}

}  // namespace
}  // namespace zolk
