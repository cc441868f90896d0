#include "phy/tx/symbol_synthesis.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace zolk {

float levelGain(float crestDb, std::int16_t txDriveLevelDb) {
    const double m = (10.0 - crestDb) / 5.0 + (crestDb + 2.0) - txDriveLevelDb;
    return static_cast<float>(std::pow(10.0, -m / 20.0));
}

void hardClip(std::span<float> samples) {
    for (float& s : samples) {
        s = std::clamp(s, -1.0f, 1.0f);
    }
}

void toRingSamples(std::span<const float> samples, std::span<std::int16_t> ring) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
        // Default rounding mode: to nearest, ties to even.
        ring[i] = static_cast<std::int16_t>(std::nearbyint(samples[i] * 32767.0f));
    }
}

ToneBlockSynthesizer::ToneBlockSynthesizer()
    : m_transform(kToneBlockSamples), m_spectrum(kToneBlockSamples / 2 + 1) {}

void ToneBlockSynthesizer::synthesize(std::span<const Complex> bins, std::int16_t txDriveLevelDb,
                                      std::span<float> out) {
    std::copy_n(bins.begin(), kToneBlockBins, m_spectrum.begin());
    m_transform.synthesize(m_spectrum, out);
    // The tone blocks share the level rule of the data symbols with a crest allowance of 3 dB.
    const float gain = levelGain(3.0f, txDriveLevelDb) / std::numbers::sqrt2_v<float>;
    for (float& s : out) {
        s *= gain;
    }
    hardClip(out);
}

CarrierSymbolSynthesizer::CarrierSymbolSynthesizer()
    : m_transforms{RealSynthesis(256), RealSynthesis(512), RealSynthesis(1024)},
      m_spectrum(1024 / 2 + 1),
      m_body(1024) {}

void CarrierSymbolSynthesizer::start(const CarrierSymbolShape& shape) {
    m_transform = nullptr;
    for (RealSynthesis& t : m_transforms) {
        if (static_cast<int>(t.size()) == shape.transformSize) {
            m_transform = &t;
        }
    }
    if (m_transform == nullptr || shape.binsPerSymbol > shape.transformSize / 2 ||
        shape.guardLength < 0 || shape.crossfadeLength < 1 || shape.crossfadeLength > kMaxFade ||
        shape.crossfadeLength > shape.transformSize) {
        throw std::invalid_argument("no carrier symbol synthesis for this mode's shape");
    }
    m_shape = shape;
    const int w = shape.crossfadeLength;
    for (int i = 1; i <= w; ++i) {
        m_fadeOut[i - 1] =
            static_cast<float>((std::cos((i - 0.5) * std::numbers::pi / w) + 1.0) / 2.0);
    }
    for (int j = 1; j <= w; ++j) {
        m_fadeIn[j - 1] = m_fadeOut[w - j];
    }
    m_overlap.fill(0.0f);
    std::fill(m_spectrum.begin(), m_spectrum.end(), Complex{});
}

void CarrierSymbolSynthesizer::synthesize(std::span<const Complex> bins,
                                          std::int16_t txDriveLevelDb, std::span<float> out) {
    const int n = m_shape.transformSize;
    const int g = m_shape.guardLength;
    const int w = m_shape.crossfadeLength;
    std::copy_n(bins.begin(), m_shape.binsPerSymbol, m_spectrum.begin());
    const auto body = std::span(m_body).first(n);
    m_transform->synthesize(std::span(m_spectrum).first(n / 2 + 1), body);
    for (int k = 0; k < n; ++k) {
        out[g + k] = body[k] / m_shape.amplitudeDivisor;
    }
    for (int i = 0; i < g; ++i) {
        out[i] = out[i + n];
    }
    if (m_shape.crossfade) {
        std::array<float, kMaxFade> start{};
        std::copy_n(out.begin() + g, w, start.begin());
        for (int k = 0; k < w; ++k) {
            out[k] = m_fadeOut[k] * m_overlap[k] + m_fadeIn[k] * out[k];
        }
        m_overlap = start;
    }
    const float gain = levelGain(m_shape.crestDb, txDriveLevelDb);
    for (float& s : out) {
        s *= gain;
    }
    hardClip(out);
}

void CarrierSymbolSynthesizer::fadeOutEnd(std::span<float> out) const {
    const int w = m_shape.crossfadeLength;
    const std::size_t first = out.size() - static_cast<std::size_t>(w);
    for (int i = 0; i < w; ++i) {
        out[first + i] *= m_fadeOut[i];
    }
}

}  // namespace zolk
