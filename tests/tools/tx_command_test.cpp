#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "phy/common/mode_table.h"
#include "phy/tx/data_frame.h"
#include "support/scratch_dir.h"
#include "subcommands.h"
#include "wav_reader.h"

namespace zolk::phytool {
namespace {

class TxCommandTest : public test::ScratchDirTest {
protected:
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        const std::vector<std::string_view> views(args.begin(), args.end());
        return runTx(views, out, err);
    }

    std::uint64_t samplesIn(const std::filesystem::path& path) {
        WavReader wav(path);
        EXPECT_EQ(wav.channels(), 1);
        return wav.frames();
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) {
            result.push_back(line);
        }
        return result;
    }

    std::ostringstream out;
    std::ostringstream err;
};

// Key-up buffer, then lead-in, frame symbols and tail periods of the mode up to PTT off.
std::uint64_t transmissionSamples(int mode, int frames) {
    const ModeRecord& r = modeRecord(mode);
    const int symbols = frames == 1 ? r.symbolLimit - 1 : 2 * r.symbolLimit - 2;
    return 256 + static_cast<std::uint64_t>(r.leadInSymbols + symbols + r.tailSymbols) *
                     static_cast<std::uint64_t>(r.symbolLength);
}

TEST_F(TxCommandTest, OutputLengthsFollowTheTimeline) {
    struct Case {
        const char* name;
        std::vector<std::string> extra;
        std::uint64_t samples;
    };
    const std::array cases{
        Case{"mode 8, one frame", {"--mode", "8"}, 256 + (8 + 199 + 45) * 1152},
        Case{"mode 0, one frame", {"--mode", "0"}, 256 + (9 + 132 + 50) * 1024},
        Case{"mode 5, two frames", {"--mode", "5", "--frames", "2"}, transmissionSamples(5, 2)},
        Case{"mode 3, three transmissions, half a second apart",
             {"--mode", "3", "--count", "3", "--gap", "0.5"},
             3 * transmissionSamples(3, 1) + 2 * 24000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir / "out.wav";
        std::vector<std::string> args{"--out", path.string(), "--text", "hello"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ASSERT_EQ(run(args), 0) << err.str();
        EXPECT_EQ(samplesIn(path), c.samples);
    }
    EXPECT_EQ(transmissionSamples(8, 1), 256u + (8 + 199 + 45) * 1152);
}

TEST_F(TxCommandTest, PrintsEachFramesPayloadLengthAndCheckBytes) {
    const auto path = dir / "out.wav";
    // 25 bytes in mode 0 (10 user bytes) make three frames; two per transmission fill the last
    // transmission's second slot with the first frame again.
    const std::string text = "The quick brown fox jumps";
    ASSERT_EQ(run({"--mode", "0", "--out", path.string(), "--text", text, "--frames", "2"}), 0)
        << err.str();
    const auto printed = lines();
    ASSERT_EQ(printed.size(), 5u) << out.str();
    const std::array<std::string, 4> pieces{text.substr(0, 10), text.substr(10, 10),
                                            text.substr(20), text.substr(0, 10)};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(modeRecord(0).netBytes));
        const std::vector<std::uint8_t> payload(pieces[i].begin(), pieces[i].end());
        buildDataFrame(payload, {.lastFrame = i == 3}, frame);
        std::ostringstream expected;
        expected << "frame " << i + 1 << " (transmission " << i / 2 + 1 << ", slot " << i % 2 + 1
                 << "): " << payload.size() << " payload bytes, CRC " << std::uppercase << std::hex
                 << std::setfill('0') << std::setw(2) << int{frame[11]} << ' ' << std::setw(2)
                 << int{frame[12]};
        EXPECT_EQ(printed[static_cast<std::size_t>(i)], expected.str());
    }
    EXPECT_EQ(samplesIn(path), 2 * transmissionSamples(0, 2) + 48000);
}

TEST_F(TxCommandTest, RandomPayloadsFollowTheSeed) {
    const auto read = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto a = dir / "a.wav";
    const auto b = dir / "b.wav";
    const auto c = dir / "c.wav";
    ASSERT_EQ(run({"--mode", "0", "--out", a.string(), "--random", "--seed", "7"}), 0);
    const std::string printedA = lines().front();
    ASSERT_EQ(run({"--mode", "0", "--out", b.string(), "--random", "--seed", "7"}), 0);
    EXPECT_EQ(lines().front(), printedA);
    ASSERT_EQ(run({"--mode", "0", "--out", c.string(), "--random", "--seed", "8"}), 0);
    EXPECT_NE(lines().front(), printedA);
    EXPECT_EQ(read(a), read(b));
    EXPECT_NE(read(a), read(c));
    EXPECT_NE(printedA.find("10 payload bytes"), std::string::npos) << "a full random payload";
}

TEST_F(TxCommandTest, BadInputGivesOneLineAndNoFile) {
    const auto outPath = (dir / "out.wav").string();
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string mentions;
    };
    const std::array cases{
        Case{"unknown mode", {"--mode", "15", "--out", outPath, "--random"}, "mode"},
        Case{"mode not a number", {"--mode", "eight", "--out", outPath, "--random"}, "mode"},
        Case{"unreadable payload",
             {"--mode", "8", "--out", outPath, "--payload", (dir / "none.bin").string()},
             "payload"},
        Case{"payload is a directory",
             {"--mode", "8", "--out", outPath, "--payload", dir.string()},
             "payload"},
        Case{"unwritable output",
             {"--mode", "8", "--out", (dir / "no" / "such" / "dir.wav").string(), "--random"},
             "cannot write"},
        Case{"output is a directory",
             {"--mode", "8", "--out", dir.string(), "--random"},
             "cannot write"},
        Case{"drive too high",
             {"--mode", "8", "--out", outPath, "--random", "--drive", "1"},
             "drive"},
        Case{"drive too low",
             {"--mode", "8", "--out", outPath, "--random", "--drive", "-31"},
             "drive"},
        Case{"count too small for the input",
             {"--mode", "0", "--out", outPath, "--text", std::string(25, 'x'), "--count", "2"},
             "--count"},
        Case{"no payload", {"--mode", "8", "--out", outPath}, "--random"},
        Case{"two payloads",
             {"--mode", "8", "--out", outPath, "--random", "--text", "a"},
             "only one"},
        Case{"unknown option", {"--mode", "8", "--out", outPath, "--random", "--fast"}, "--fast"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(run(c.args), 0);
        const std::string message = err.str();
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
        EXPECT_NE(message.find(c.mentions), std::string::npos) << message;
        EXPECT_TRUE(std::filesystem::is_empty(dir)) << "a file was left behind";
    }
}

}  // namespace
}  // namespace zolk::phytool
