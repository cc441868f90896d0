#include "sim/clock_resampler.h"

#include <bit>
#include <cmath>
#include <stdexcept>
#include <string>

namespace zolk::sim {
namespace {

constexpr std::int64_t kLookBehind = 2;  // interpolation points before the read position
constexpr std::int64_t kLookAhead = 3;   // and after it
constexpr double kReserveSeconds = 3600.0;
constexpr double kSampleRateHz = 48000.0;

}  // namespace

ClockResampler::ClockResampler(double delayMs, double ppm) : m_stretch(1.0 + ppm * 1e-6) {
    if (!(std::fabs(ppm) <= kMaxPpm)) {
        throw std::invalid_argument("clock offset " + std::to_string(ppm) + " ppm is outside +-1000 ppm");
    }
    if (!(delayMs >= 0.0 && delayMs <= kMaxDelayMs)) {
        throw std::invalid_argument("delay " + std::to_string(delayMs) + " ms is outside 0..10000 ms");
    }
    const double delaySamples = delayMs * kSampleRateHz / 1000.0;
    // Samples the sender runs ahead of the receiver (positive offset) or behind it (negative)
    // after an hour.
    const auto slip = static_cast<std::size_t>(std::ceil(std::fabs(ppm) * 1e-6 * kReserveSeconds * kSampleRateHz));
    m_exact = ppm == 0.0 && delaySamples == std::floor(delaySamples);
    if (!m_exact) m_latency = static_cast<std::size_t>(kLookAhead) + (ppm < 0.0 ? slip : 0);
    m_delay = delaySamples + static_cast<double>(m_latency);
    // The history holds the delay, the slip and a margin for the interpolator.
    m_ring.assign(std::bit_ceil(static_cast<std::size_t>(std::ceil(m_delay)) + slip + 64), 0.0F);
    m_mask = m_ring.size() - 1;
}

float ClockResampler::interpolate(double position) const {
    const double base = std::floor(position);
    const double frac = position - base;
    const auto first = static_cast<std::int64_t>(base) - kLookBehind;
    double sum = 0.0;
    for (std::int64_t i = 0; i < kLookBehind + kLookAhead + 1; ++i) {
        const std::int64_t index = first + i;
        if (index < 0) continue;  // before the first sample: silence
        // Lagrange weight of node i (nodes at -2..3 relative to base) at frac.
        double weight = 1.0;
        for (std::int64_t j = 0; j < kLookBehind + kLookAhead + 1; ++j) {
            if (j == i) continue;
            weight *= (frac - static_cast<double>(j - kLookBehind)) / static_cast<double>(i - j);
        }
        sum += weight * m_ring[static_cast<std::size_t>(index) & m_mask];
    }
    return static_cast<float>(sum);
}

void ClockResampler::process(std::span<const float> in, std::span<float> out) {
    for (std::size_t k = 0; k < in.size(); ++k) {
        m_ring[static_cast<std::size_t>(m_received) & m_mask] = in[k];
        ++m_received;
        const double position = static_cast<double>(m_produced) / m_stretch - m_delay;
        ++m_produced;
        if (m_exact) {
            const auto index = static_cast<std::int64_t>(position);
            out[k] = index >= 0 ? m_ring[static_cast<std::size_t>(index) & m_mask] : 0.0F;
        } else {
            out[k] = position > -static_cast<double>(kLookAhead) ? interpolate(position) : 0.0F;
        }
    }
}

}  // namespace zolk::sim
