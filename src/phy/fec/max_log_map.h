// max_log_map.h: the soft-in soft-out decoder of one constituent code (Max-Log-MAP).
// Owns the forward-metric store, sized once; the turbo decoder owns the streams it reads and
// writes.
#pragma once

#include <span>
#include <vector>

namespace zolk {

class MaxLogMap {
public:
    // Room for trellises of up to `maxSteps` steps (information bits plus tail).
    explicit MaxLogMap(int maxSteps);

    // One pass over L = systematic.size() steps of the K trellis, starting and ending in state 0.
    // Branch metric u*(apriori + systematic) + p*parity, plain max, no scaling or normalisation.
    // Writes the a-posteriori values A[k] and the extrinsic values E[k] = A - systematic - apriori.
    // All five spans have L entries and L <= maxSteps; no allocation.
    void run(int constraint, std::span<const float> apriori, std::span<const float> systematic,
             std::span<const float> parity, std::span<float> aposteriori,
             std::span<float> extrinsic);

private:
    template <int K>
    void runTrellis(std::span<const float> apriori, std::span<const float> systematic,
                    std::span<const float> parity, std::span<float> aposteriori,
                    std::span<float> extrinsic);

    int m_maxSteps;
    std::vector<float> m_alpha;  // (L + 1) x states, step-major
};

}  // namespace zolk
