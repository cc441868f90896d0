#include "shell/cpu_meter.h"

#include <sys/resource.h>

#include <algorithm>

namespace zolk::shell {

namespace {
std::chrono::microseconds toMicroseconds(const timeval& t) {
    return std::chrono::seconds{t.tv_sec} + std::chrono::microseconds{t.tv_usec};
}
}  // namespace

std::chrono::microseconds processCpuTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return toMicroseconds(usage.ru_utime) + toMicroseconds(usage.ru_stime);
}

int cpuPercent(std::chrono::microseconds cpuTime, std::chrono::microseconds wallTime) {
    if (wallTime.count() <= 0 || cpuTime.count() <= 0) return 0;
    const auto percent = (cpuTime.count() * 100 + wallTime.count() / 2) / wallTime.count();
    return static_cast<int>(std::min<decltype(percent)>(percent, 100));
}

CpuMeter::CpuMeter() : m_lastCpu(processCpuTime()), m_lastWall(std::chrono::steady_clock::now()) {}

int CpuMeter::read() {
    const auto cpu = processCpuTime();
    const auto wall = std::chrono::steady_clock::now();
    const int percent =
        cpuPercent(cpu - m_lastCpu, std::chrono::duration_cast<std::chrono::microseconds>(wall - m_lastWall));
    m_lastCpu = cpu;
    m_lastWall = wall;
    return percent;
}

bool CpuSmoother::tick(int percent) {
    m_smoothed += kWeight * (static_cast<float>(percent) - m_smoothed);
    m_tick = (m_tick + 1) % kTicksPerShow;
    return m_tick == 0;
}

}  // namespace zolk::shell
