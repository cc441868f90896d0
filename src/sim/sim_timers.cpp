#include "sim/sim_timers.h"

#include <algorithm>

namespace zolk::sim {

void SimTimers::start(TimerId id, std::chrono::milliseconds interval) {
    // A zero interval would tick forever at one instant; a real timer waits at least a moment.
    const SampleTime samples = std::max<SampleTime>(1, toSamples(interval));
    m_timers[index(id)] = Timer{m_now + samples, samples, m_nextOrder++};
}

void SimTimers::stop(TimerId id) { m_timers[index(id)].reset(); }

std::optional<std::chrono::milliseconds> SimTimers::interval(TimerId id) const {
    const auto& timer = m_timers[index(id)];
    if (!timer) return std::nullopt;
    return std::chrono::milliseconds{timer->interval / kSamplesPerMs};
}

std::optional<SimTimers::Due> SimTimers::earliest() const {
    std::optional<Due> best;
    for (std::size_t i = 0; i < kTimerCount; ++i) {
        const auto& timer = m_timers[i];
        if (!timer) continue;
        if (!best || timer->deadline < best->deadline ||
            (timer->deadline == best->deadline && timer->order < best->order)) {
            best = Due{timer->deadline, timer->order, static_cast<TimerId>(i)};
        }
    }
    return best;
}

void SimTimers::ticked(const Due& due) {
    m_ticks.push_back({due.deadline, due.id});
    auto& timer = m_timers[index(due.id)];
    if (timer && timer->order == due.order) {
        timer->deadline += timer->interval;
        timer->order = m_nextOrder++;
    }
}

}  // namespace zolk::sim
