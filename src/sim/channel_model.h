// channel_model.h: the satellite path between two stations' audio: delay, clock offset, fading,
// frequency offset with drift and white noise at a given S/N. Owns its own random source and every
// buffer; the caller owns the audio and says how strong the transmitted signal is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "sim/channel.h"
#include "sim/clock_resampler.h"
#include "sim/gaussian_noise.h"
#include "sim/hilbert_transformer.h"
#include "sim/watterson_fading.h"

namespace zolk::sim {

// S/N is quoted as the modem's gauge quotes it, in a 2500 Hz noise bandwidth:
// SNR = Ps / (N0 * 2500), N0 = sigma^2 / 24000 for real noise of variance sigma^2 at 48000 Hz.
inline constexpr double kSnrBandwidthHz = 2500.0;

struct ChannelSettings {
    double delayMs = 0.0;
    double offsetHz = 0.0;         // frequency shift at the channel's first sample
    double driftHzPerS = 0.0;      // change of that shift per second
    double clockPpm = 0.0;         // receiver clock against sender clock; positive stretches
    std::optional<FadingSettings> fading = std::nullopt;
    std::optional<double> snrDb = std::nullopt;  // no noise without it
    double signalPower = 0.0;      // Ps: mean power of the sent audio on air (see onAirPower)
    std::uint64_t seed = 1;
};

// Mean power of a transmission over its on-air part, from the first to the last sample that is
// not zero: the lead-in and the symbols count, the silence before and after does not.
// 0 for audio that is all silence.
double onAirPower(std::span<const float> audio);

// Variance of the real white noise at 48000 Hz that puts a signal of power signalPower at snrDb.
double noiseVariance(double signalPower, double snrDb);

// Processing order: delay and clock offset on the real audio; then, when a frequency offset, drift
// or fading is set, the analytic signal (Hilbert transformer), the two fading paths and the
// frequency shift, and back to the real part (what an SSB transponder does to the audio); then the
// noise. Deterministic for a given seed. Per-block processing does not allocate.
class ChannelModel final : public ChannelStage {
public:
    // Throws std::invalid_argument for settings out of range (noise without a positive signal
    // power, a non-finite S/N, or what the delay, clock and fading stages refuse).
    explicit ChannelModel(const ChannelSettings& settings);

    // Samples the model adds beyond the requested delay (clock interpolator and Hilbert filter).
    std::size_t latency() const;

    void process(std::span<float, kBlockSamples> block) override { process(std::span<float>(block)); }
    // Any length, in place; consecutive calls continue the same stream.
    void process(std::span<float> audio);

private:
    ChannelSettings m_settings;
    GaussianNoise m_random;
    ClockResampler m_clock;
    bool m_analytic;
    std::optional<HilbertTransformer> m_hilbert;
    std::optional<WattersonFading> m_fading;
    double m_noiseSigma = 0.0;
    std::int64_t m_sample = 0;  // analytic-stage samples processed, for the shift's phase
    std::vector<float> m_real;  // kBlockSamples scratch for the clock stage
    std::vector<Complex> m_complex;
};

}  // namespace zolk::sim
