#include "phy/common/random_source.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

namespace zolk {
namespace {

TEST(RandomSource, KnownNextVectors) {
    struct Case {
        std::int32_t seed;
        std::vector<long> scaled;  // next() x 2^24
    };
    const std::array cases{
        Case{727, {12584426, 11170667, 12275611, 4797219, 12952856}},
        Case{-5, {8726699, 16561336, 1096513}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seed);
        RandomSource random;
        random.reset();
        random.seed(c.seed);
        for (const long expected : c.scaled) {
            EXPECT_EQ(static_cast<long>(random.next() * 16777216.0), expected);
        }
    }
}

TEST(RandomSource, KnownDrawVectors) {
    struct Case {
        std::int32_t seed;
        int n;
        std::vector<int> draws;
    };
    const std::array cases{
        Case{727, 32, {24, 21, 24, 9, 25, 12, 11, 21, 2, 30}},
        Case{10, 6, {4, 5, 2, 2, 0, 2, 1, 5, 4, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seed);
        RandomSource random;
        random.reset();
        random.seed(c.seed);
        for (const int expected : c.draws) {
            EXPECT_EQ(random.draw(c.n), expected);
        }
    }
}

TEST(RandomSource, DrawCoversExactlyZeroToN) {
    for (const int n : {1, 32}) {
        SCOPED_TRACE(n);
        RandomSource random;
        random.seed(n);
        std::set<int> seen;
        for (int i = 0; i < 20000; ++i) {
            const int v = random.draw(n);
            ASSERT_GE(v, 0);
            ASSERT_LE(v, n);
            seen.insert(v);
        }
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(n + 1));
    }
}

TEST(RandomSource, ResetRestartsTheSequenceAndInstancesAreIndependent) {
    RandomSource a;
    RandomSource b;
    a.seed(727);
    const double first = a.next();
    b.seed(727);
    a.reset();
    a.seed(727);
    EXPECT_EQ(a.next(), first);
    EXPECT_EQ(b.next(), first);
}

}  // namespace
}  // namespace zolk
