#include "sim/hilbert_transformer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zolk::sim {
namespace {

constexpr double kKaiserBeta = 9.0;

double kaiser(std::size_t n, std::size_t length) {
    const double ratio = 2.0 * static_cast<double>(n) / static_cast<double>(length - 1) - 1.0;
    return std::cyl_bessel_i(0.0, kKaiserBeta * std::sqrt(1.0 - ratio * ratio)) /
           std::cyl_bessel_i(0.0, kKaiserBeta);
}

}  // namespace

HilbertTransformer::HilbertTransformer()
    : m_fft(kFftSize),
      m_response(kFftSize),
      m_work(kFftSize),
      m_history(kFftSize, 0.0F),
      m_ready(kHop),
      m_readyPos(0) {
    constexpr std::size_t kCenter = (kTaps - 1) / 2;
    for (std::size_t n = 0; n < kTaps; ++n) {
        const auto m = static_cast<long>(n) - static_cast<long>(kCenter);
        double imag = 0.0;
        if (m % 2 != 0) imag = 2.0 / (std::numbers::pi * static_cast<double>(m)) * kaiser(n, kTaps);
        const double real = m == 0 ? 1.0 : 0.0;
        m_response[n] = Complex(static_cast<float>(real / kFftSize), static_cast<float>(imag / kFftSize));
    }
    m_fft.transform(m_response);
    // Nothing is ready before the first hop has been filtered: hand out zeros until then.
    std::fill(m_ready.begin(), m_ready.end(), Complex{});
}

void HilbertTransformer::process(std::span<const float> in, std::span<Complex> out) {
    for (std::size_t i = 0; i < in.size(); ++i) {
        m_history[kFftSize - kHop + m_filled] = in[i];
        ++m_filled;
        out[i] = m_ready[m_readyPos++];
        if (m_filled < kHop) continue;
        // Overlap-save: filter the last kFftSize inputs, keep the kHop outputs free of wrap-around.
        // The inverse transform is the forward one of the conjugate, conjugated.
        for (std::size_t k = 0; k < kFftSize; ++k) m_work[k] = Complex(m_history[k], 0.0F);
        m_fft.transform(m_work);
        for (std::size_t k = 0; k < kFftSize; ++k) m_work[k] = std::conj(m_work[k] * m_response[k]);
        m_fft.transform(m_work);
        for (std::size_t k = 0; k < kHop; ++k) m_ready[k] = std::conj(m_work[kFftSize - kHop + k]);
        std::copy(m_history.begin() + kHop, m_history.end(), m_history.begin());
        m_filled = 0;
        m_readyPos = 0;
    }
}

}  // namespace zolk::sim
