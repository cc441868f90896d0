#include "phy/common/complex_ops.h"

#include <numbers>

namespace zolk {

float complexAngle(Complex a) {
    constexpr float kPi = std::numbers::pi_v<float>;
    const float re = a.real();
    const float im = a.imag();
    if (re == 0.0f) {
        if (std::fabs(re) >= std::fabs(im)) {
            return 0.0f;
        }
        return im > 0.0f ? kPi / 2.0f : -kPi / 2.0f;
    }
    const float angle = std::atan(im / re);
    if (re < 0.0f) {
        return im >= 0.0f ? angle + kPi : angle - kPi;
    }
    return angle;
}

}  // namespace zolk
