#include "shell/qt_timer_port.h"

#include "app/station.h"

namespace zolk::shell {

QtTimerPort::QtTimerPort(QObject* parent) : QObject(parent) {
    for (std::size_t i = 0; i < kTimerCount; ++i) {
        const auto id = static_cast<TimerId>(i);
        QTimer& timer = m_timers[i];
        timer.setObjectName(QString::fromLatin1(kTimerNames[i].data(), kTimerNames[i].size()));
        // The 1 ms and 10 ms timers pace key-up and data hand-over; coarse timers would stretch them.
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, this, [this, id] { handleTimeout(id); });
    }
}

void QtTimerPort::start(TimerId id, std::chrono::milliseconds interval) {
    m_timers[static_cast<std::size_t>(id)].start(interval);
}

void QtTimerPort::stop(TimerId id) { m_timers[static_cast<std::size_t>(id)].stop(); }

void QtTimerPort::handleTimeout(TimerId id) {
    if (m_station != nullptr) m_station->onTimer(id);
}

}  // namespace zolk::shell
