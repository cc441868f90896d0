#include "phy/fec/max_log_map.h"

#include <array>
#include <bit>
#include <cstdint>
#include <stdexcept>

#include "phy/fec/trellis.h"

namespace zolk {
namespace {

// Stands for minus infinity; metrics are never normalised, so it must stay far below any path.
constexpr float kMinusInfinity = -1e20f;

constexpr float maxOf(float a, float b) { return a > b ? a : b; }

}  // namespace

MaxLogMap::MaxLogMap(int maxSteps)
    : m_maxSteps(maxSteps), m_alpha((static_cast<std::size_t>(maxSteps) + 1) * kMaxTrellisStates) {}

void MaxLogMap::run(int constraint, std::span<const float> apriori,
                    std::span<const float> systematic, std::span<const float> parity,
                    std::span<float> aposteriori, std::span<float> extrinsic) {
    const std::size_t steps = systematic.size();
    if (steps > static_cast<std::size_t>(m_maxSteps) || apriori.size() != steps ||
        parity.size() != steps || aposteriori.size() != steps || extrinsic.size() != steps) {
        throw std::invalid_argument("Max-Log-MAP pass: stream sizes differ or exceed the buffers");
    }
    switch (constraint) {
        case 3:
            return runTrellis<3>(apriori, systematic, parity, aposteriori, extrinsic);
        case 4:
            return runTrellis<4>(apriori, systematic, parity, aposteriori, extrinsic);
        case 5:
            return runTrellis<5>(apriori, systematic, parity, aposteriori, extrinsic);
        default:
            throw std::invalid_argument("Max-Log-MAP pass: constraint length not 3, 4 or 5");
    }
}

// Every state s moves to (2s + a) mod 2^(K-1), so states j and j + H (H = 2^(K-2)) both lead to
// 2j and 2j + 1: the trellis is H butterflies. The passes keep the metrics as a low and a high
// half of H lanes each and pick branch metrics with per-lane bit masks, so each lane runs the
// same additions and comparisons and the compiler can turn the lane loops into vector code.
// The arithmetic is exactly that of a state-by-state pass: alpha + branch, branch + beta and
// (alpha + branch) + beta, with a plain max.
namespace {

template <int K>
struct Butterflies {
    static constexpr int kHalf = 1 << (K - 2);
    using Masks = std::array<std::uint32_t, kHalf>;
    // Transition of lane j's low source (j) or high source (j + H) into the even (2j) or odd
    // (2j + 1) target: all-ones masks where its input bit u or parity bit p is 1.
    struct Branch {
        Masks u{};
        Masks p{};
    };
    Branch lowEven, lowOdd, highEven, highOdd;
};

template <int K>
constexpr Butterflies<K> makeButterflies() {
    constexpr const Trellis& kT = trellisFor(K);
    Butterflies<K> b{};
    for (int j = 0; j < Butterflies<K>::kHalf; ++j) {
        for (int odd = 0; odd < 2; ++odd) {
            const int target = 2 * j + odd;
            for (int high = 0; high < 2; ++high) {
                const int source = j + high * Butterflies<K>::kHalf;
                const int u = kT.nextState[1][source] == target ? 1 : 0;
                auto& branch = high ? (odd ? b.highOdd : b.highEven) : (odd ? b.lowOdd : b.lowEven);
                branch.u[j] = u ? ~0U : 0U;
                branch.p[j] = kT.parityOut[u][source] ? ~0U : 0U;
            }
        }
    }
    return b;
}

// The four branch metrics of one step: u*(apriori + systematic) + p*parity for u, p in {0, 1}.
struct StepMetrics {
    std::uint32_t bitsU;
    std::uint32_t bitsP;
    std::uint32_t bitsUP;
};

template <int K>
using Lanes = std::array<float, Butterflies<K>::kHalf>;

template <int K>
inline Lanes<K> branchMetrics(const typename Butterflies<K>::Branch& b, const StepMetrics& m) {
    Lanes<K> g;
    for (int j = 0; j < Butterflies<K>::kHalf; ++j) {
        g[j] = std::bit_cast<float>((m.bitsUP & b.u[j] & b.p[j]) | (m.bitsU & b.u[j] & ~b.p[j]) |
                                    (m.bitsP & ~b.u[j] & b.p[j]));
    }
    return g;
}

inline StepMetrics stepMetrics(float apriori, float systematic, float parity) {
    const float lu = apriori + systematic;
    return {std::bit_cast<std::uint32_t>(lu), std::bit_cast<std::uint32_t>(parity),
            std::bit_cast<std::uint32_t>(lu + parity)};
}

}  // namespace

template <int K>
void MaxLogMap::runTrellis(std::span<const float> apriori, std::span<const float> systematic,
                           std::span<const float> parity, std::span<float> aposteriori,
                           std::span<float> extrinsic) {
    static constexpr Butterflies<K> kB = makeButterflies<K>();
    constexpr int kHalf = Butterflies<K>::kHalf;
    constexpr int kStates = 2 * kHalf;
    const int steps = static_cast<int>(systematic.size());

    float* alpha = m_alpha.data();
    alpha[0] = 0.0f;
    for (int s = 1; s < kStates; ++s) alpha[s] = kMinusInfinity;
    for (int k = 0; k < steps; ++k) {
        const StepMetrics m = stepMetrics(apriori[k], systematic[k], parity[k]);
        const Lanes<K> gLowEven = branchMetrics<K>(kB.lowEven, m);
        const Lanes<K> gLowOdd = branchMetrics<K>(kB.lowOdd, m);
        const Lanes<K> gHighEven = branchMetrics<K>(kB.highEven, m);
        const Lanes<K> gHighOdd = branchMetrics<K>(kB.highOdd, m);
        const float* low = alpha + static_cast<std::ptrdiff_t>(k) * kStates;
        const float* high = low + kHalf;
        float* next = alpha + static_cast<std::ptrdiff_t>(k + 1) * kStates;
        for (int j = 0; j < kHalf; ++j) {
            next[2 * j] = maxOf(low[j] + gLowEven[j], high[j] + gHighEven[j]);
            next[2 * j + 1] = maxOf(low[j] + gLowOdd[j], high[j] + gHighOdd[j]);
        }
    }

    // Beta of step k + 1 split by target parity: betaEven[j] = beta[2j], betaOdd[j] = beta[2j+1].
    Lanes<K> betaEven;
    Lanes<K> betaOdd;
    betaEven.fill(kMinusInfinity);
    betaOdd.fill(kMinusInfinity);
    betaEven[0] = 0.0f;
    for (int k = steps - 1; k >= 0; --k) {
        const StepMetrics m = stepMetrics(apriori[k], systematic[k], parity[k]);
        const Lanes<K> gLowEven = branchMetrics<K>(kB.lowEven, m);
        const Lanes<K> gLowOdd = branchMetrics<K>(kB.lowOdd, m);
        const Lanes<K> gHighEven = branchMetrics<K>(kB.highEven, m);
        const Lanes<K> gHighOdd = branchMetrics<K>(kB.highOdd, m);
        const float* low = alpha + static_cast<std::ptrdiff_t>(k) * kStates;
        const float* high = low + kHalf;
        Lanes<K> betaLow;
        Lanes<K> betaHigh;
        Lanes<K> withOne;
        Lanes<K> withZero;
        for (int j = 0; j < kHalf; ++j) {
            betaLow[j] = maxOf(gLowEven[j] + betaEven[j], gLowOdd[j] + betaOdd[j]);
            betaHigh[j] = maxOf(gHighEven[j] + betaEven[j], gHighOdd[j] + betaOdd[j]);
            const float lowEven = low[j] + gLowEven[j] + betaEven[j];
            const float lowOdd = low[j] + gLowOdd[j] + betaOdd[j];
            const float highEven = high[j] + gHighEven[j] + betaEven[j];
            const float highOdd = high[j] + gHighOdd[j] + betaOdd[j];
            // Each source has one transition per input bit.
            withOne[j] =
                maxOf(kB.lowEven.u[j] ? lowEven : lowOdd, kB.highEven.u[j] ? highEven : highOdd);
            withZero[j] =
                maxOf(kB.lowEven.u[j] ? lowOdd : lowEven, kB.highEven.u[j] ? highOdd : highEven);
        }
        float best1 = withOne[0];
        float best0 = withZero[0];
        for (int j = 1; j < kHalf; ++j) {
            best1 = maxOf(best1, withOne[j]);
            best0 = maxOf(best0, withZero[j]);
        }
        aposteriori[k] = best1 - best0;
        extrinsic[k] = aposteriori[k] - systematic[k] - apriori[k];
        for (int j = 0; j < kHalf / 2; ++j) {
            betaEven[j] = betaLow[2 * j];
            betaOdd[j] = betaLow[2 * j + 1];
            betaEven[j + kHalf / 2] = betaHigh[2 * j];
            betaOdd[j + kHalf / 2] = betaHigh[2 * j + 1];
        }
    }
}

}  // namespace zolk
