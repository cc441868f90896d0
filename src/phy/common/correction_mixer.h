// correction_mixer.h: a numerically controlled oscillator that shifts complex samples in frequency.
// Owns its phase, increment and last frequency; the receive front-end holds two (A and B).
#pragma once

#include "phy/common/complex_ops.h"

namespace zolk {

class CorrectionMixer {
public:
    // sample x exp(j phase), then the phase advances by 2 pi f / fs (recomputed only when f
    // changes) and is kept within [0, 2 pi).
    Complex mix(Complex sample, float frequencyHz, float sampleRateHz);
    void reset();

private:
    float m_phase = 0.0f;
    float m_increment = 0.0f;
    float m_lastFrequencyHz = 0.0f;
};

}  // namespace zolk
