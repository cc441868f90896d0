// qt_timer_port.h: the window's eleven timers as QTimers, named as the station names them.
// Owns the QTimers; what a tick means is the station's.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>

#include "ports/timer_port.h"

namespace zolk {
class Station;
}

namespace zolk::shell {

class QtTimerPort final : public QObject, public TimerPort {
    Q_OBJECT
public:
    explicit QtTimerPort(QObject* parent = nullptr);
    // Ticks go to the station from now on; null drops them.
    void attach(Station* station) { m_station = station; }

    void start(TimerId id, std::chrono::milliseconds interval) override;
    void stop(TimerId id) override;

private:
    void handleTimeout(TimerId id);

    std::array<QTimer, kTimerCount> m_timers;
    Station* m_station = nullptr;
};

}  // namespace zolk::shell
