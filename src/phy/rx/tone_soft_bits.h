// tone_soft_bits.h: log-likelihood ratios of the bits of one tone-keyed cell, heard without phase
// reference, from the magnitudes of its candidate tones, a frame's noise power per bin and its
// tone amplitude. Owns nothing; the demodulator measures the levels and walks the cells.
#pragma once

#include <span>

namespace zolk {

// ln I0(x) for x >= 0, the modified Bessel function of order 0: a polynomial in x below 3.75,
// x - ln(x) / 2 plus a polynomial in 1 / x above (relative error of I0 under 2e-7), so that it
// neither overflows nor loses the slope for large x.
float logBesselI0(float x);

// The levels of one frame's tone cells: the noise power of one bin (mean |noise|^2) and the
// received tone's amplitude, both on the magnitude spectrum's own scale.
struct ToneLevels {
    float noisePower = 0.0f;
    float amplitude = 0.0f;
};

// A tone of amplitude A in complex noise of power N per bin: given the candidates' magnitudes
// r_t, tone t was sent with likelihood proportional to I0(2 A r_t / N). A bit's value is then
// ln(sum of those of the tones whose value has the bit 1 / sum of those with 0).
class ToneBitMetric {
public:
    explicit ToneBitMetric(const ToneLevels& levels);

    // magnitudes: the cell's 2^bits candidates indexed by cell value (not tone). Writes `bits`
    // values, most significant bit first, positive favouring 1. bits 1..4.
    void cellBits(std::span<const float> magnitudes, int bits, std::span<float> out) const;

private:
    float m_gain;  // 2 A / N
};

}  // namespace zolk
