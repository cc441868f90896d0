#include "phy/rx/receive_filters.h"

#include "phy/common/window.h"

#include <cmath>
#include <numbers>

namespace zolk {

ReceiveFilterTaps designComplexBandPass(double a, double b) {
    ReceiveFilterTaps taps{};
    std::array<float, kReceiveFilterTaps> hamming{};
    window(WindowType::Hamming, hamming);
    constexpr double kPi = std::numbers::pi;
    constexpr double kLast = static_cast<double>(kReceiveFilterTaps - 1);
    for (std::size_t i = 0; i < kReceiveFilterTaps; ++i) {
        const double t = static_cast<double>(i) - kLast / 2.0;
        double re = 2.0 * (b - a);
        double im = 0.0;
        if (t != 0.0) {
            re = (std::sin(2.0 * kPi * b * t) - std::sin(2.0 * kPi * a * t)) / (kPi * t);
            im = (std::cos(2.0 * kPi * a * t) - std::cos(2.0 * kPi * b * t)) / (kPi * t);
        }
        taps[i] = {static_cast<float>(re) * hamming[i], static_cast<float>(im) * hamming[i]};
    }
    return taps;
}

float DecimatingFir::realOutput() const {
    float sum = 0.0f;
    std::size_t k = m_write;
    for (std::size_t i = 0; i < kReceiveFilterTaps; ++i) {
        sum += m_line[k] * m_taps[i].real();
        k = (k + 1 == kReceiveFilterTaps) ? 0 : k + 1;
    }
    return sum;
}

Complex DecimatingFir::complexOutput() const {
    float re = 0.0f;
    float im = 0.0f;
    std::size_t k = m_write;
    for (std::size_t i = 0; i < kReceiveFilterTaps; ++i) {
        re += m_line[k] * m_taps[i].real();
        im -= m_line[k] * m_taps[i].imag();
        k = (k + 1 == kReceiveFilterTaps) ? 0 : k + 1;
    }
    return {re, im};
}

}  // namespace zolk
