#include "shell/signal_watcher.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>

namespace zolk::shell {
namespace {

// A signal handler may only write to a descriptor; the main thread reads the other end.
std::array<int, 2> g_pipe{-1, -1};

extern "C" void forwardSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

}  // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
    if (::pipe2(g_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::handleActivated);
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

SignalWatcher::~SignalWatcher() {
    if (m_notifier == nullptr) return;
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe = {-1, -1};
}

void SignalWatcher::handleActivated() {
    std::array<char, 16> drained{};
    while (::read(g_pipe[0], drained.data(), drained.size()) > 0) {
    }
    emit stopRequested();
}

}  // namespace zolk::shell
