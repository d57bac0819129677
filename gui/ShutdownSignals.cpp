#include "gui/ShutdownSignals.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

#include "foundation/ThreadName.h"

namespace kelvar {

namespace {

sigset_t ShutdownSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void BlockShutdownSignals() {
    sigset_t set = ShutdownSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void StartShutdownSignalThread(std::function<void(int signal)> onShutdown) {
    std::thread([onShutdown = std::move(onShutdown)] {
        SetCurrentThreadName("kelvar-signals");
        sigset_t set = ShutdownSet();
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) continue;
            if (signal == SIGHUP) continue;
            onShutdown(signal);
        }
    }).detach();
}

}  // namespace kelvar
