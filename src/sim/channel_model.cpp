#include "sim/channel_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace zolk::sim {
namespace {

constexpr double kSampleRateHz = 48000.0;
constexpr std::size_t kChunk = 256;  // scratch size: longer calls are cut into chunks

}  // namespace

double onAirPower(std::span<const float> audio) {
    const auto first = std::find_if(audio.begin(), audio.end(), [](float x) { return x != 0.0F; });
    if (first == audio.end()) return 0.0;
    const auto last = std::find_if(audio.rbegin(), audio.rend(), [](float x) { return x != 0.0F; }).base();
    double sum = 0.0;
    for (auto it = first; it != last; ++it) sum += static_cast<double>(*it) * *it;
    return sum / static_cast<double>(last - first);
}

double noiseVariance(double signalPower, double snrDb) {
    // SNR = Ps / (N0 * 2500) with N0 = sigma^2 / 24000.
    return signalPower * (kSampleRateHz / 2.0) / (kSnrBandwidthHz * std::pow(10.0, snrDb / 10.0));
}

ChannelModel::ChannelModel(const ChannelSettings& settings)
    : m_settings(settings),
      m_random(settings.seed),
      m_clock(settings.delayMs, settings.clockPpm),
      m_analytic(settings.offsetHz != 0.0 || settings.driftHzPerS != 0.0 || settings.fading.has_value()),
      m_real(kChunk),
      m_complex(kChunk) {
    if (!std::isfinite(settings.offsetHz) || !std::isfinite(settings.driftHzPerS)) {
        throw std::invalid_argument("frequency offset and drift must be finite numbers");
    }
    if (settings.snrDb) {
        if (!std::isfinite(*settings.snrDb)) throw std::invalid_argument("S/N must be a finite number of dB");
        if (!(settings.signalPower > 0.0)) {
            throw std::invalid_argument("noise at a given S/N needs the power of the sent signal");
        }
        m_noiseSigma = std::sqrt(noiseVariance(settings.signalPower, *settings.snrDb));
    }
    if (m_analytic) m_hilbert.emplace();
    if (settings.fading) m_fading.emplace(*settings.fading, m_random);
}

std::size_t ChannelModel::latency() const {
    return m_clock.latency() + (m_analytic ? HilbertTransformer::latency() : 0);
}

void ChannelModel::process(std::span<float> audio) {
    for (std::size_t start = 0; start < audio.size(); start += kChunk) {
        const std::size_t n = std::min(kChunk, audio.size() - start);
        const auto chunk = audio.subspan(start, n);
        const auto real = std::span(m_real).first(n);
        m_clock.process(chunk, real);
        if (m_analytic) {
            const auto analytic = std::span(m_complex).first(n);
            m_hilbert->process(real, analytic);
            if (m_fading) m_fading->process(analytic);
            for (std::size_t k = 0; k < n; ++k) {
                // Phase of offset + drift * t, integrated: f0 t + drift t^2 / 2 cycles.
                const double t = static_cast<double>(m_sample) / kSampleRateHz;
                const double cycles = m_settings.offsetHz * t + 0.5 * m_settings.driftHzPerS * t * t;
                const double angle = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
                const auto a = analytic[k];
                chunk[k] = static_cast<float>(a.real() * std::cos(angle) - a.imag() * std::sin(angle));
                ++m_sample;
            }
        } else {
            std::copy(real.begin(), real.end(), chunk.begin());
        }
        if (m_noiseSigma > 0.0) {
            for (auto& x : chunk) x += static_cast<float>(m_noiseSigma * m_random.next());
        }
    }
}

}  // namespace zolk::sim
