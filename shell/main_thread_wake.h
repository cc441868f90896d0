// main_thread_wake.h: lets the sound driver's thread wake the main thread when there is work, so
// the main thread sleeps while the card fills its rings. Owns one eventfd and its socket notifier:
// wake() may be called from any thread (a single write, no lock, no allocation); woken() is
// emitted on the main thread once for any number of wakes since the last one.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace zolk::shell {

class MainThreadWake final : public QObject {
    Q_OBJECT
public:
    explicit MainThreadWake(QObject* parent = nullptr);
    ~MainThreadWake() override;
    MainThreadWake(const MainThreadWake&) = delete;
    MainThreadWake& operator=(const MainThreadWake&) = delete;

    // Any thread.
    void wake() const;
    // Why the eventfd could not be made (woken() never comes then), or empty.
    const QString& error() const { return m_error; }

signals:
    void woken();

private:
    void drain();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QString m_error;
};

}  // namespace zolk::shell
