// virtual_time.h: the harness's clock unit: audio samples at 48000 Hz since the run began.
// Plain arithmetic only; the harness owns the clock itself.
#pragma once

#include <chrono>
#include <cstdint>

namespace zolk::sim {

using SampleTime = std::int64_t;

inline constexpr SampleTime kSampleRate = 48000;
inline constexpr SampleTime kSamplesPerMs = kSampleRate / 1000;
inline constexpr SampleTime kBlockSamples = 256;  // one capture or playback block, 16/3 ms

constexpr SampleTime toSamples(std::chrono::milliseconds interval) { return interval.count() * kSamplesPerMs; }
constexpr double toMs(SampleTime samples) { return static_cast<double>(samples) / kSamplesPerMs; }

}  // namespace zolk::sim
