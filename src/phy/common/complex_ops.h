// complex_ops.h: single-precision complex values and the exact operations both sides use.
// Owns no state; the formulas are spelled out so that transmitter and receiver round alike.
#pragma once

#include <cmath>
#include <complex>

namespace zolk {

// Layout-compatible with FFTW's fftwf_complex (two contiguous floats).
using Complex = std::complex<float>;

inline Complex complexMul(Complex a, Complex b) {
    return {a.real() * b.real() - b.imag() * a.imag(), a.imag() * b.real() + b.imag() * a.real()};
}
inline Complex complexConj(Complex a) { return {a.real(), -a.imag()}; }
inline Complex complexAdd(Complex a, Complex b) {
    return {a.real() + b.real(), a.imag() + b.imag()};
}
inline Complex complexSub(Complex a, Complex b) {
    return {a.real() - b.real(), a.imag() - b.imag()};
}
inline float complexPower(Complex a) { return a.real() * a.real() + a.imag() * a.imag(); }
inline float complexAbs(Complex a) { return std::sqrt(complexPower(a)); }

// a at unit magnitude; the zero vector stays zero (it carries no phase).
inline Complex complexNormalize(Complex a) {
    const float magnitude = complexAbs(a);
    return magnitude > 0.0f ? Complex{a.real() / magnitude, a.imag() / magnitude} : a;
}

// Phase in radians in (-pi, pi]; 0 for the zero vector.
float complexAngle(Complex a);

}  // namespace zolk
