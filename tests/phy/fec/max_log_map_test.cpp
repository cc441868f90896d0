#include "phy/fec/max_log_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "phy/fec/trellis.h"

namespace zolk {
namespace {

// The Max-Log-MAP value of step k is, by definition, the best metric of all paths from state 0
// back to state 0 with input 1 at k, less the best with input 0. Enumerating every path of a
// short trellis gives that value independently of the forward-backward recursion.
std::vector<float> bestPathDifferences(int constraint, const std::vector<float>& apriori,
                                       const std::vector<float>& systematic,
                                       const std::vector<float>& parity) {
    const Trellis& t = trellisFor(constraint);
    const int steps = static_cast<int>(systematic.size());
    std::vector<double> best1(steps, -1e30);
    std::vector<double> best0(steps, -1e30);
    for (unsigned path = 0; path < (1U << steps); ++path) {
        int state = 0;
        double metric = 0.0;
        for (int k = 0; k < steps; ++k) {
            const int u = (path >> k) & 1U;
            metric += u * (apriori[k] + systematic[k]) + t.parityOut[u][state] * parity[k];
            state = t.nextState[u][state];
        }
        if (state != 0) continue;
        for (int k = 0; k < steps; ++k) {
            double& best = ((path >> k) & 1U) ? best1[k] : best0[k];
            best = std::max(best, metric);
        }
    }
    std::vector<float> a(static_cast<std::size_t>(steps));
    for (int k = 0; k < steps; ++k) a[k] = static_cast<float>(best1[k] - best0[k]);
    return a;
}

TEST(MaxLogMapTest, MatchesTheBestPathsOfEveryShortTrellis) {
    for (int constraint = kMinConstraint; constraint <= kMaxConstraint; ++constraint) {
        SCOPED_TRACE(testing::Message() << "K=" << constraint);
        const int steps = 8 + constraint - 1;
        std::mt19937 rng(static_cast<unsigned>(constraint));
        std::normal_distribution<float> value(0.0f, 2.0f);
        std::vector<float> apriori(steps), systematic(steps), parity(steps);
        for (int k = 0; k < steps; ++k) {
            apriori[k] = k < 8 ? value(rng) : 0.0f;
            systematic[k] = value(rng);
            parity[k] = k % 3 == 1 ? 0.0f : value(rng);  // some punctured parity
        }
        std::vector<float> a(steps), e(steps);
        MaxLogMap siso(steps);
        siso.run(constraint, apriori, systematic, parity, a, e);
        const std::vector<float> expected =
            bestPathDifferences(constraint, apriori, systematic, parity);
        for (int k = 0; k < steps; ++k) {
            EXPECT_NEAR(a[k], expected[k], 1e-4f) << "step " << k;
            EXPECT_FLOAT_EQ(e[k], a[k] - systematic[k] - apriori[k]) << "step " << k;
        }
    }
}

TEST(MaxLogMapTest, RefusesStreamsThatDoNotFit) {
    MaxLogMap siso(10);
    std::vector<float> eleven(11), ten(10), nine(9);
    EXPECT_THROW(siso.run(4, eleven, eleven, eleven, eleven, eleven), std::invalid_argument);
    EXPECT_THROW(siso.run(4, ten, ten, nine, ten, ten), std::invalid_argument);
    EXPECT_THROW(siso.run(6, ten, ten, ten, ten, ten), std::invalid_argument);
}

}  // namespace
}  // namespace zolk
