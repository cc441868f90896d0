#include "wav_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "support/scratch_dir.h"
#include "wav_reader.h"

namespace zolk {
namespace {

class WavWriterTest : public test::ScratchDirTest {
protected:
    std::size_t filesInDir() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                      std::filesystem::directory_iterator()));
    }
};

TEST_F(WavWriterTest, WritesMono16BitAudioThatReadsBack) {
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 3000; ++i) {
        samples.push_back(static_cast<std::int16_t>((i * 37) % 65536 - 32768));
    }
    samples.push_back(32767);
    samples.push_back(-32767);
    const auto path = dir / "out.wav";
    {
        WavWriter wav(path, 48000);
        wav.write(std::span(samples).first(1000));
        wav.writeSilence(700);
        wav.write(std::span(samples).subspan(1000));
        wav.finish();
        EXPECT_EQ(wav.sampleCount(), samples.size() + 700);
    }
    EXPECT_EQ(std::filesystem::file_size(path), 44 + 2 * (samples.size() + 700));
    WavReader reader(path);
    EXPECT_EQ(reader.channels(), 1);
    ASSERT_EQ(reader.frames(), samples.size() + 700);
    std::vector<float> back(samples.size() + 700);
    ASSERT_EQ(reader.read(back), back.size());
    for (std::size_t i = 0; i < back.size(); ++i) {
        const float expected = i < 1000 ? samples[i] : i < 1700 ? 0.0f : samples[i - 700];
        ASSERT_EQ(back[i], expected) << i;
    }
    EXPECT_EQ(filesInDir(), 1u) << "the temporary file is gone";
}

TEST_F(WavWriterTest, LeavesNoFileWhenNotFinished) {
    const auto path = dir / "abandoned.wav";
    {
        WavWriter wav(path, 48000);
        wav.writeSilence(100);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(filesInDir(), 0u);
}

TEST_F(WavWriterTest, RefusesPathsThatCannotBeWritten) {
    EXPECT_THROW(WavWriter(dir / "missing" / "out.wav", 48000), std::runtime_error);
    EXPECT_THROW(WavWriter(dir, 48000), std::runtime_error);
    EXPECT_EQ(filesInDir(), 0u);
}

}  // namespace
}  // namespace zolk
