// frequency_search.h: FFT frames of the corrected signal as they would look with the carrier a
// little off, so that the detectors can also find a first frame that arrives between two bins
// before the AFC has heard anything. A carrier a third of a bin off keeps only 71 % of its power in
// its bin and leaks the rest onto its neighbours, where the other carriers sit; one of the shifted
// frames meets such a frame within a sixth of a bin. Owns the shifted rings, their transforms and
// mixers; which frame is kept and what follows a detection belong to the detectors.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/fft.h"

namespace zolk {

// The carrier errors the detectors try besides none: a third of the 46.875 Hz bin of the 64-bin
// modes either way, so that a carrier up to 23.4 Hz off meets one of the three within 7.8 Hz.
inline constexpr std::array<float, 2> kSearchShiftsHz{-15.625f, 15.625f};

// The FFT sizes whose frames are also taken shifted. The 16-bin mode's 187.5 Hz bin is wide
// enough: 20 Hz is a ninth of it.
inline constexpr std::array<std::size_t, 2> kSearchFrameBins{32, 64};
inline constexpr std::size_t kMaxSearchBins = 64;

// One ring of FFT frames taken as if the carrier were shiftHz off: the signal is turned by -shiftHz
// within each frame before the transform. A turn that starts afresh in every frame leaves the
// carriers' turn from frame to frame as it is, so the header turns still measure the whole error.
struct ShiftedFrames {
    float shiftHz = 0.0f;
    std::span<const Complex> cells;  // frame w, bin k at w x bins + k
    std::size_t bins = 0;
    std::size_t frames = 0;          // ring length
    std::size_t newest = 0;          // the frame stored last
    // Bin k of the frame `back` frames before the newest (back < frames).
    Complex cell(std::size_t back, std::size_t bin) const {
        return cells[((newest + frames - back) % frames) * bins + bin];
    }
};

class FrequencySearchFrames {
public:
    // frameRingLength: the length of the front-end's ring of FFT frames, a multiple of 4. Every
    // shifted ring holds frameRingLength x 16 cells: the same 5.1 s of signal in every FFT size
    // (frames lie bins / 8 samples apart), longer than any frame's header span.
    explicit FrequencySearchFrames(std::size_t frameRingLength);

    // The FFT frame the front-end has just taken: window, the newest bins samples (16, 32 or 64)
    // of the corrected ring, stored after the last one of its size. Sizes outside
    // kSearchFrameBins are not kept. Does not allocate.
    void store(std::span<const Complex> window);

    // The shifted rings of one FFT size, one per kSearchShiftsHz; none for a size not kept.
    std::span<const ShiftedFrames> frames(std::size_t bins) const;

private:
    struct Size {
        Size(std::size_t binCount, std::size_t frameCount);
        std::size_t bins;
        Fft fft;
        std::array<std::vector<Complex>, kSearchShiftsHz.size()> turns;  // e^(-j 2 pi shift n / 3000)
        std::array<std::vector<Complex>, kSearchShiftsHz.size()> rings;
        std::array<ShiftedFrames, kSearchShiftsHz.size()> views;          // of rings
    };

    // Index of the size in m_sizes; m_sizes.size() when it is not kept.
    std::size_t indexOf(std::size_t bins) const;

    std::vector<Size> m_sizes;
    std::array<Complex, kMaxSearchBins> m_work{};
};

}  // namespace zolk
