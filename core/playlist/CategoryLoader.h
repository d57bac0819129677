#pragma once
// The common life of the category loaders: a thread of its own that reads one statement on a
// connection of its own and hands status and result to the main thread. The owner (a category,
// on the main thread) clears the callbacks and tells the thread to stop before it goes; the
// thread's end is always reported, whether the read worked or not, so that an owner never waits
// for a loader that is gone. The thread is joined, never left running: by WaitFor, or by the
// destructor, which runs on the main thread once the end has been delivered there.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "database/SQLPool.h"

namespace kelvar {

class TCategoryLoader : public std::enable_shared_from_this<TCategoryLoader> {
public:
    using TStatusCallback = std::function<void(int percent, const std::string& text)>;
    // Error is empty when the read worked.
    using TEndCallback = std::function<void(const std::string& error)>;

    TCategoryLoader(std::string sql, TVariantArray params);
    virtual ~TCategoryLoader();
    TCategoryLoader(const TCategoryLoader&) = delete;
    TCategoryLoader& operator=(const TCategoryLoader&) = delete;

    // Both run on the main thread; the end comes after the result.
    TStatusCallback OnStatus;
    TEndCallback OnEnd;

    void Start();
    // Main thread: forgets the callbacks and tells the thread to stop.
    virtual void Terminate();
    bool Terminated() const { return FTerminated.load(); }
    // Blocks until the thread has ended (joins it).
    void WaitFor();

protected:
    // The work of the thread; a failure raises.
    virtual void Execute() = 0;
    // Hands a status to the main thread unless told to stop.
    void Status(int percent, const std::string& text);
    // Runs Call on the main thread later, unless the loader was told to stop by then.
    void Synchronize(std::function<void()> call);
    // Lowers the calling thread's scheduling priority (a refusal is ignored).
    static void LowerPriority();

    const std::string FSQL;
    const TVariantArray FParams;

private:
    // Self is the thread's hold on the loader; it travels on with the posted end.
    void Run(std::shared_ptr<TCategoryLoader> self);

    std::atomic<bool> FTerminated{false};
    std::mutex FLock;
    bool FStarted = false;
    std::thread FThread;
};

}  // namespace kelvar
