#include "wav_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace zolk {
namespace {

struct WavShape {
    std::uint16_t format = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 48000;
    std::uint16_t bits = 16;
};

void put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(s, static_cast<std::uint16_t>(v >> 16));
}

// A WAV file with an extra chunk before the format, as some recorders write.
std::string wavBytes(const WavShape& shape, const std::vector<std::int16_t>& interleaved) {
    std::string fmt;
    put16(fmt, shape.format);
    put16(fmt, shape.channels);
    put32(fmt, shape.rate);
    put32(fmt, shape.rate * shape.channels * shape.bits / 8);
    put16(fmt, static_cast<std::uint16_t>(shape.channels * shape.bits / 8));
    put16(fmt, shape.bits);
    std::string data;
    for (auto v : interleaved) put16(data, static_cast<std::uint16_t>(v));
    std::string body = "WAVE";
    body += "LIST";
    put32(body, 3);
    body += std::string("abc") + '\0';  // odd-sized chunk, padded
    body += "fmt ";
    put32(body, static_cast<std::uint32_t>(fmt.size()));
    body += fmt;
    body += "data";
    put32(body, static_cast<std::uint32_t>(data.size()));
    body += data;
    std::string file = "RIFF";
    put32(file, static_cast<std::uint32_t>(body.size()));
    return file + body;
}

class WavReaderTest : public test::ScratchDirTest {
protected:
    std::filesystem::path write(const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::filesystem::path path = dir / "in.wav";
};

TEST_F(WavReaderTest, ReadsMonoAndTheLeftChannelOfStereo) {
    {
        WavReader reader(write(wavBytes({}, {1, -2, 32767, -32768, 5})));
        std::array<float, 4> block{};
        EXPECT_EQ(reader.read(block), 4u);
        EXPECT_EQ(block, (std::array<float, 4>{1.0f, -2.0f, 32767.0f, -32768.0f}));
        EXPECT_EQ(reader.read(block), 1u);
        EXPECT_EQ(block[0], 5.0f);
        EXPECT_EQ(reader.read(block), 0u);
    }
    WavShape stereo;
    stereo.channels = 2;
    WavReader reader(write(wavBytes(stereo, {10, 99, -20, 99, 30, 99})));
    std::array<float, 8> block{};
    EXPECT_EQ(reader.read(block), 3u);
    EXPECT_EQ(block[0], 10.0f);
    EXPECT_EQ(block[1], -20.0f);
    EXPECT_EQ(block[2], 30.0f);
}

TEST_F(WavReaderTest, RefusesWhatIsNotSixteenBitPcmAt48kHz) {
    struct Case { const char* name; std::string bytes; std::string reason; };
    WavShape rate;
    rate.rate = 44100;
    WavShape width;
    width.bits = 8;
    WavShape channels;
    channels.channels = 3;
    WavShape floats;
    floats.format = 3;
    const std::vector<Case> cases{
        {"wrong rate", wavBytes(rate, {0}), "44100 Hz, 48000 Hz needed"},
        {"wrong width", wavBytes(width, {0}), "8-bit samples, 16-bit needed"},
        {"three channels", wavBytes(channels, {0, 0, 0}), "3 channels, 1 or 2 needed"},
        {"float samples", wavBytes(floats, {0}), "not PCM audio"},
        {"text file", "hello, this is not audio at all", "not a WAV file"},
        {"empty file", "", "not a WAV file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            WavReader reader(write(c.bytes));
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos);
        }
    }
}

TEST_F(WavReaderTest, ChunkLongerThanTheFileIsNotReadAsFurtherChunks) {
    // An unknown chunk claiming 4 GiB - 1 bytes, holding what looks like a whole recording: the
    // chunk runs past the end of the file, so there is no format chunk and no audio.
    const std::string inner = wavBytes({}, {1, 2, 3, 4}).substr(12);  // the chunks after "WAVE"
    std::string body = "WAVE";
    body += "junk";
    put32(body, 0xFFFFFFFFu);
    body += inner;
    std::string bytes = "RIFF";
    put32(bytes, static_cast<std::uint32_t>(body.size()));
    bytes += body;
    try {
        WavReader reader(write(bytes));
        ADD_FAILURE() << "accepted, " << reader.frames() << " frames";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("no format chunk"), std::string::npos) << e.what();
    }
}

TEST_F(WavReaderTest, MissingFileIsReported) {
    EXPECT_THROW(WavReader(path / "missing.wav"), std::runtime_error);
}

TEST_F(WavReaderTest, DataCutShortEndsTheAudio) {
    std::string bytes = wavBytes({}, {1, 2, 3, 4});
    bytes.resize(bytes.size() - 3);  // half of the last sample and one whole sample gone
    WavReader reader(write(bytes));
    std::array<float, 8> block{};
    EXPECT_EQ(reader.read(block), 2u);
}

}  // namespace
}  // namespace zolk
