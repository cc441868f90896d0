// zolk-phy sweep kept working: a short sweep through the channel into a receiving station, its
// output lines, the 90 % point, and the refusal of bad arguments.
#include <gtest/gtest.h>

#include <array>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "subcommands.h"

namespace zolk::phytool {
namespace {

struct SweepRun {
    int status;
    std::string out;
    std::string err;
};

SweepRun sweep(std::vector<std::string> args) {
    args.insert(args.end(), {"--tables", "data/ZOLKSAT.dat"});
    const std::vector<std::string_view> views(args.begin(), args.end());
    std::ostringstream out;
    std::ostringstream err;
    const int status = runSweep(views, out, err);
    return {status, out.str(), err.str()};
}

TEST(ZolkPhySweep, NoiseDecidesAndTheNinetyPercentPointFollows) {
    const std::vector<std::string> args{"--mode", "5", "--snr", "-20:20:40", "--frames", "2", "--seed", "7"};
    const SweepRun run = sweep(args);
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "mode=5 snr=-20.0 ok=0/2 est_snr=none");
    ASSERT_TRUE(std::getline(lines, line));
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, std::regex("mode=5 snr=20\\.0 ok=2/2 est_snr=(-?[0-9.]+)"))) << line;
    EXPECT_NEAR(std::stod(m[1]), 20.0, 6.0);
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "snr90=20.0");
    EXPECT_FALSE(std::getline(lines, line));
    EXPECT_EQ(sweep(args).out, run.out) << "the same seed gives the same sweep";
}

TEST(ZolkPhySweep, ImpairedChannelsStillCarryAStrongSignal) {
    const std::array<std::vector<std::string>, 4> impairments{{
        {"--offset", "15"},
        {"--drift", "0.5"},
        {"--ppm", "100"},
        {"--fading", "1,2"},
    }};
    for (const auto& impairment : impairments) {
        SCOPED_TRACE(impairment[0]);
        std::vector<std::string> args{"--mode", "6", "--snr", "25:25:1", "--frames", "1"};
        args.insert(args.end(), impairment.begin(), impairment.end());
        const SweepRun run = sweep(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("ok=1/1"), std::string::npos) << run.out;
    }
}

TEST(ZolkPhySweep, BadArgumentsGiveOneLineAndFail) {
    const std::array<std::vector<std::string>, 8> cases{{
        {"--snr", "0:1:1", "--frames", "1"},
        {"--mode", "15", "--snr", "0:1:1", "--frames", "1"},
        {"--mode", "3", "--snr", "0:1", "--frames", "1"},
        {"--mode", "3", "--snr", "5:1:1", "--frames", "1"},
        {"--mode", "3", "--snr", "0:1:1", "--frames", "0"},
        {"--mode", "3", "--snr", "0:1:1", "--frames", "1", "--fading", "1"},
        {"--mode", "3", "--snr", "0:1:1", "--frames", "1", "--ppm", "5000"},
        {"--mode", "3", "--snr", "0:1:1", "--frames", "1", "--colour", "red"},
    }};
    for (const auto& args : cases) {
        SCOPED_TRACE(args.back());
        const SweepRun run = sweep(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.empty());
        EXPECT_TRUE(std::regex_match(run.err, std::regex("zolk-phy sweep: [^\n]+\n"))) << run.err;
    }
}

}  // namespace
}  // namespace zolk::phytool
