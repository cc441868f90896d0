// clock_resampler.h: a fixed delay and a sample-clock offset between sender and receiver, streaming.
// Owns the input history and the receiver's sample count; callers own the samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zolk::sim {

// Receiver sample n is read from sender time n / (1 + ppm * 1e-6) - delay, interpolated with a
// 6-point Lagrange polynomial (error below -80 dB for audio under 3 kHz at 48000 Hz). Positive ppm:
// the receiver's clock runs fast, so a transmission of L samples arrives as L * (1 + ppm * 1e-6).
// With no offset and a whole-sample delay the samples pass unchanged.
class ClockResampler {
public:
    static constexpr double kMaxPpm = 1000.0;
    static constexpr double kMaxDelayMs = 10000.0;

    // Throws std::invalid_argument for |ppm| > kMaxPpm or a delay outside 0..kMaxDelayMs.
    ClockResampler(double delayMs, double ppm);

    // Samples added beyond the requested delay at the start: the interpolator's look-ahead and,
    // for a negative offset (the receiver consuming faster than the sender supplies), enough
    // reserve for an hour of audio.
    std::size_t latency() const { return m_latency; }

    void process(std::span<const float> in, std::span<float> out);

private:
    float interpolate(double position) const;

    double m_stretch;    // 1 + ppm * 1e-6
    double m_delay;      // requested delay plus latency, in sender samples
    bool m_exact;        // no offset and a whole-sample delay: plain copy from the history
    std::size_t m_latency = 0;
    std::vector<float> m_ring;  // sender samples, indexed by absolute sample number & m_mask
    std::size_t m_mask = 0;
    std::int64_t m_received = 0;  // sender samples stored so far
    std::int64_t m_produced = 0;  // receiver samples handed out so far
};

}  // namespace zolk::sim
