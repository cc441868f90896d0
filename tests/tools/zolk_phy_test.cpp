#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "phy/common/mode_table.h"
#include "subcommands.h"

namespace zolk::phytool {
namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) {
        fields.push_back(field);
    }
    return fields;
}

TEST(ZolkPhyModes, PrintsAHeaderAndOneLinePerModeWithMatchingColumns) {
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(runModes({}, out, err), 0);
    EXPECT_TRUE(err.str().empty());

    std::istringstream in(out.str());
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    const auto header = splitTabs(line);
    const std::vector<std::string> leading{
        "ModeIndex",   "SymbolLength",  "GuardLength",    "SymbolMs",   "CarrierSpacing",
        "TailSymbols", "LeadInSymbols", "LastCarrierBin", "PilotCells", "ReservedCells",
        "DataCells",   "CodedBits",     "InfoBits",       "InfoBytes",  "UserBytes",
        "NetBitRate",  "Throughput"};
    ASSERT_GT(header.size(), leading.size());
    EXPECT_TRUE(std::equal(leading.begin(), leading.end(), header.begin()));

    int mode = 0;
    while (std::getline(in, line)) {
        SCOPED_TRACE(mode);
        const auto fields = splitTabs(line);
        ASSERT_EQ(fields.size(), header.size());
        std::map<std::string, std::string> row;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            row[header[i]] = fields[i];
        }
        const ModeRecord& r = modeRecord(mode);
        EXPECT_EQ(row["ModeIndex"], std::to_string(mode));
        EXPECT_EQ(row["InfoBits"], std::to_string(r.infoBits));
        EXPECT_EQ(row["BitsPerCell"], std::to_string(r.bitsPerCell));
        EXPECT_EQ(std::stof(row["CarrierSpacing"]), r.carrierSpacing);
        EXPECT_EQ(std::stof(row["SnrThreshold"]), r.snrThreshold);
        ++mode;
    }
    EXPECT_EQ(mode, kModeCount);
}

TEST(ZolkPhyModes, RefusesArguments) {
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<std::string_view> args{"extra"};
    EXPECT_EQ(runModes(args, out, err), 2);
    EXPECT_NE(err.str().find("no arguments"), std::string::npos);
}

TEST(ZolkPhy, SubcommandNamesAreUnique) {
    const auto commands = subcommands();
    for (std::size_t i = 0; i < commands.size(); ++i) {
        for (std::size_t j = i + 1; j < commands.size(); ++j) {
            EXPECT_NE(commands[i].name, commands[j].name);
        }
    }
}

}  // namespace
}  // namespace zolk::phytool
