// signal_watcher.h: SIGINT and SIGTERM turned into a Qt signal on the main thread, so that a
// stop request runs the station's shutdown in order. Owns the handlers while it lives.
#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace zolk::shell {

class SignalWatcher final : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void stopRequested();

private:
    void handleActivated();
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace zolk::shell
