// hilbert_transformer.h: turns a real 48000 Hz audio stream into its analytic signal, streaming.
// Owns the filter, its FFT and the overlap-save buffers; callers own the samples.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "phy/common/complex_ops.h"
#include "phy/common/fft.h"

namespace zolk::sim {

// A linear-phase FIR of kTaps taps (Kaiser window, beta 9) whose real part is a pure delay and whose
// imaginary part is the Hilbert transformer, run by FFT overlap-save. Its gain is flat to about
// 1e-4 from 70 Hz up to 23.9 kHz, so a modem band of 150..2900 Hz comes out with its negative
// frequencies suppressed by more than 70 dB. An FIR of this length costs 1024 multiply-adds per
// sample when run directly; the FFT does it for about a tenth of that.
class HilbertTransformer {
public:
    static constexpr std::size_t kTaps = 2047;
    static constexpr std::size_t kFftSize = 4096;
    static constexpr std::size_t kHop = 2048;  // new samples per FFT: kFftSize - kTaps + 1 at most

    HilbertTransformer();

    // Samples from input to analytic output: the filter's group delay plus the hop buffering.
    static constexpr std::size_t latency() { return (kTaps - 1) / 2 + kHop; }

    // One analytic sample per real input sample, latency() samples late (zeros at first).
    void process(std::span<const float> in, std::span<Complex> out);

private:
    Fft m_fft;
    std::vector<Complex> m_response;   // the filter's spectrum, scaled by 1/kFftSize
    std::vector<Complex> m_work;       // kFftSize
    std::vector<float> m_history;      // last kFftSize input samples, newest at the end
    std::vector<Complex> m_ready;      // kHop analytic samples waiting to be handed out
    std::size_t m_filled = 0;          // new input samples in m_history since the last FFT
    std::size_t m_readyPos = 0;        // next sample of m_ready to hand out
};

}  // namespace zolk::sim
