// fft.h: the forward complex FFT and the real synthesis transform, one object per size.
// Owns its FFTW plan and aligned work buffers (made once at construction); callers own the data.
#pragma once

#include <cstddef>
#include <span>

#include "phy/common/complex_ops.h"

namespace zolk {

// Forward, unnormalised: X[k] = sum over n of x[n] exp(-j 2 pi k n / N).
class Fft {
public:
    explicit Fft(std::size_t size);  // throws std::invalid_argument unless a power of two >= 2
    ~Fft();
    Fft(Fft&& other) noexcept;
    Fft& operator=(Fft&& other) noexcept;
    Fft(const Fft&) = delete;
    Fft& operator=(const Fft&) = delete;

    std::size_t size() const { return m_size; }
    // In place; x.size() == size(). No allocation.
    void transform(std::span<Complex> x);

private:
    std::size_t m_size = 0;
    void* m_plan = nullptr;
    Complex* m_buffer = nullptr;
};

// The real time signal of a spectrum given by bins 0..N/2: the unnormalised inverse transform of
// its Hermitian completion, out[n] = sum over k of X[k] exp(+j 2 pi k n / N). A bin k of value
// A exp(j phi), 0 < k < N/2, yields 2 A cos(2 pi k n / N + phi). Bins 0 and N/2 contribute their
// real parts only, since a real signal cannot carry an imaginary part there.
class RealSynthesis {
public:
    explicit RealSynthesis(std::size_t size);  // throws std::invalid_argument as Fft
    ~RealSynthesis();
    RealSynthesis(RealSynthesis&& other) noexcept;
    RealSynthesis& operator=(RealSynthesis&& other) noexcept;
    RealSynthesis(const RealSynthesis&) = delete;
    RealSynthesis& operator=(const RealSynthesis&) = delete;

    std::size_t size() const { return m_size; }
    // bins.size() >= size()/2 + 1 (further entries are ignored), out.size() == size().
    void synthesize(std::span<const Complex> bins, std::span<float> out);

private:
    std::size_t m_size = 0;
    void* m_plan = nullptr;
    Complex* m_spectrum = nullptr;
    float* m_signal = nullptr;
};

}  // namespace zolk
