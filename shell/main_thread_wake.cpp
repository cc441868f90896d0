#include "shell/main_thread_wake.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace zolk::shell {

MainThreadWake::MainThreadWake(QObject* parent) : QObject(parent) {
    m_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0) {
        m_error = QString::fromUtf8(std::strerror(errno));
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &MainThreadWake::drain);
}

MainThreadWake::~MainThreadWake() {
    m_notifier.reset();
    if (m_fd >= 0) ::close(m_fd);
}

void MainThreadWake::wake() const {
    if (m_fd < 0) return;
    const std::uint64_t one = 1;
    // A full counter (2^64 - 2 wakes unread) cannot happen; a failed write loses nothing the
    // pending wake does not already cover.
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

void MainThreadWake::drain() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(m_fd, &count, sizeof count);
    emit woken();
}

}  // namespace zolk::shell
