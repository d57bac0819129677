#pragma once
// The main-thread dispatcher of the window program: calls posted from other threads run in
// Qt's event loop on the thread that created the dispatcher.
#include <QObject>

#include <atomic>
#include <thread>

#include "foundation/MainThread.h"

namespace kelvar {

class TQtMainThread : public IMainThreadDispatcher {
public:
    TQtMainThread();
    ~TQtMainThread() override;
    bool Post(std::function<void()> call) override;
    bool IsMainThread() const override;
    // Runs the posted calls waiting in Qt's queue (main thread only).
    int ProcessPending() override;
    // Refuses further posts (shutdown).
    void Close() { FClosed = true; }

private:
    QObject* FReceiver;
    std::thread::id FMainThread;
    std::atomic<bool> FClosed{false};
    std::atomic<int> FRun{0};  // calls run so far
};

}  // namespace kelvar
