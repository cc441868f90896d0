// sim_timers.h: one station's eleven timers on the virtual clock.
// Owns deadlines and the record of ticks; the harness decides when a deadline is due.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "ports/timer_port.h"
#include "sim/virtual_time.h"

namespace zolk::sim {

struct TimerTick {
    SampleTime time;
    TimerId id;
};

class SimTimers final : public TimerPort {
public:
    explicit SimTimers(const SampleTime& now) : m_now(now) {}

    void start(TimerId id, std::chrono::milliseconds interval) override;
    void stop(TimerId id) override;

    bool running(TimerId id) const { return m_timers[index(id)].has_value(); }
    std::optional<std::chrono::milliseconds> interval(TimerId id) const;

    struct Due {
        SampleTime deadline;
        std::uint64_t order;  // start order, breaks ties between equal deadlines
        TimerId id;
    };
    // The running timer with the earliest deadline.
    std::optional<Due> earliest() const;
    // Records the tick and moves the deadline on by one interval, unless the handler that ran for
    // it stopped or restarted the timer (its order then differs).
    void ticked(const Due& due);

    const std::vector<TimerTick>& ticks() const { return m_ticks; }

private:
    struct Timer {
        SampleTime deadline;
        SampleTime interval;
        std::uint64_t order;
    };
    static std::size_t index(TimerId id) { return static_cast<std::size_t>(id); }

    const SampleTime& m_now;
    std::array<std::optional<Timer>, kTimerCount> m_timers{};
    std::uint64_t m_nextOrder = 0;
    std::vector<TimerTick> m_ticks;
};

}  // namespace zolk::sim
