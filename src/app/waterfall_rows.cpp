#include "app/waterfall_rows.h"

#include <cmath>
#include <cstdlib>

#include "phy/common/window.h"

namespace zolk {
namespace {

// Black rows after a transmission has ended: the filters' tails and the first echoes of our own
// signal stay out of the picture.
constexpr std::uint8_t kBlankRowsAfterTransmit = 3;
// A row with nothing before it is scaled as if the previous row's bins had averaged about 200.
constexpr float kFirstNorm = 2000.0F;
constexpr float kNormFraction = 0.01F;
constexpr float kSampleRateHz = 3000.0F;

}  // namespace

WaterfallRows::WaterfallRows() { window(WindowType::Hann, m_window); }

bool WaterfallRows::push(Complex x) {
    m_ring[m_index] = x;
    m_index = (m_index + 1) % kWaterfallColumns;
    return m_index % kRowSamples == 0;
}

std::pair<int, int> WaterfallRows::markers(std::optional<float> sessionOffsetHz) {
    if (!sessionOffsetHz) return {kLeftMarker, kRightMarker};
    const auto r = static_cast<int>(
        std::nearbyint(*sessionOffsetHz * static_cast<float>(kWaterfallColumns) / kSampleRateHz));
    return {kLeftMarker - r, kRightMarker - r};
}

const std::array<std::uint32_t, kWaterfallColumns>& WaterfallRows::row(bool transmitActive,
                                                                        std::optional<float> sessionOffsetHz) {
    // Counted down before it is tested, so a transmitting row sets one more than the rows after.
    if (m_blankRows != 0) --m_blankRows;
    if (transmitActive) m_blankRows = kBlankRowsAfterTransmit + 1;
    m_row.fill(0);
    if (m_blankRows != 0) return m_row;

    // Oldest sample first: the write index points at it.
    for (std::size_t n = 0; n < kWaterfallColumns; ++n)
        m_spectrum[n] = m_ring[(m_index + n) % kWaterfallColumns] * m_window[n];
    m_fft.transform(m_spectrum);
    // A sum that is not a number (a sample that was not) restarts the scale like the first row.
    const float norm = m_previousSum > 0.0F && std::isfinite(m_previousSum)
                           ? m_previousSum * kNormFraction / static_cast<float>(kWaterfallColumns)
                           : kFirstNorm;
    m_previousSum = 0.0F;
    const auto [left, right] = markers(sessionOffsetHz);
    for (std::size_t n = kFirstColumn; n <= kLastColumn; ++n) {
        const int column = static_cast<int>(n);
        if (std::abs(column - left) <= 1 || std::abs(column - right) <= 1) {
            m_row[n] = kRed;
            continue;
        }
        const float magnitude = std::abs(m_spectrum[n]);
        m_previousSum += magnitude;
        const float c = magnitude / norm;
        const auto dark = c <= 255.0F ? static_cast<unsigned>(std::nearbyint(255.0F - c)) : 0U;
        m_row[n] = (255U - dark) << 8;
    }
    return m_row;
}

}  // namespace zolk
