#include "shell/sample_ring.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace zolk::shell {
namespace {

std::vector<std::int16_t> counting(std::size_t n, std::int16_t from) {
    std::vector<std::int16_t> v(n);
    std::iota(v.begin(), v.end(), from);
    return v;
}

TEST(SampleRing, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
    SampleRing ring(8);
    EXPECT_EQ(ring.write(counting(6, 0)), 6U);
    std::vector<std::int16_t> out(4);
    EXPECT_EQ(ring.read(out), 4U);
    EXPECT_EQ(out, counting(4, 0));
    // 2 left, room for 6: only 6 of these 7 fit, and they wrap past the end of the storage.
    EXPECT_EQ(ring.write(counting(7, 6)), 6U);
    EXPECT_EQ(ring.size(), 8U);
    std::vector<std::int16_t> all(10);
    EXPECT_EQ(ring.read(all), 8U);
    all.resize(8);
    EXPECT_EQ(all, counting(8, 4));
    EXPECT_EQ(ring.size(), 0U);
    EXPECT_EQ(ring.read(out), 0U);
}

TEST(SampleRing, DiscardTakesEffectAtTheReadersTurnAndSparesLaterSamples) {
    SampleRing ring(16);
    ring.write(counting(10, 0));
    ring.discardWritten();
    // The writer cannot reuse the space before the reader has dropped it.
    EXPECT_EQ(ring.size(), 10U);
    ring.write(counting(3, 100));
    std::vector<std::int16_t> out(16);
    const std::size_t got = ring.read(out);
    ASSERT_EQ(got, 3U);
    out.resize(got);
    EXPECT_EQ(out, counting(3, 100));
    EXPECT_EQ(ring.size(), 0U);
    // A discard with nothing queued changes nothing.
    ring.discardWritten();
    ring.write(counting(2, 7));
    out.assign(4, 0);
    EXPECT_EQ(ring.read(out), 2U);
    EXPECT_EQ(out[0], 7);
}

}  // namespace
}  // namespace zolk::shell
