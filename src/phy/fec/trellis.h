// trellis.h: the constituent-code trellises of the turbo code for K = 3, 4 and 5.
// Owns the read-only NextState, ParityOut, PrevState and TailBit tables; encoder and decoder read
// them.
#pragma once

#include <array>
#include <cstdint>

namespace zolk {

inline constexpr int kMinConstraint = 3;
inline constexpr int kMaxConstraint = 5;
inline constexpr int kMaxTrellisStates = 1 << (kMaxConstraint - 1);

// One recursive systematic convolutional code. A state holds K-1 register bits: the most
// significant bit is the oldest (D^(K-1)), the least significant the newest (D^1).
struct Trellis {
    int constraint = 0;  // K
    int states = 0;      // 2^(K-1)
    // Indexed [input bit u][state].
    std::array<std::array<std::uint8_t, kMaxTrellisStates>, 2> nextState{};
    std::array<std::array<std::uint8_t, kMaxTrellisStates>, 2> parityOut{};
    // PrevState[u][s'] is the state from which input u leads to s'.
    std::array<std::array<std::uint8_t, kMaxTrellisStates>, 2> prevState{};
    // TailBit[step][s]: termination input for tail step `step` (0..K-2) of the path from s.
    std::array<std::array<std::uint8_t, kMaxTrellisStates>, kMaxConstraint - 1> tailBit{};
};

namespace detail {

// XOR of the state bits at the delays set in `delayTaps` (bit d-1 stands for D^d).
constexpr unsigned tappedParity(unsigned state, unsigned delayTaps) {
    unsigned bits = state & delayTaps;
    unsigned parity = 0;
    while (bits != 0) {
        parity ^= bits & 1U;
        bits >>= 1;
    }
    return parity;
}

constexpr Trellis buildTrellis(int constraint, unsigned feedbackTaps, unsigned parityTaps) {
    Trellis t;
    t.constraint = constraint;
    t.states = 1 << (constraint - 1);
    const unsigned mask = static_cast<unsigned>(t.states - 1);
    for (unsigned s = 0; s < static_cast<unsigned>(t.states); ++s) {
        for (unsigned u = 0; u < 2; ++u) {
            const unsigned feedback = u ^ tappedParity(s, feedbackTaps);
            const unsigned next = ((s << 1) | feedback) & mask;
            t.parityOut[u][s] = static_cast<std::uint8_t>(feedback ^ tappedParity(s, parityTaps));
            t.nextState[u][s] = static_cast<std::uint8_t>(next);
            t.prevState[u][next] = static_cast<std::uint8_t>(s);
        }
    }
    for (unsigned s = 0; s < static_cast<unsigned>(t.states); ++s) {
        // The tail input cancels the feedback, so zeros shift in and the register empties.
        unsigned state = s;
        for (int step = 0; step < constraint - 1; ++step) {
            const unsigned tail = tappedParity(state, feedbackTaps);
            t.tailBit[step][s] = static_cast<std::uint8_t>(tail);
            state = t.nextState[tail][state];
        }
    }
    return t;
}

}  // namespace detail

// Delay taps as masks over D^1..D^(K-1) (bit d-1 = D^d); the D^0 term of both polynomials is
// the input itself. K = 3: feedback 1 + D + D^2, parity 1 + D^2; K = 4: 1 + D^2 + D^3 and
// 1 + D + D^3; K = 5: 1 + D + D^4 and 1 + D^2 + D^3 + D^4.
inline constexpr std::array<Trellis, 3> kTurboTrellis = {
    detail::buildTrellis(3, 0b11, 0b10),
    detail::buildTrellis(4, 0b110, 0b101),
    detail::buildTrellis(5, 0b1001, 0b1110),
};

constexpr bool isSupportedConstraint(int constraint) {
    return constraint >= kMinConstraint && constraint <= kMaxConstraint;
}

// The trellis of constraint length K (3..5).
constexpr const Trellis& trellisFor(int constraint) {
    return kTurboTrellis[static_cast<std::size_t>(constraint - kMinConstraint)];
}

namespace detail {

// Every tail path ends in state 0, so an encoder can never fail to terminate.
constexpr bool terminatesFromEveryState(const Trellis& t) {
    for (int s = 0; s < t.states; ++s) {
        int state = s;
        for (int step = 0; step < t.constraint - 1; ++step) {
            state = t.nextState[t.tailBit[step][s]][state];
        }
        if (state != 0) return false;
    }
    return true;
}

}  // namespace detail

static_assert(detail::terminatesFromEveryState(kTurboTrellis[0]));
static_assert(detail::terminatesFromEveryState(kTurboTrellis[1]));
static_assert(detail::terminatesFromEveryState(kTurboTrellis[2]));

}  // namespace zolk
