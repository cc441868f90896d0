#include "phy/rx/differential_detector.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "phy/common/constellation.h"
#include "phy/common/mode_table.h"
#include "phy/rx/receive_front_end.h"
#include "phy/rx/soft_demapper.h"

namespace zolk {

namespace {

// Half the span of cells each channel estimate averages: on the first pass (the PSK-power phase,
// which a turn of the channel within the span spoils fourfold) and on the second (the cells turned
// back by their expected points). Longer spans average more noise away on a still channel; these
// measured best at the 90 % points.
constexpr float kFirstHalfWindowSeconds = 0.1f;
constexpr float kHalfWindowSeconds = 0.2f;
// Half the span over which the carriers' common turn per symbol is averaged.
constexpr float kFrequencySeconds = 0.5f;
// Log-likelihood ratios to soft values: the same scale as the other demappers' values at the
// modes' working S/N, and within the clip up to a ratio of 16 (an error rate of 1e-7).
constexpr float kSoftScale = 0.125f;


constexpr float kHalfRoot2 = 0.70710678f;
constexpr std::array<Complex, 8> kEighths{{{1.0f, 0.0f},
                                           {kHalfRoot2, kHalfRoot2},
                                           {0.0f, 1.0f},
                                           {-kHalfRoot2, kHalfRoot2},
                                           {-1.0f, 0.0f},
                                           {-kHalfRoot2, -kHalfRoot2},
                                           {0.0f, -1.0f},
                                           {kHalfRoot2, -kHalfRoot2}}};

Complex scaled(Complex a, float k) { return {a.real() * k, a.imag() * k}; }

Complex at(std::span<const Complex> frameSymbols, int symbol, int bin) {
    return frameSymbols[static_cast<std::size_t>(symbol - 2) * kMaxBins +
                        static_cast<std::size_t>(bin)];
}

// Noise power per cell from the header cells, each of which repeats its predecessor: half the
// mean power of their difference, and at least 60 dB below their power (cells no cleaner than that
// keep the likelihoods finite). 0 without header cells or signal.
float headerNoisePower(const ModeTables& tables, std::span<const Complex> frameSymbols) {
    const ModeRecord& r = tables.record();
    float sum = 0.0f;
    float power = 0.0f;
    int count = 0;
    for (int c = 0; c < r.carriers; ++c) {
        const int o = r.firstCarrierBin + c * r.carrierStride;
        for (int j = 3; j <= r.symbolLimit; ++j) {
            if (tables.headerCell(j, c) == 1) {
                sum += complexPower(complexSub(at(frameSymbols, j, o), at(frameSymbols, j - 1, o)));
                power += complexPower(at(frameSymbols, j, o));
                ++count;
            }
        }
    }
    return count > 0 ? std::max(sum / 2.0f, power * 1e-6f) / static_cast<float>(count) : 0.0f;
}

// z to the power `order` (4 or 8), at the size |z|^2: the PSK modulation falls out of the phase.
Complex stripModulation(Complex z, int order) {
    const Complex u = complexNormalize(z);
    Complex p = complexMul(u, u);
    for (int k = 2; k < order; k *= 2) {
        p = complexMul(p, p);
    }
    return scaled(p, complexPower(z));
}

// The PSK points' probabilities (every stride-th eighth) from their log-likelihoods, up to a
// common factor: the likeliest point has 1.
std::array<float, 8> pointProbabilities(const std::array<float, 8>& logLikelihood, int stride) {
    float largest = -std::numeric_limits<float>::max();
    for (std::size_t e = 0; e < 8; e += static_cast<std::size_t>(stride)) {
        largest = std::max(largest, logLikelihood[e]);
    }
    std::array<float, 8> p{};
    for (std::size_t e = 0; e < 8; e += static_cast<std::size_t>(stride)) {
        p[e] = std::exp(logLikelihood[e] - largest);
    }
    return p;
}

float logSum(std::span<const float> probabilities) {
    float sum = 0.0f;
    for (const float p : probabilities) sum += p;
    return std::log(sum);
}

// Soft values of one data cell from the probabilities of its turns (every stride-th eighth, up to
// a common factor): per bit the log-ratio of the turns whose value has the bit 1 to those with 0.
void writeSoftValues(const std::array<float, 8>& turn, const std::array<int, 8>& valueAt, int bits,
                     std::span<float> out) {
    const int stride = 8 >> bits;
    const float clip = softClip(bits);
    for (int b = 0; b < bits; ++b) {
        std::array<float, 8> ones{};
        std::array<float, 8> zeros{};
        std::size_t k1 = 0;
        std::size_t k0 = 0;
        for (std::size_t d = 0; d < 8; d += static_cast<std::size_t>(stride)) {
            if (((valueAt[d] >> (bits - 1 - b)) & 1) != 0) {
                ones[k1++] = turn[d];
            } else {
                zeros[k0++] = turn[d];
            }
        }
        const float llr = logSum(std::span<const float>(ones.data(), k1)) -
                          logSum(std::span<const float>(zeros.data(), k0));
        out[static_cast<std::size_t>(b)] =
            std::isnan(llr) ? 0.0f : std::clamp(llr * kSoftScale, -clip, clip);
    }
}

std::size_t largestFrame() {
    std::size_t largest = 0;
    for (const auto& r : kModeTable) {
        if (r.modeFamily == Family::MultiCarrier && r.pilotCells == 0) {
            largest = std::max<std::size_t>(largest, static_cast<std::size_t>(r.carriers * (r.symbolLimit - 1)));
        }
    }
    return largest;
}

}  // namespace

int nearestPskEighths(Complex z, int bits) {
    if (bits == 2) {
        if (std::abs(z.real()) >= std::abs(z.imag())) {
            return z.real() >= 0.0f ? 0 : 4;
        }
        return z.imag() > 0.0f ? 2 : 6;
    }
    if (bits != 3) {
        throw std::invalid_argument("differential detection: 2 or 3 bits per cell");
    }
    const float eighths = std::atan2(z.imag(), z.real()) * 4.0f / 3.14159265f;
    return static_cast<int>(std::lround(eighths)) & 7;
}

DifferentialDetector::DifferentialDetector()
    : m_received(kFrameSymbolCount),
      m_own(kFrameSymbolCount),
      m_channel(kFrameSymbolCount),
      m_coarse(kFrameSymbolCount),
      m_rotation(kFrameSymbolCount),
      m_remodulated(largestFrame()),
      m_stripped(kFrameSymbolCount + 1),
      m_power(kFrameSymbolCount + 1),
      m_logLikelihood(kFrameSymbolCount) {}

// The channel of every symbol of the carrier in m_received: the phase of the mean
// modulation-free cell over the symbols within halfWindow, taken back to the PSK order's root and
// kept continuous from symbol to symbol; the strength from the mean power less the noise.
void DifferentialDetector::estimateChannel(const ModeRecord& r, int halfWindow, float noise) {
    const int order = 1 << r.bitsPerCell;
    const int n = r.symbolLimit - 1;
    const auto index = [](int i) { return static_cast<std::size_t>(i); };
    m_stripped[0] = {};
    m_power[0] = 0.0f;
    for (int i = 0; i < n; ++i) {
        m_stripped[index(i + 1)] =
            complexAdd(m_stripped[index(i)], stripModulation(m_received[index(i)], order));
        m_power[index(i + 1)] = m_power[index(i)] + complexPower(m_received[index(i)]);
    }
    Complex previous{};
    for (int i = 0; i < n; ++i) {
        const int from = std::max(0, i - halfWindow);
        const int to = std::min(n, i + halfWindow + 1);
        const Complex sum = complexSub(m_stripped[index(to)], m_stripped[index(from)]);
        const float power = (m_power[index(to)] - m_power[index(from)]) / static_cast<float>(to - from);
        const float strength = std::sqrt(std::max(power - noise, 0.1f * power));
        Complex phase = std::polar(1.0f, complexAngle(sum) / static_cast<float>(order));
        // Of the order's roots, the one nearest the previous symbol's estimate.
        const Complex step = std::polar(1.0f, 6.2831853f / static_cast<float>(order));
        Complex best = phase;
        float bestFit = -2.0f;
        for (int k = 0; k < order; ++k) {
            const float fit = (complexMul(phase, complexConj(previous))).real();
            if (fit > bestFit) {
                bestFit = fit;
                best = phase;
            }
            phase = complexMul(phase, step);
        }
        previous = best;
        m_channel[index(i)] = scaled(best, strength);
    }
}

// Log-likelihood of each PSK point per cell through m_channel, with gain = 2 / noise; a header
// cell's is added to its predecessor's (the two carry one point), back to the first cell of such a
// run, and the run's sum is every one of its cells'.
void DifferentialDetector::likelihoods(const ModeTables& tables, int c, float gain) {
    const ModeRecord& r = tables.record();
    const int n = r.symbolLimit - 1;
    const int stride = 8 >> r.bitsPerCell;
    const auto index = [](int i) { return static_cast<std::size_t>(i); };
    for (int i = 0; i < n; ++i) {
        const Complex z = scaled(complexMul(complexConj(m_channel[index(i)]), m_received[index(i)]), gain);
        auto& l = m_logLikelihood[index(i)];
        for (int e = 0; e < 8; e += stride) {
            const Complex p = kEighths[index(e)];
            l[index(e)] = z.real() * p.real() + z.imag() * p.imag();
        }
    }
    for (int i = n - 1; i >= 1; --i) {
        if (tables.headerCell(i + 2, c) == 1) {
            for (int e = 0; e < 8; e += stride) {
                m_logLikelihood[index(i - 1)][index(e)] += m_logLikelihood[index(i)][index(e)];
            }
        }
    }
    for (int i = 1; i < n; ++i) {
        if (tables.headerCell(i + 2, c) == 1) {
            m_logLikelihood[index(i)] = m_logLikelihood[index(i - 1)];
        }
    }
}

// Each cell of the carrier turned back by its expected PSK point (the points weighted by their
// probabilities), into m_own.
void DifferentialDetector::removeModulation(const ModeRecord& r) {
    const int n = r.symbolLimit - 1;
    const int stride = 8 >> r.bitsPerCell;
    const auto index = [](int i) { return static_cast<std::size_t>(i); };
    for (int i = 0; i < n; ++i) {
        const std::array<float, 8> p = pointProbabilities(m_logLikelihood[index(i)], stride);
        Complex expected{};
        float total = 0.0f;
        for (int e = 0; e < 8; e += stride) {
            expected = complexAdd(expected, scaled(kEighths[index(e)], p[index(e)]));
            total += p[index(e)];
        }
        m_own[index(i)] = complexMul(m_received[index(i)], complexConj(scaled(expected, 1.0f / total)));
    }
}

// The channel from m_own: its phase from the mean over the symbols within halfWindow, each
// symbol's own cell left out; its strength from the cells' mean power less the noise.
void DifferentialDetector::channelFromOwn(const ModeRecord& r, int halfWindow, float noise) {
    const int n = r.symbolLimit - 1;
    const auto index = [](int i) { return static_cast<std::size_t>(i); };
    m_stripped[0] = {};
    m_power[0] = 0.0f;
    for (int i = 0; i < n; ++i) {
        m_stripped[index(i + 1)] = complexAdd(m_stripped[index(i)], m_own[index(i)]);
        m_power[index(i + 1)] = m_power[index(i)] + complexPower(m_received[index(i)]);
    }
    for (int i = 0; i < n; ++i) {
        const int from = std::max(0, i - halfWindow);
        const int to = std::min(n, i + halfWindow + 1);
        const Complex sum = complexSub(complexSub(m_stripped[index(to)], m_stripped[index(from)]), m_own[index(i)]);
        const float power = (m_power[index(to)] - m_power[index(from)]) / static_cast<float>(to - from);
        const float strength = std::sqrt(std::max(power - noise, 0.1f * power));
        m_channel[index(i)] = scaled(complexNormalize(sum), strength);
    }
}

// What carrier error the coarse correction left, as it changes over the frame (a drifting carrier
// moves within it): per symbol, the mean turn between neighbouring cells turned back by their
// expected points (m_remodulated), over all carriers and the symbols within kFrequencySeconds;
// m_rotation takes the turns accumulated up to each symbol back out.
void DifferentialDetector::trackFrequency(const ModeRecord& r) {
    const int n = r.symbolLimit - 1;
    const auto index = [](int i) { return static_cast<std::size_t>(i); };
    const float symbolSeconds = (1.0f + r.guardFraction) / r.carrierSpacing;
    const int halfWindow = std::max(1, static_cast<int>(std::lround(kFrequencySeconds / symbolSeconds)));
    m_stripped[0] = {};
    m_stripped[1] = {};
    for (int i = 1; i < n; ++i) {
        Complex sum{};
        for (int c = 0; c < r.carriers; ++c) {
            const std::size_t k = static_cast<std::size_t>(c * n + i);
            sum = complexAdd(sum, complexMul(complexConj(m_remodulated[k - 1]), m_remodulated[k]));
        }
        m_stripped[index(i + 1)] = complexAdd(m_stripped[index(i)], sum);
    }
    m_rotation[0] = {1.0f, 0.0f};
    for (int i = 1; i < n; ++i) {
        const int from = std::max(1, i - halfWindow);
        const int to = std::min(n, i + halfWindow + 1);
        const Complex turn = complexNormalize(complexSub(m_stripped[index(to)], m_stripped[index(from)]));
        m_rotation[index(i)] = complexNormalize(complexMul(m_rotation[index(i - 1)], complexConj(turn)));
    }
}

// The carrier error the detection left (up to about a hertz on a weak frame, enough to spoil the
// PSK-power phase over a channel estimate's span) as one turn per symbol, from the turns between
// neighbouring cells of all carriers with the modulation stripped; m_coarse takes it out.
void DifferentialDetector::removeCoarseFrequency(const ModeRecord& r,
                                                 std::span<const Complex> frameSymbols) {
    const int order = 1 << r.bitsPerCell;
    const int n = r.symbolLimit - 1;
    const auto index = [](int i) { return static_cast<std::size_t>(i); };
    // Each half of the frame gives the turn at its middle; between and beyond, the turn runs
    // straight through the two (a drifting carrier).
    std::array<Complex, 2> turns{};
    for (int c = 0; c < r.carriers; ++c) {
        const int o = r.firstCarrierBin + c * r.carrierStride;
        for (int i = 1; i < n; ++i) {
            const Complex turn =
                complexMul(complexConj(at(frameSymbols, i + 1, o)), at(frameSymbols, i + 2, o));
            Complex& half = turns[i < n / 2 ? 0 : 1];
            half = complexAdd(half, stripModulation(complexNormalize(turn), order));
        }
    }
    const float first = complexAngle(turns[0]) / static_cast<float>(order);
    const float second = complexAngle(turns[1]) / static_cast<float>(order);
    // The two differ by less than half a PSK step (a change of 5 Hz in mode 8).
    const float step = 6.2831853f / static_cast<float>(order);
    const float change = std::remainder(second - first, step);
    m_coarse[0] = {1.0f, 0.0f};
    for (int i = 1; i < n; ++i) {
        const float turn = first + change * (static_cast<float>(i) - 0.25f * static_cast<float>(n)) /
                                       (0.5f * static_cast<float>(n));
        m_coarse[index(i)] = complexNormalize(complexMul(m_coarse[index(i - 1)], std::polar(1.0f, -turn)));
    }
}

bool DifferentialDetector::suits(const ModeRecord& r) {
    return r.modeFamily == Family::MultiCarrier && r.pilotCells == 0 && r.bitsPerCell == 2 &&
           r.carriers >= kLeastCarriers;
}

std::size_t DifferentialDetector::detect(const ModeTables& tables,
                                         std::span<const Complex> frameSymbols,
                                         std::span<Complex> cells, std::span<float> soft) {
    const ModeRecord& r = tables.record();
    if (r.modeFamily != Family::MultiCarrier || r.pilotCells > 0 ||
        frameSymbols.size() < kFrameSymbolCount * kMaxBins ||
        cells.size() < static_cast<std::size_t>(r.dataCells) ||
        soft.size() < static_cast<std::size_t>(r.dataCells) * r.bitsPerCell) {
        throw std::invalid_argument(
            "differential detection: a differential mode, all of FrameSymbols and room for its cells");
    }
    const int bits = r.bitsPerCell;
    const int points = 1 << bits;
    const int stride = 8 / points;  // PSK points lie every `stride` eighths
    std::array<int, 8> valueAt{};
    for (int v = 0; v < points; ++v) {
        valueAt[static_cast<std::size_t>(nearestPskEighths(
            kConstellationTable[static_cast<std::size_t>(v)][static_cast<std::size_t>(bits - 1)],
            bits))] = v;
    }
    const float symbolSeconds = (1.0f + r.guardFraction) / r.carrierSpacing;
    const int halfWindow = std::max(1, static_cast<int>(std::lround(kHalfWindowSeconds / symbolSeconds)));
    const int firstHalfWindow = std::max(1, static_cast<int>(std::lround(kFirstHalfWindowSeconds / symbolSeconds)));
    const float noise = headerNoisePower(tables, frameSymbols);
    const auto index = [](int i) { return static_cast<std::size_t>(i); };
    const int n = r.symbolLimit - 1;

    const float gain = 2.0f / std::max(noise, std::numeric_limits<float>::min());
    removeCoarseFrequency(r, frameSymbols);
    for (int c = 0; c < r.carriers; ++c) {
        const int o = r.firstCarrierBin + c * r.carrierStride;
        for (int i = 0; i < n; ++i) {
            m_received[index(i)] = complexMul(at(frameSymbols, i + 2, o), m_coarse[index(i)]);
        }
        estimateChannel(r, firstHalfWindow, noise);
        likelihoods(tables, c, gain);
        removeModulation(r);
        std::copy_n(m_own.begin(), n, m_remodulated.begin() + c * n);
    }
    trackFrequency(r);

    std::size_t count = 0;
    for (int c = 0; c < r.carriers; ++c) {
        const int o = r.firstCarrierBin + c * r.carrierStride;
        for (int i = 0; i < n; ++i) {
            m_received[index(i)] = complexMul(complexMul(at(frameSymbols, i + 2, o), m_coarse[index(i)]), m_rotation[index(i)]);
            m_own[index(i)] = complexMul(m_remodulated[static_cast<std::size_t>(c * n + i)], m_rotation[index(i)]);
        }
        channelFromOwn(r, halfWindow, noise);
        likelihoods(tables, c, gain);
        std::array<float, 8> before{};
        std::array<float, 8> now{};
        before = pointProbabilities(m_logLikelihood[0], stride);
        Complex previous = m_received[0];
        for (int i = 1; i < n; ++i) {
            now = pointProbabilities(m_logLikelihood[index(i)], stride);
            const Complex y = m_received[index(i)];
            if (tables.headerCell(i + 2, c) != 1) {
                // The symbol turns the previous point by d eighths.
                std::array<float, 8> turn{};
                for (int d = 0; d < 8; d += stride) {
                    float sum = 0.0f;
                    for (int e = 0; e < 8; e += stride) {
                        sum += before[index(e)] * now[index((e + d) & 7)];
                    }
                    turn[index(d)] = sum;
                }
                writeSoftValues(turn, valueAt, bits, soft.subspan(count * index(bits), index(bits)));
                const Complex d = complexMul(complexConj(previous), y);
                const float power = (complexPower(previous) + complexPower(y)) / 2.0f;
                cells[count++] = power > 0.0f ? scaled(d, 1.0f / std::sqrt(power)) : d;
            }
            previous = y;
            before = now;
        }
    }
    return count;
}

}  // namespace zolk
