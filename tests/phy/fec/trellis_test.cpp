#include "phy/fec/trellis.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace zolk {
namespace {

TEST(TrellisTest, ConstraintFourTablesMatchHandWorkedValues) {
    const Trellis& t = trellisFor(4);
    EXPECT_EQ(t.states, 8);
    const std::array<std::array<int, 8>, 2> next = {
        {{0, 2, 5, 7, 1, 3, 4, 6}, {1, 3, 4, 6, 0, 2, 5, 7}}};
    const std::array<std::array<int, 8>, 2> parity = {
        {{0, 1, 1, 0, 0, 1, 1, 0}, {1, 0, 0, 1, 1, 0, 0, 1}}};
    for (int u = 0; u < 2; ++u) {
        for (int s = 0; s < 8; ++s) {
            SCOPED_TRACE(testing::Message() << "u=" << u << " s=" << s);
            EXPECT_EQ(t.nextState[u][s], next[u][s]);
            EXPECT_EQ(t.parityOut[u][s], parity[u][s]);
        }
    }
}

struct ImpulseCase {
    int constraint;
    std::vector<int> parity;  // parity of input 1, 0, 0, ... from state 0
};

// Impulse responses worked out on the shift registers of the three polynomial pairs; they pin
// both the feedback and the parity taps.
TEST(TrellisTest, ImpulseResponsesFollowThePolynomials) {
    const std::array<ImpulseCase, 3> cases = {{
        {3, {1, 1, 1, 0, 1, 1, 0, 1, 1, 0, 1, 1}},
        {4, {1, 1, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0}},
        {5, {1, 1, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1}},
    }};
    for (const ImpulseCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "K=" << c.constraint);
        const Trellis& t = trellisFor(c.constraint);
        int state = 0;
        for (std::size_t k = 0; k < c.parity.size(); ++k) {
            const int u = k == 0 ? 1 : 0;
            EXPECT_EQ(t.parityOut[u][state], c.parity[k]) << "step " << k;
            state = t.nextState[u][state];
        }
    }
}

TEST(TrellisTest, PrevStateInvertsNextStateForEveryInput) {
    for (int k = kMinConstraint; k <= kMaxConstraint; ++k) {
        const Trellis& t = trellisFor(k);
        for (int u = 0; u < 2; ++u) {
            std::vector<int> reached(static_cast<std::size_t>(t.states), 0);
            for (int s = 0; s < t.states; ++s) {
                SCOPED_TRACE(testing::Message() << "K=" << k << " u=" << u << " s=" << s);
                const int next = t.nextState[u][s];
                ASSERT_LT(next, t.states);
                ++reached[next];
                EXPECT_EQ(t.prevState[u][next], s);
            }
            for (int count : reached) EXPECT_EQ(count, 1) << "K=" << k;
        }
    }
}

// Termination drives every start state to 0 in K-1 steps, and each tail input cancels the
// feedback, so the register only shifts zeros in.
TEST(TrellisTest, TailBitsTerminateEveryStateInKMinusOneSteps) {
    for (int k = kMinConstraint; k <= kMaxConstraint; ++k) {
        const Trellis& t = trellisFor(k);
        const int mask = t.states - 1;
        for (int s = 0; s < t.states; ++s) {
            SCOPED_TRACE(testing::Message() << "K=" << k << " start state " << s);
            int state = s;
            for (int step = 0; step < k - 1; ++step) {
                const int tail = t.tailBit[step][s];
                const int next = t.nextState[tail][state];
                EXPECT_EQ(next, (state << 1) & mask) << "tail step " << step;
                state = next;
            }
            EXPECT_EQ(state, 0);
        }
    }
}

TEST(TrellisTest, ConstraintFourTerminatesFromEveryStateInExactlyThreeSteps) {
    const Trellis& t = trellisFor(4);
    for (int s = 0; s < 8; ++s) {
        SCOPED_TRACE(testing::Message() << "start state " << s);
        int state = s;
        for (int step = 0; step < 3; ++step) state = t.nextState[t.tailBit[step][s]][state];
        EXPECT_EQ(state, 0);
    }
    // From state 1 the register empties only after its bit has shifted out through D^3.
    int state = 1;
    for (int step = 0; step < 2; ++step) state = t.nextState[t.tailBit[step][1]][state];
    EXPECT_NE(state, 0);
}

}  // namespace
}  // namespace zolk
