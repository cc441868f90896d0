#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/station.h"
#include "session/control_codes.h"
#include "support/station_ports_test.h"

namespace zolk {
namespace {

class StationTablesTest : public test::StationPortsTest {
protected:
    std::filesystem::path tablesCopy(std::size_t flipByte) {
        std::ifstream in("data/ZOLKSAT.dat", std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
        bytes.at(flipByte) = static_cast<char>(bytes.at(flipByte) ^ 1);
        const auto path = m_folder / "ZOLKSAT.dat";
        std::ofstream(path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

TEST_F(StationTablesTest, StartsWithTheCommittedTablesAndDrawsThePhaseTables) {
    Station station(ports, m_folder / "station", std::filesystem::path("data/ZOLKSAT.dat"));
    ASSERT_TRUE(station.start());
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_EQ(station.tables()[13].turboInterleaver.size(), 22260U);
    // The generator continues after the start-up draws (the phase tables, then the idle control
    // patterns of the session's cleanup), identically on every station.
    RandomSource reference;
    const DrawnTables drawn(reference);
    ControlPatternTable idle;
    buildPatterns(reference, 0, CallSlotSeeds{}, false, idle);
    EXPECT_EQ(station.drawnTables().cellPhaseTable(5, 7), drawn.cellPhaseTable(5, 7));
    EXPECT_EQ(station.random().next(), reference.next());
    station.shutdown(std::nullopt);
}

TEST_F(StationTablesTest, FindsTheTablesBesideTheProgram) {
    // Test programs carry a copy beside themselves, as every program in the build does.
    Station station(ports, m_folder / "station");
    EXPECT_TRUE(station.start());
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(StationTablesTest, BadTablesEndStartUpWithAMessageBeforeAudioOpens) {
    struct Case {
        const char* name;
        std::filesystem::path file;
        std::string message;
    };
    const std::vector<Case> cases{
        {"missing", m_folder / "absent" / "ZOLKSAT.dat", "ZOLKSAT.dat file not found"},
        {"corrupt", tablesCopy(1000), "ZOLKSAT.dat file is corrupt (checksum mismatch)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clearMessageBoxes();
        Station station(ports, m_folder / "station", c.file);
        EXPECT_FALSE(station.start());
        EXPECT_FALSE(station.running());
        EXPECT_EQ(ui.messageBoxes(), (std::vector<std::pair<std::string, std::string>>{{"ZOLK SAT", c.message}}));
        EXPECT_TRUE(audio.opens.empty());
        EXPECT_TRUE(link.listens().empty());
    }
}

}  // namespace
}  // namespace zolk
