#include "wav_reader.h"

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace zolk {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

WavReader::WavReader(const std::filesystem::path& path) : m_file(path, std::ios::binary) {
    const std::string name = path.string();
    auto fail = [&name](const std::string& why) { throw std::runtime_error(name + ": " + why); };
    if (!m_file) fail("cannot be read");

    std::array<std::uint8_t, 12> riff{};
    if (!m_file.read(reinterpret_cast<char*>(riff.data()), riff.size()) ||
        std::string(riff.begin(), riff.begin() + 4) != "RIFF" || std::string(riff.begin() + 8, riff.end()) != "WAVE") {
        fail("not a WAV file");
    }
    bool haveFormat = false;
    for (;;) {
        std::array<std::uint8_t, 8> header{};
        if (!m_file.read(reinterpret_cast<char*>(header.data()), header.size())) {
            fail(haveFormat ? "no audio data" : "not a WAV file (no format chunk)");
        }
        const std::string id(header.begin(), header.begin() + 4);
        const std::uint32_t size = le32(header.data() + 4);
        if (id == "fmt ") {
            if (size < 16 || size > 1024) fail("damaged format chunk");
            std::vector<std::uint8_t> fmt(size);
            if (!m_file.read(reinterpret_cast<char*>(fmt.data()), size)) fail("damaged format chunk");
            std::uint16_t tag = le16(fmt.data());
            if (tag == kFormatExtensible && size >= 26) tag = le16(fmt.data() + 24);  // sub-format GUID
            m_channels = le16(fmt.data() + 2);
            const std::uint32_t rate = le32(fmt.data() + 4);
            const std::uint16_t bits = le16(fmt.data() + 14);
            if (tag != kFormatPcm) fail("not PCM audio (format " + std::to_string(tag) + ")");
            if (bits != 16) fail(std::to_string(bits) + "-bit samples, 16-bit needed");
            if (rate != kSampleRate_hz) fail(std::to_string(rate) + " Hz, 48000 Hz needed");
            if (m_channels != 1 && m_channels != 2) fail(std::to_string(m_channels) + " channels, 1 or 2 needed");
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) fail("audio data before the format chunk");
            m_frames = size / (2u * m_channels);
            m_framesLeft = m_frames;
            return;
        } else {
            // Chunks are padded to even length; summed wide, so a size near 4 GiB cannot wrap to
            // a short skip that would read the chunk's own bytes as further chunks.
            m_file.seekg(static_cast<std::streamoff>(size) + (size & 1u), std::ios::cur);
            if (!m_file) fail("damaged chunk '" + id + "'");
        }
    }
}

std::size_t WavReader::read(std::span<float> out) {
    std::size_t n = 0;
    const auto bytes = static_cast<std::streamsize>(2 * m_channels);
    while (n < out.size() && m_framesLeft > 0) {
        std::array<std::uint8_t, 4> raw{};
        // A data chunk cut short (a recording that was interrupted) simply ends the audio there.
        if (!m_file.read(reinterpret_cast<char*>(raw.data()), bytes)) {
            m_framesLeft = 0;
            break;
        }
        out[n++] = static_cast<float>(static_cast<std::int16_t>(le16(raw.data())));
        --m_framesLeft;
    }
    return n;
}

}  // namespace zolk
