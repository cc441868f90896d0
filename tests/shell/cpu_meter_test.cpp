#include "shell/cpu_meter.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <thread>

namespace zolk::shell {
namespace {

using std::chrono::microseconds;

TEST(CpuMeter, PercentOfWallTimeRoundedAndBounded) {
    struct Case {
        microseconds cpu;
        microseconds wall;
        int percent;
    };
    for (const Case& c : std::array<Case, 7>{{{microseconds{0}, microseconds{1000}, 0},
                                             {microseconds{250}, microseconds{1000}, 25},
                                             {microseconds{1005}, microseconds{100000}, 1},
                                             {microseconds{1000}, microseconds{1000}, 100},
                                             {microseconds{3000}, microseconds{1000}, 100},
                                             {microseconds{500}, microseconds{0}, 0},
                                             {microseconds{-5}, microseconds{1000}, 0}}}) {
        EXPECT_EQ(cpuPercent(c.cpu, c.wall), c.percent) << c.cpu.count() << " of " << c.wall.count();
    }
}

// The work is measured on this thread's own CPU clock, so a busy machine that gives the test
// little of the wall time cannot make it fail.
microseconds threadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return microseconds{now.tv_sec * 1000000LL + now.tv_nsec / 1000};
}

TEST(CpuMeter, ProcessCpuTimeGrowsWhileWorkingNotWhileSleeping) {
    const auto start = processCpuTime();
    const auto threadStart = threadCpuTime();
    volatile unsigned sink = 0;
    while (threadCpuTime() - threadStart < microseconds{20000}) sink = sink + 1;
    const auto afterWork = processCpuTime();
    EXPECT_GE(afterWork - start, microseconds{15000});

    std::this_thread::sleep_for(std::chrono::milliseconds{50});
    EXPECT_LT(processCpuTime() - afterWork, microseconds{25000});
}

TEST(CpuMeter, SmootherShowsEveryTenthTickAndMovesFivePercentEachTick) {
    CpuSmoother smoother;
    for (int i = 1; i < CpuSmoother::kTicksPerShow; ++i) EXPECT_FALSE(smoother.tick(100)) << i;
    EXPECT_TRUE(smoother.tick(100));
    // After n ticks at 100 % the value is 100 * (1 - 0.95^n).
    EXPECT_NEAR(smoother.shown(), 100.0F * (1.0F - 0.59874F), 0.01F);
    for (int i = 0; i < 1000; ++i) smoother.tick(100);
    EXPECT_NEAR(smoother.shown(), 100.0F, 0.01F);
    for (int i = 0; i < 1000; ++i) smoother.tick(0);
    EXPECT_NEAR(smoother.shown(), 0.0F, 0.01F);
}

}  // namespace
}  // namespace zolk::shell
