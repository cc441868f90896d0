// zolk-phy offset: a recording comes back as long as it went in with every tone moved by the
// offset and its level kept; bad arguments are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "subcommands.h"
#include "wav_reader.h"
#include "wav_writer.h"

namespace zolk::phytool {
namespace {

constexpr double kRate = 48000.0;

class OffsetCommandTest : public test::ScratchDirTest {
protected:
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        const std::vector<std::string_view> views(args.begin(), args.end());
        return runOffset(views, out, err);
    }

    std::ostringstream out;
    std::ostringstream err;
};

// Amplitude of the component at hz over samples [from, to), by a single-bin correlation.
double amplitudeAt(const std::vector<float>& x, double hz, std::size_t from, std::size_t to) {
    std::complex<double> sum;
    for (std::size_t i = from; i < to; ++i) {
        sum += static_cast<double>(x[i]) *
               std::polar(1.0, -2.0 * std::numbers::pi * hz * static_cast<double>(i) / kRate);
    }
    return 2.0 * std::abs(sum) / static_cast<double>(to - from);
}

TEST_F(OffsetCommandTest, MovesEveryToneByTheOffsetAndKeepsLengthAndLevel) {
    // Two tones of the modem's band, one second (whole cycles of every frequency below).
    constexpr std::size_t kLength = 48000;
    std::vector<std::int16_t> tones(kLength);
    for (std::size_t i = 0; i < kLength; ++i) {
        const double t = static_cast<double>(i) / kRate;
        tones[i] = static_cast<std::int16_t>(
            std::lround(6000.0 * std::sin(2.0 * std::numbers::pi * 700.0 * t) +
                        4000.0 * std::sin(2.0 * std::numbers::pi * 2300.0 * t)));
    }
    const auto sent = dir / "tones.wav";
    WavWriter writer(sent, 48000);
    writer.write(tones);
    writer.finish();

    struct Case {
        const char* hz;
        double shift;
    };
    for (const Case c : {Case{"15", 15.0}, Case{"-40", -40.0}, Case{"0", 0.0}}) {
        SCOPED_TRACE(c.hz);
        const auto moved = dir / "moved.wav";
        ASSERT_EQ(run({"--in", sent.string(), "--out", moved.string(), "--hz", c.hz}), 0)
            << err.str();
        WavReader wav(moved);
        ASSERT_EQ(wav.frames(), kLength);
        std::vector<float> x(kLength);
        ASSERT_EQ(wav.read(x), kLength);
        // Away from the edges, where the moved audio has no past or future to draw on.
        const std::size_t from = 4800;
        const std::size_t to = kLength - 4800;
        EXPECT_NEAR(amplitudeAt(x, 700.0 + c.shift, from, to), 6000.0, 30.0);
        EXPECT_NEAR(amplitudeAt(x, 2300.0 + c.shift, from, to), 4000.0, 30.0);
        if (c.shift != 0.0) {
            EXPECT_LT(amplitudeAt(x, 700.0, from, to), 100.0);
            EXPECT_LT(amplitudeAt(x, 2300.0, from, to), 100.0);
            // No mirror image below the tone, as a shift of the real signal would leave.
            EXPECT_LT(amplitudeAt(x, 700.0 - c.shift, from, to), 30.0);
        }
    }
}

TEST_F(OffsetCommandTest, RefusesBadArguments) {
    const std::string in = (dir / "in.wav").string();
    const std::string moved = (dir / "out.wav").string();
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--in", in, "--out", moved}, "--hz is required"},
        {{"--out", moved, "--hz", "10"}, "--in is required"},
        {{"--in", in, "--hz", "10"}, "--out is required"},
        {{"--in", in, "--out", moved, "--hz", "1500"}, "--hz must be a number of -1000..1000 Hz"},
        {{"--in", in, "--out", moved, "--hz", "ten"}, "--hz must be a number"},
        {{"--in", in, "--out", moved, "--hz", "5", "--gain", "2"}, "unknown option"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(run(c.args), 2);
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    }
    // A file that is not there is a failure of the run, not of the command line.
    EXPECT_EQ(run({"--in", in, "--out", moved, "--hz", "10"}), 1);
    EXPECT_FALSE(std::filesystem::exists(moved));
}

}  // namespace
}  // namespace zolk::phytool
