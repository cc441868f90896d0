#include "shell/fatal_release.h"

#include <signal.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>

namespace zolk::shell {

namespace {

std::atomic<RadioControl*> g_radio{nullptr};
std::terminate_handler g_previousTerminate = nullptr;

void releaseOnce() {
    // Only the first failure releases; a second one inside the release must not loop.
    if (RadioControl* radio = g_radio.exchange(nullptr)) radio->releaseRadioOnly();
}

void onTerminate() {
    releaseOnce();
    if (g_previousTerminate != nullptr) g_previousTerminate();
    std::abort();
}

// The handler runs once (SA_RESETHAND), then the signal is raised again with its default action,
// so the program still ends with the crash and its core dump.
void onCrashSignal(int signal) {
    releaseOnce();
    std::raise(signal);
}

}  // namespace

void releaseOnFatalError(RadioControl* radio) {
    g_radio.store(radio);
    if (radio == nullptr) return;
    static bool installed = false;
    if (installed) return;
    installed = true;
    g_previousTerminate = std::set_terminate(onTerminate);
    struct sigaction action {};
    action.sa_handler = onCrashSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        sigaction(signal, &action, nullptr);
}

}  // namespace zolk::shell
