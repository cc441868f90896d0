// receive_filters.h: the two decimating FIR filters of the receive path and their design routine.
// Owns each filter's delay line; the caller decides when an output is due (decimation).
#pragma once

#include <array>
#include <cstddef>

#include "phy/common/complex_ops.h"

namespace zolk {

inline constexpr std::size_t kReceiveFilterTaps = 41;

using ReceiveFilterTaps = std::array<Complex, kReceiveFilterTaps>;

// Complex band-pass FIR with pass band [a, b] (fractions of the sample rate), Hamming-windowed.
// Its real parts alone form a real low-pass with cut-off b when a = 0.
ReceiveFilterTaps designComplexBandPass(double a, double b);

// A 41-entry circular line. push() stores and advances; the outputs are formed only on demand,
// walking from the oldest value with tap 0, so a decimating caller pays only for the outputs it keeps.
class DecimatingFir {
public:
    explicit DecimatingFir(const ReceiveFilterTaps& taps) : m_taps(taps) {}

    void push(float x) {
        m_line[m_write] = x;
        m_write = (m_write + 1) % kReceiveFilterTaps;
    }
    // Real part of the taps only: the low-pass output.
    float realOutput() const;
    // Analytic output; the imaginary sum is negated so that the oldest-first walk is a convolution.
    Complex complexOutput() const;

private:
    ReceiveFilterTaps m_taps;
    std::array<float, kReceiveFilterTaps> m_line{};
    std::size_t m_write = 0;
};

}  // namespace zolk
