// wav_writer.h: writes a mono 16-bit PCM WAV file, streaming, with no partial file left behind.
// Owns the file format and the temporary file; the samples and their meaning come from the caller.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

namespace zolk {

class WavWriter {
public:
    // Opens a temporary file beside path; the WAV appears under path only when finish() succeeds.
    // Throws std::runtime_error naming the path when it cannot be created.
    WavWriter(std::filesystem::path path, std::uint32_t sampleRateHz);
    // Removes the temporary file when finish() was not reached (an error on the way).
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    void write(std::span<const std::int16_t> samples);
    void writeSilence(std::size_t count);
    // Completes the header and moves the file into place; throws std::runtime_error on failure.
    void finish();

    std::uint64_t sampleCount() const { return m_samples; }

private:
    void writeHeader(std::uint32_t dataBytes);
    void check(const char* what);

    std::filesystem::path m_path;
    std::filesystem::path m_temporary;
    std::ofstream m_file;
    std::uint32_t m_sampleRateHz;
    std::uint64_t m_samples = 0;
    bool m_finished = false;
};

}  // namespace zolk
