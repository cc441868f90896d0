// waterfall_rows.h: the waterfall's rows from the receive front-end's baseband samples: every 512
// samples (about 5.9 rows a second) a Hann-windowed 1024-point spectrum of the newest 1024
// samples becomes one row of green pixels, normalised by the previous row, with two red marker
// columns at the edges of the receive band that follow the AFC. While the station transmits, and
// for three rows after, the rows are black. Owns the sample ring, the window and the transform.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "phy/common/complex_ops.h"
#include "phy/common/fft.h"
#include "ports/ui_sink.h"

namespace zolk {

class WaterfallRows {
public:
    static constexpr std::size_t kRowSamples = 512;
    // Marker columns with no link: about 352 Hz and 2602 Hz.
    static constexpr int kLeftMarker = 120;
    static constexpr int kRightMarker = 888;
    // Columns drawn; the rest (the band's very edges) stay black.
    static constexpr std::size_t kFirstColumn = 51;
    static constexpr std::size_t kLastColumn = 990;
    static constexpr std::uint32_t kRed = 0xFF0000;

    WaterfallRows();
    // Stores one sample; true when a row is due (every 512th sample).
    bool push(Complex x);
    // The row of the newest 1024 samples. sessionOffsetHz: the receive frequency correction while
    // a link or call is under way (the markers move against it), nothing without one.
    const std::array<std::uint32_t, kWaterfallColumns>& row(bool transmitActive, std::optional<float> sessionOffsetHz);
    // The marker columns for a receive correction (the plain ones with none).
    static std::pair<int, int> markers(std::optional<float> sessionOffsetHz);

private:
    std::array<Complex, kWaterfallColumns> m_ring{};
    std::size_t m_index = 0;
    std::array<float, kWaterfallColumns> m_window{};
    std::array<Complex, kWaterfallColumns> m_spectrum{};
    std::array<std::uint32_t, kWaterfallColumns> m_row{};
    Fft m_fft{kWaterfallColumns};
    std::uint8_t m_blankRows = 0;
    float m_previousSum = 0.0F;
};

}  // namespace zolk
