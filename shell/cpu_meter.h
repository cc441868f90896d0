// cpu_meter.h: our own process's share of one processor since the previous reading, for the CPU
// gauge. Process CPU time (user + system, getrusage) over elapsed monotonic wall time.
#pragma once

#include <chrono>

namespace zolk::shell {

// Percent of one processor that cpuTime is of wallTime, 0..100 (a process with several busy
// threads can use more than one processor; the gauge shows at most a full one). 0 when no wall
// time has passed, so a reading taken twice in a row never divides by zero.
int cpuPercent(std::chrono::microseconds cpuTime, std::chrono::microseconds wallTime);

class CpuMeter {
public:
    CpuMeter();
    // The share since construction or the previous read.
    int read();

private:
    std::chrono::microseconds m_lastCpu;
    std::chrono::steady_clock::time_point m_lastWall;
};

// The gauge's steady value: every 100 ms tick moves it 5 % of the way to the latest share, and
// every 10th tick it is shown, so one busy moment does not swing the needle.
class CpuSmoother {
public:
    static constexpr int kTicksPerShow = 10;
    static constexpr float kWeight = 0.05F;
    // Takes one share; true on the ticks where shown() should be drawn.
    bool tick(int percent);
    float shown() const { return m_smoothed; }

private:
    float m_smoothed = 0.0F;
    int m_tick = 0;
};

// User plus system CPU time this process has used so far.
std::chrono::microseconds processCpuTime();

}  // namespace zolk::shell
