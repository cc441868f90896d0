// wav_reader.h: reads 16-bit PCM WAV audio at 48000 Hz block by block, as the sound card delivers it.
// Owns the open file and its format checks; what the samples mean is the caller's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>

namespace zolk {

class WavReader {
public:
    static constexpr std::uint32_t kSampleRateHz = 48000;

    // Opens path and checks it is PCM (plain or extensible), 16 bits, 48000 Hz, mono or stereo.
    // Throws std::runtime_error with a one-line reason naming the file otherwise.
    explicit WavReader(const std::filesystem::path& path);

    // Fills out with the next samples of the first (left) channel as floats of the 16-bit values.
    // Returns how many were read; fewer than out.size() only at the end of the data.
    std::size_t read(std::span<float> out);

    std::uint16_t channels() const { return m_channels; }
    std::uint64_t frames() const { return m_frames; }

private:
    std::ifstream m_file;
    std::uint16_t m_channels = 0;
    std::uint64_t m_frames = 0;
    std::uint64_t m_framesLeft = 0;
};

}  // namespace zolk
