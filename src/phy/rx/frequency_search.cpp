#include "phy/rx/frequency_search.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace zolk {

namespace {

constexpr double kSampleRateHz = 3000.0;
constexpr std::size_t kSmallestBins = 16;

}  // namespace

FrequencySearchFrames::Size::Size(std::size_t binCount, std::size_t frameCount) : bins(binCount), fft(binCount) {
    for (std::size_t h = 0; h < kSearchShiftsHz.size(); ++h) {
        turns[h].resize(bins);
        for (std::size_t n = 0; n < bins; ++n) {
            const double phase =
                -2.0 * std::numbers::pi * kSearchShiftsHz[h] * static_cast<double>(n) / kSampleRateHz;
            turns[h][n] = {static_cast<float>(std::cos(phase)), static_cast<float>(std::sin(phase))};
        }
        rings[h].resize(frameCount * bins);
        views[h] = {kSearchShiftsHz[h], rings[h], bins, frameCount, 0};
    }
}

FrequencySearchFrames::FrequencySearchFrames(std::size_t frameRingLength) {
    if (frameRingLength == 0 || frameRingLength % (kMaxSearchBins / kSmallestBins) != 0) {
        throw std::invalid_argument("FrequencySearchFrames: a frame ring of a multiple of 4 frames");
    }
    m_sizes.reserve(kSearchFrameBins.size());
    for (const std::size_t bins : kSearchFrameBins) {
        m_sizes.emplace_back(bins, frameRingLength * kSmallestBins / bins);
    }
}

std::size_t FrequencySearchFrames::indexOf(std::size_t bins) const {
    const auto it =
        std::find_if(m_sizes.begin(), m_sizes.end(), [bins](const Size& s) { return s.bins == bins; });
    return static_cast<std::size_t>(it - m_sizes.begin());
}

void FrequencySearchFrames::store(std::span<const Complex> window) {
    const std::size_t i = indexOf(window.size());
    if (i == m_sizes.size()) return;
    Size& size = m_sizes[i];
    const std::span<Complex> work(m_work.data(), size.bins);
    for (std::size_t h = 0; h < kSearchShiftsHz.size(); ++h) {
        ShiftedFrames& view = size.views[h];
        view.newest = (view.newest + 1) % view.frames;
        for (std::size_t n = 0; n < size.bins; ++n) work[n] = complexMul(window[n], size.turns[h][n]);
        size.fft.transform(work);
        std::copy(work.begin(), work.end(),
                  size.rings[h].begin() + static_cast<std::ptrdiff_t>(view.newest * size.bins));
    }
}

std::span<const ShiftedFrames> FrequencySearchFrames::frames(std::size_t bins) const {
    const std::size_t i = indexOf(bins);
    if (i == m_sizes.size()) return {};
    return m_sizes[i].views;
}

}  // namespace zolk
