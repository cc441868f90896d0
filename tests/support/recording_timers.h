// recording_timers.h: timers that never tick: they keep which timers run and the interval each was
// last started with, and the test calls the handlers itself.
#pragma once

#include <array>
#include <chrono>

#include "ports/timer_port.h"

namespace zolk::test {

class RecordingTimers final : public TimerPort {
public:
    void start(TimerId id, std::chrono::milliseconds interval) override {
        running[index(id)] = true;
        intervals[index(id)] = interval;
    }
    void stop(TimerId id) override { running[index(id)] = false; }

    bool isRunning(TimerId id) const { return running[index(id)]; }
    std::chrono::milliseconds interval(TimerId id) const { return intervals[index(id)]; }

    std::array<bool, kTimerCount> running{};
    std::array<std::chrono::milliseconds, kTimerCount> intervals{};

private:
    static std::size_t index(TimerId id) { return static_cast<std::size_t>(id); }
};

}  // namespace zolk::test
