// complex_ops.h: single-precision complex values and the exact operations both sides use.
// Owns no state; the formulas are spelled out so that transmitter and receiver round alike.
#pragma once

#include <cmath>
#include <complex>

namespace zolk {

// Layout-compatible with FFTW's fftwf_complex (two contiguous floats).
using Complex = std::complex<float>;

inline Complex ComplexMul(Complex a, Complex b) {
    return {a.real() * b.real() - b.imag() * a.imag(), a.imag() * b.real() + b.imag() * a.real()};
}
inline Complex ComplexConj(Complex a) { return {a.real(), -a.imag()}; }
inline Complex ComplexAdd(Complex a, Complex b) {
    return {a.real() + b.real(), a.imag() + b.imag()};
}
inline Complex ComplexSub(Complex a, Complex b) {
    return {a.real() - b.real(), a.imag() - b.imag()};
}
inline float ComplexPower(Complex a) { return a.real() * a.real() + a.imag() * a.imag(); }
inline float ComplexAbs(Complex a) { return std::sqrt(ComplexPower(a)); }

// a at unit magnitude; the zero vector stays zero (it carries no phase).
inline Complex ComplexNormalize(Complex a) {
    const float magnitude = ComplexAbs(a);
    return magnitude > 0.0f ? Complex{a.real() / magnitude, a.imag() / magnitude} : a;
}

// Phase in radians in (-pi, pi]; 0 for the zero vector.
float ComplexAngle(Complex a);

}  // namespace zolk
