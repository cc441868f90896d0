#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "subcommands.h"
#include "support/scratch_dir.h"

namespace zolk::phytool {
namespace {

struct RxRun {
    int status = 0;
    std::string out;
    std::string err;
};

RxRun rx(std::vector<std::string> args) {
    std::vector<std::string_view> views(args.begin(), args.end());
    std::ostringstream out;
    std::ostringstream err;
    const int status = runRx(views, out, err);
    return {status, out.str(), err.str()};
}

TEST(ZolkPhyRx, BadArgumentsAndBadInputGiveOneLineAndFail) {
    const test::ScratchDir scratch;
    const auto text = scratch.path() / "not_audio.wav";
    std::ofstream(text) << "this is not audio";
    struct Case { const char* name; std::vector<std::string> args; std::string reason; };
    const std::vector<Case> cases{
        {"no input", {"--mode", "3"}, "--in is required"},
        {"no mode", {"--in", text.string()}, "--mode is required"},
        {"mode out of range", {"--mode", "15", "--in", text.string()}, "unknown mode"},
        {"bad frame count", {"--mode", "5", "--frames", "3", "--in", text.string()}, "--frames must be 1 or 2"},
        {"unknown option", {"--mode", "5", "--speed", "9"}, "unknown option"},
        {"missing file", {"--mode", "5", "--in", (text.parent_path() / "no_such_dir" / "x.wav").string()}, "cannot be read"},
        {"not a WAV", {"--mode", "5", "--in", text.string()}, "not a WAV file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RxRun run = rx(c.args);
        EXPECT_NE(run.status, 0);
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    }
}

}  // namespace
}  // namespace zolk::phytool
