#include "wav_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace zolk {

namespace {

constexpr std::uint32_t kHeaderBytes = 44;
// The RIFF size fields are 32 bits wide.
constexpr std::uint64_t kMaxDataBytes = std::numeric_limits<std::uint32_t>::max() - kHeaderBytes;

void putU16(std::ofstream& out, std::uint16_t v) {
    const std::array<char, 2> b{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out.write(b.data(), b.size());
}

void putU32(std::ofstream& out, std::uint32_t v) {
    putU16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    putU16(out, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

WavWriter::WavWriter(std::filesystem::path path, std::uint32_t sampleRateHz)
    : m_path(std::move(path)), m_sampleRateHz(sampleRateHz) {
    m_temporary = m_path;
    m_temporary += ".partial";
    if (std::filesystem::is_directory(m_path)) {
        throw std::runtime_error("cannot write " + m_path.string() + ": it is a directory");
    }
    m_file.open(m_temporary, std::ios::binary | std::ios::trunc);
    if (!m_file) {
        throw std::runtime_error("cannot write " + m_path.string() + ": " +
                                 std::generic_category().message(errno));
    }
    writeHeader(0);
    check("writing the header");
}

WavWriter::~WavWriter() {
    if (!m_finished) {
        m_file.close();
        std::error_code ignored;
        std::filesystem::remove(m_temporary, ignored);
    }
}

void WavWriter::write(std::span<const std::int16_t> samples) {
    if ((m_samples + samples.size()) * 2 > kMaxDataBytes) {
        throw std::runtime_error("cannot write " + m_path.string() + ": more than 4 GB of audio");
    }
    // Little-endian on every host, converted in chunks so that a long file is written quickly.
    std::array<char, 2048> bytes;
    std::size_t done = 0;
    while (done < samples.size()) {
        const std::size_t n = std::min(samples.size() - done, bytes.size() / 2);
        for (std::size_t i = 0; i < n; ++i) {
            const auto v = static_cast<std::uint16_t>(samples[done + i]);
            bytes[2 * i] = static_cast<char>(v & 0xFF);
            bytes[2 * i + 1] = static_cast<char>(v >> 8);
        }
        m_file.write(bytes.data(), static_cast<std::streamsize>(2 * n));
        done += n;
    }
    m_samples += samples.size();
    check("writing samples");
}

void WavWriter::writeSilence(std::size_t count) {
    constexpr std::array<std::int16_t, 512> kZeros{};
    while (count > 0) {
        const std::size_t n = std::min(count, kZeros.size());
        write(std::span(kZeros).first(n));
        count -= n;
    }
}

void WavWriter::finish() {
    m_file.seekp(0);
    writeHeader(static_cast<std::uint32_t>(m_samples * 2));
    m_file.close();
    check("closing the file");
    std::error_code error;
    std::filesystem::rename(m_temporary, m_path, error);
    if (error) {
        throw std::runtime_error("cannot write " + m_path.string() + ": " + error.message());
    }
    m_finished = true;
}

void WavWriter::writeHeader(std::uint32_t dataBytes) {
    constexpr std::uint16_t kChannels = 1;
    constexpr std::uint16_t kBitsPerSample = 16;
    constexpr std::uint16_t kBlockAlign = kChannels * kBitsPerSample / 8;
    m_file.write("RIFF", 4);
    putU32(m_file, kHeaderBytes - 8 + dataBytes);
    m_file.write("WAVEfmt ", 8);
    putU32(m_file, 16);
    putU16(m_file, 1);  // PCM
    putU16(m_file, kChannels);
    putU32(m_file, m_sampleRateHz);
    putU32(m_file, m_sampleRateHz * kBlockAlign);
    putU16(m_file, kBlockAlign);
    putU16(m_file, kBitsPerSample);
    m_file.write("data", 4);
    putU32(m_file, dataBytes);
}

void WavWriter::check(const char* what) {
    if (!m_file) {
        throw std::runtime_error("cannot write " + m_path.string() + ": failed while " + what);
    }
}

}  // namespace zolk
