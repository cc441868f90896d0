// busy_detector.h: finds other signals in the receive passband while no link is up, from the
// front-end's complex baseband, one block of 128 samples (42.7 ms) at a time.
// Owns the block, its transform and the counters; whether it runs, what the window shows and what
// the host is told belong to the station.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "phy/common/complex_ops.h"
#include "phy/common/fft.h"

namespace zolk {

inline constexpr std::size_t kBusyBlockSamples = 128;
// Bins 12..116 of the block's transform: 281..2719 Hz of the 3000 Hz baseband.
inline constexpr std::size_t kBusyFirstBin = 12;
inline constexpr std::size_t kBusyBins = 105;
// The floor is first estimated from this many of the weakest bins.
inline constexpr std::size_t kBusyFloorSeedBins = 7;
// A bin this many times above the floor estimate is a signal.
inline constexpr float kBusyFloorFactor = 23.0f;
// Every third block is tested (about 7.8 tests per second).
inline constexpr int kBusyTestInterval = 3;
// Blocks without a detection before the channel is free again (7.04 s).
inline constexpr int kBusyReleaseBlocks = 165;
// No test at or below this input level: the receiver hears too little to judge.
inline constexpr float kBusyLevelGateDb = -40.0f;

// Whether some bin stands more than kBusyFloorFactor times above the noise floor. The floor is
// the mean of the weakest bins, grown by taking every bin within the factor of it until no more
// join. work: scratch of powers.size() entries (the powers are sorted into it). A spectrum of
// zeros is no signal.
bool signalAboveFloor(std::span<const float> powers, std::span<float> work);

// What a completed block showed: nothing new, a signal, or the end of the release time.
enum class BusyVerdict : std::uint8_t { None, Busy, Free };

class BusyDetector {
public:
    BusyDetector();

    // One baseband sample (3000 per second). inputLevelDb: the input level the level gauge shows
    // now. Returns the verdict when this sample completes a block, else None. No allocation.
    BusyVerdict push(Complex z, float inputLevelDb);
    // A fresh block and fresh counters, as after the detector was paused.
    void restart();

    // Blocks since the last detection, modulo kBusyReleaseBlocks.
    int freeCount() const { return m_freeCount; }

private:
    Fft m_fft;
    std::array<Complex, kBusyBlockSamples> m_block{};
    std::array<float, kBusyBins> m_powers{};
    std::array<float, kBusyBins> m_work{};
    std::size_t m_position = 0;
    int m_freeCount = 0;
    int m_testPhase = 0;
};

}  // namespace zolk
