#include "phy/rx/soft_demapper.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

#include "phy/common/constellation.h"

namespace zolk {

namespace {

// Projections for the PSK orders: cos and sin of 22.5 degrees, and 1/sqrt(2).
constexpr float kCos22 = 0.924f;
constexpr float kSin22 = 0.383f;
constexpr float kHalfRoot2 = 0.707f;
// 16-point: twice the inner amplitude, the threshold between inner and outer levels.
constexpr float kQam16Threshold = 0.4714f;
// 32-point: two grid units (grid unit 0.1715).
constexpr float kQam32Clip = 0.343f;
constexpr float kPskClip = 2.0f;
constexpr float kSearchStart = 1e35f;

float clipped(float v, float clip) { return std::clamp(v, -clip, clip); }

void demapQpsk(Complex c, std::span<float> out) {
    const float x = c.real();
    const float y = c.imag();
    out[0] = -kHalfRoot2 * (y + x);
    out[1] = -kHalfRoot2 * (x - y);
}

void demap8Psk(Complex c, std::span<float> out) {
    const float x = c.real();
    const float y = c.imag();
    const float a = kSin22 * x + kCos22 * y;
    const float b = kCos22 * x - kSin22 * y;
    out[0] = -a;
    out[1] = -b;
    out[2] = std::abs(a) - std::abs(b);
}

void demap16Qam(Complex c, std::span<float> out) {
    const float x = c.real();
    const float y = c.imag();
    if (x == 0.0f && y == 0.0f) {
        // A zero cell (a channel inverse of 0) says nothing about any of its bits.
        std::fill(out.begin(), out.end(), 0.0f);
        return;
    }
    out[0] = x;
    out[1] = kQam16Threshold - std::abs(x);
    out[2] = y;
    out[3] = kQam16Threshold - std::abs(y);
}

float nearestIn(Complex cell, const QamNeighbourTable& qam, int decided,
                const std::array<std::uint8_t, 4>& list) {
    float best = kSearchStart;
    for (const std::uint8_t entry : list) {
        const Complex p = qam.point(entry == kQamSelf ? decided : entry);
        best = std::min(best, complexAbs(complexSub(cell, p)));
    }
    return best;
}

void demap32Qam(Complex c, const QamNeighbourTable& qam, std::span<float> out) {
    // The label's second and fourth bits are the signs of I and Q; the others by max-log
    // against the decided point's neighbours.
    const int decided = qam.decide(c);
    for (const int bit : {0, 2, 4}) {
        const float to0 = nearestIn(c, qam, decided, qam.list(decided, bit, 0));
        const float to1 = nearestIn(c, qam, decided, qam.list(decided, bit, 1));
        out[static_cast<std::size_t>(bit)] = to0 - to1;
    }
    out[1] = c.real();
    out[3] = c.imag();
}

}  // namespace

QamNeighbourTable::QamNeighbourTable(std::span<const Complex, kQamPoints> points) {
    std::copy(points.begin(), points.end(), m_points.begin());
    for (int a = 0; a < kQamPoints; ++a) {
        for (int bit = 0; bit < kQamBits; ++bit) {
            const int mask = 1 << (kQamBits - 1 - bit);
            const int own = (a & mask) != 0 ? 1 : 0;
            auto& lists = m_lists[static_cast<std::size_t>(a)][static_cast<std::size_t>(bit)];
            lists[static_cast<std::size_t>(own)].fill(kQamSelf);

            std::array<int, kQamPoints> order{};
            std::iota(order.begin(), order.end(), 0);
            const auto distance = [&](int q) {
                return complexPower(complexSub(m_points[static_cast<std::size_t>(q)],
                                               m_points[static_cast<std::size_t>(a)]));
            };
            const auto end = std::partition(order.begin(), order.end(),
                                            [&](int q) { return ((q ^ a) & mask) != 0; });
            std::stable_sort(order.begin(), end,
                             [&](int p, int q) { return distance(p) < distance(q); });
            auto& other = lists[static_cast<std::size_t>(1 - own)];
            for (std::size_t i = 0; i < other.size(); ++i) {
                other[i] = static_cast<std::uint8_t>(order[i]);
            }
        }
    }
}

int QamNeighbourTable::decide(Complex cell) const {
    int best = 0;
    float bestDistance = kSearchStart;
    for (int q = 0; q < kQamPoints; ++q) {
        const float d = complexPower(complexSub(cell, m_points[static_cast<std::size_t>(q)]));
        if (d < bestDistance) {
            bestDistance = d;
            best = q;
        }
    }
    return best;
}

float softClip(int bitsPerCell) {
    switch (bitsPerCell) {
        case 2:
        case 3:
            return kPskClip;
        case 4:
            return kQam16Threshold;
        case 5:
            return kQam32Clip;
        default:
            throw std::invalid_argument("soft demapper: bits per cell must be 2..5");
    }
}

void softDemap(std::span<const Complex> cells, int bitsPerCell, const QamNeighbourTable& qam,
               std::span<float> soft) {
    const float clip = softClip(bitsPerCell);
    const auto width = static_cast<std::size_t>(bitsPerCell);
    if (soft.size() != cells.size() * width) {
        throw std::invalid_argument("soft demapper: soft.size() must be cells x bits per cell");
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const auto out = soft.subspan(i * width, width);
        switch (bitsPerCell) {
            case 2:
                demapQpsk(cells[i], out);
                break;
            case 3:
                demap8Psk(cells[i], out);
                break;
            case 4:
                demap16Qam(cells[i], out);
                break;
            default:
                demap32Qam(cells[i], qam, out);
                break;
        }
        for (float& v : out) {
            v = clipped(v, clip);
        }
    }
}

std::span<const Complex, kQamPoints> qamColumn() {
    static const std::array<Complex, kQamPoints> kPoints = [] {
        std::array<Complex, kQamPoints> column{};
        for (std::size_t v = 0; v < column.size(); ++v)
            column[v] = kConstellationTable[v][kQamBits - 1];
        return column;
    }();
    return kPoints;
}

}  // namespace zolk
