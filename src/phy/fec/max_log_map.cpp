#include "phy/fec/max_log_map.h"

#include <array>
#include <stdexcept>

#include "phy/fec/trellis.h"

namespace zolk {
namespace {

// Stands for minus infinity; metrics are never normalised, so it must stay far below any path.
constexpr float kMinusInfinity = -1e20f;

constexpr float maxOf(float a, float b) { return a > b ? a : b; }

}  // namespace

MaxLogMap::MaxLogMap(int maxSteps)
    : m_maxSteps(maxSteps),
      m_alpha((static_cast<std::size_t>(maxSteps) + 1) * kMaxTrellisStates) {}

void MaxLogMap::run(int constraint, std::span<const float> apriori,
                    std::span<const float> systematic, std::span<const float> parity,
                    std::span<float> aposteriori, std::span<float> extrinsic) {
    const std::size_t steps = systematic.size();
    if (steps > static_cast<std::size_t>(m_maxSteps) || apriori.size() != steps ||
        parity.size() != steps || aposteriori.size() != steps || extrinsic.size() != steps) {
        throw std::invalid_argument("Max-Log-MAP pass: stream sizes differ or exceed the buffers");
    }
    switch (constraint) {
        case 3: return runTrellis<3>(apriori, systematic, parity, aposteriori, extrinsic);
        case 4: return runTrellis<4>(apriori, systematic, parity, aposteriori, extrinsic);
        case 5: return runTrellis<5>(apriori, systematic, parity, aposteriori, extrinsic);
        default: throw std::invalid_argument("Max-Log-MAP pass: constraint length not 3, 4 or 5");
    }
}

// The trellis is a compile-time constant here, so the state loops unroll into straight-line
// code with fixed indices. Branch metrics take four values per step, indexed 2u + p:
// 0, parity, apriori + systematic, apriori + systematic + parity.
template <int K>
void MaxLogMap::runTrellis(std::span<const float> apriori, std::span<const float> systematic,
                           std::span<const float> parity, std::span<float> aposteriori,
                           std::span<float> extrinsic) {
    constexpr const Trellis& t = trellisFor(K);
    constexpr int kStates = 1 << (K - 1);
    const int steps = static_cast<int>(systematic.size());

    float* alpha = m_alpha.data();
    alpha[0] = 0.0f;
    for (int s = 1; s < kStates; ++s) alpha[s] = kMinusInfinity;
    for (int k = 0; k < steps; ++k) {
        const float lu = apriori[k] + systematic[k];
        const float lp = parity[k];
        const std::array<float, 4> gamma = {0.0f, lp, lu, lu + lp};
        const float* now = alpha + static_cast<std::ptrdiff_t>(k) * kStates;
        float* next = alpha + static_cast<std::ptrdiff_t>(k + 1) * kStates;
#pragma GCC unroll 16
        for (int s = 0; s < kStates; ++s) {
            const int from0 = t.PrevState[0][s];
            const int from1 = t.PrevState[1][s];
            next[s] = maxOf(now[from0] + gamma[t.ParityOut[0][from0]],
                            now[from1] + gamma[2 + t.ParityOut[1][from1]]);
        }
    }

    std::array<float, kStates> beta{};
    std::array<float, kStates> betaBefore{};
    beta.fill(kMinusInfinity);
    beta[0] = 0.0f;
    for (int k = steps - 1; k >= 0; --k) {
        const float lu = apriori[k] + systematic[k];
        const float lp = parity[k];
        const std::array<float, 4> gamma = {0.0f, lp, lu, lu + lp};
        const float* now = alpha + static_cast<std::ptrdiff_t>(k) * kStates;
        float best0 = kMinusInfinity;
        float best1 = kMinusInfinity;
#pragma GCC unroll 16
        for (int s = 0; s < kStates; ++s) {
            const float branch0 = gamma[t.ParityOut[0][s]];
            const float branch1 = gamma[2 + t.ParityOut[1][s]];
            const float beta0 = beta[t.NextState[0][s]];
            const float beta1 = beta[t.NextState[1][s]];
            betaBefore[s] = maxOf(branch0 + beta0, branch1 + beta1);
            best0 = maxOf(best0, now[s] + branch0 + beta0);
            best1 = maxOf(best1, now[s] + branch1 + beta1);
        }
        aposteriori[k] = best1 - best0;
        extrinsic[k] = aposteriori[k] - systematic[k] - apriori[k];
        beta = betaBefore;
    }
}

}  // namespace zolk
