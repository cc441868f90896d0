#include "phy/common/constellation.h"

namespace zolk {
namespace {

constexpr float kHalfRoot2 = 0.70710678f;

ConstellationPoints build() {
    ConstellationPoints t{};
    t[0][0] = {1, 0};
    t[1][0] = {-1, 0};

    t[0][1] = {1, 0};
    t[1][1] = {0, 1};
    t[2][1] = {0, -1};
    t[3][1] = {-1, 0};

    // 8PSK: Gray order around the circle in 45-degree steps.
    constexpr std::array<int, 8> kPskAt45{0, 1, 3, 2, 6, 7, 5, 4};
    constexpr std::array<Complex, 8> kCircle{{{1, 0},
                                              {kHalfRoot2, kHalfRoot2},
                                              {0, 1},
                                              {-kHalfRoot2, kHalfRoot2},
                                              {-1, 0},
                                              {-kHalfRoot2, -kHalfRoot2},
                                              {0, -1},
                                              {kHalfRoot2, -kHalfRoot2}}};
    for (std::size_t step = 0; step < 8; ++step) {
        t[static_cast<std::size_t>(kPskAt45[step])][2] = kCircle[step];
    }

    // 16QAM: two Gray bits per axis.
    constexpr float kA = 0.2357023f;
    constexpr std::array<float, 4> kLevels16{-3 * kA, -kA, 3 * kA, kA};  // by 00, 01, 10, 11
    for (std::size_t v = 0; v < 16; ++v) {
        t[v][3] = {kLevels16[v >> 2], kLevels16[v & 3]};
    }

    // 32QAM cross: an inner 4 x 4 square and 16 outer points, in units of b.
    constexpr float kB = 0.1714987f;
    constexpr std::array<float, 4> kInner{-kB, -3 * kB, kB, 3 * kB};  // by 00, 01, 10, 11
    for (std::size_t v = 0; v < 16; ++v) {
        t[v][4] = {kInner[v >> 2], kInner[v & 3]};
    }
    constexpr std::array<std::array<int, 2>, 16> kOuter{{{-5, -3},
                                                         {-1, -5},
                                                         {-5, 3},
                                                         {-1, 5},
                                                         {-5, -1},
                                                         {-3, -5},
                                                         {-5, 1},
                                                         {-3, 5},
                                                         {5, -3},
                                                         {1, -5},
                                                         {5, 3},
                                                         {1, 5},
                                                         {5, -1},
                                                         {3, -5},
                                                         {5, 1},
                                                         {3, 5}}};
    for (std::size_t v = 0; v < 16; ++v) {
        t[16 + v][4] = {static_cast<float>(kOuter[v][0]) * kB,
                        static_cast<float>(kOuter[v][1]) * kB};
    }

    // 64QAM: three Gray bits per axis.
    constexpr float kC = 0.1010153f;
    // Level by bit pattern 000..111.
    constexpr std::array<float, 8> kLevels64{-7 * kC, -5 * kC, -kC, -3 * kC,
                                             7 * kC,  5 * kC,  kC,  3 * kC};
    for (std::size_t v = 0; v < 64; ++v) {
        t[v][5] = {kLevels64[v >> 3], kLevels64[v & 7]};
    }
    return t;
}

}  // namespace

const ConstellationPoints kConstellationTable = build();

}  // namespace zolk
