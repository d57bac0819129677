#pragma once
// SIGTERM and SIGINT start the orderly shutdown; SIGHUP is ignored. The signals are blocked in
// every thread and taken by a thread of their own, so the shutdown runs on the main thread like
// any other close, never inside a signal handler.
#include <functional>

namespace kelvar {

// Call first in main, before any other thread exists (threads inherit the blocked set).
void BlockShutdownSignals();

// Starts the signal thread: OnShutdown is called on that thread for each SIGTERM or SIGINT
// (it should hand the request to the main thread). Once per process.
void StartShutdownSignalThread(std::function<void(int signal)> onShutdown);

}  // namespace kelvar
