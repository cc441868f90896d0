// zolk-phy tx --control and rx --control: frames written for one link are found with their codes,
// offsets and times; another link's station finds nothing; bad arguments are refused.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "subcommands.h"

namespace zolk::phytool {
namespace {

class ControlCommandTest : public test::ScratchDirTest {
protected:
    int tx(std::vector<std::string> args) { return call(runTx, std::move(args)); }
    int rx(std::vector<std::string> args) { return call(runRx, std::move(args)); }
    int call(SubcommandMain main, std::vector<std::string> args) {
        out.str("");
        err.str("");
        const std::vector<std::string_view> views(args.begin(), args.end());
        return main(views, out, err);
    }
    std::vector<std::string> detections() const {
        std::vector<std::string> found;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("control=")) found.push_back(line);
        }
        return found;
    }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(ControlCommandTest, FramesOfALinkAreFoundWithCodeTimeAndOffset) {
    const std::string wav = (dir / "link.wav").string();
    ASSERT_EQ(tx({"--control", "Break,Req1,22", "--call", "ea4zzz", "--gap", "0.5", "--out", wav}), 0) << err.str();
    EXPECT_NE(out.str().find("control 2: Req1 (13)"), std::string::npos) << out.str();

    ASSERT_EQ(rx({"--control", "--call", "EA4ZZZ", "--in", wav}), 0) << err.str();
    auto found = detections();
    ASSERT_EQ(found.size(), 3u) << out.str();
    EXPECT_NE(found[0].find("code=4 name=Break time=0.18"), std::string::npos) << found[0];
    EXPECT_NE(found[1].find("code=13 name=Req1"), std::string::npos) << found[1];
    EXPECT_NE(found[2].find("code=22 name=Call1"), std::string::npos) << found[2];

    // Moved by +100 Hz: only the wide search finds it, with its offset.
    const std::string moved = (dir / "moved.wav").string();
    ASSERT_EQ(call(runOffset, {"--in", wav, "--out", moved, "--hz", "100"}), 0) << err.str();
    ASSERT_EQ(rx({"--control", "Call1", "--call", "EA4ZZZ", "--wide", "--in", moved}), 0) << err.str();
    found = detections();
    ASSERT_EQ(found.size(), 1u) << out.str();
    EXPECT_NE(found[0].find("code=22 name=Call1"), std::string::npos) << found[0];
    EXPECT_NE(found[0].find("coarse_hz=93.75"), std::string::npos) << found[0];
    ASSERT_EQ(rx({"--control", "Call1", "--call", "EA4ZZZ", "--in", moved}), 0);
    EXPECT_TRUE(detections().empty()) << out.str();

    // The same frames heard by a station of another link.
    ASSERT_EQ(rx({"--control", "--call", "G4AAA", "--wide", "--in", wav}), 0);
    EXPECT_TRUE(detections().empty()) << out.str();
    EXPECT_NE(out.str().find("controls=0"), std::string::npos);
}

TEST_F(ControlCommandTest, BadArgumentsAreRefused) {
    const std::string wav = (dir / "x.wav").string();
    struct Case {
        bool transmit;
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {true, {"--control", "27", "--call", "EA4ZZZ", "--out", wav}, "unknown control code \"27\""},
        {true, {"--control", "Ack,", "--call", "EA4ZZZ", "--out", wav}, "unknown control code \"\""},
        {true, {"--control", "Ack", "--out", wav}, "--call is required"},
        {true, {"--control", "Ack", "--call", "NOT A CALL", "--out", wav}, "not a call sign"},
        {true, {"--control", "Ack", "--call", "EA4ZZZ"}, "--out is required"},
        {true, {"--control", "Ack", "--call", "EA4ZZZ", "--code-seed", "x", "--out", wav}, "--code-seed is idle or call"},
        {false, {"--control", "--call", "EA4ZZZ"}, "--in is required"},
        {false, {"--control", "--call", "EA4ZZZ", "--lead-in-tone", "--in", wav}, "unknown option \"--lead-in-tone\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.transmit ? tx(c.args) : rx(c.args), 2) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    }
    EXPECT_EQ(rx({"--control", "--call", "EA4ZZZ", "--in", (dir / "missing.wav").string()}), 1);
}

}  // namespace
}  // namespace zolk::phytool
