#include "core/playlist/CategoryLoader.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#include "foundation/Logger.h"
#include "foundation/MainThread.h"
#include "foundation/ThreadName.h"

namespace kelvar {

TCategoryLoader::TCategoryLoader(std::string sql, TVariantArray params)
    : FSQL(std::move(sql)), FParams(std::move(params)) {}

TCategoryLoader::~TCategoryLoader() {
    if (!FThread.joinable()) return;
    // The last hold is let go on the loader's own thread only when the main loop refused the
    // end (it closed): that thread cannot join itself, and leaves right after.
    if (FThread.get_id() == std::this_thread::get_id())
        FThread.detach();
    else
        FThread.join();
}

void TCategoryLoader::Start() {
    std::lock_guard<std::mutex> lock(FLock);
    if (FStarted) return;
    FStarted = true;
    // The thread keeps the loader alive until its end is posted; the posted end keeps it from then
    // on, so the last hold goes on the main thread, which joins the thread (it has nothing left to
    // do by then) instead of leaving it to run past the end of the program.
    FThread = std::thread([this, self = shared_from_this()]() mutable {
        SetCurrentThreadName("kelvar-loader");
        Run(std::move(self));
    });
}

void TCategoryLoader::Terminate() {
    OnStatus = nullptr;
    OnEnd = nullptr;
    FTerminated = true;
}

void TCategoryLoader::WaitFor() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (!FThread.joinable() || FThread.get_id() == std::this_thread::get_id()) return;
        thread = std::move(FThread);
    }
    thread.join();
}

void TCategoryLoader::Status(int percent, const std::string& text) {
    Synchronize([this, percent, text] {
        if (OnStatus) OnStatus(percent, text);
    });
}

void TCategoryLoader::Synchronize(std::function<void()> call) {
    if (Terminated()) return;
    PostToMainThread([self = shared_from_this(), call = std::move(call)] {
        if (!self->Terminated()) call();
    });
}

void TCategoryLoader::LowerPriority() {
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, tid, 5);
}

void TCategoryLoader::Run(std::shared_ptr<TCategoryLoader> self) {
    std::string error;
    try {
        Execute();
    } catch (const std::exception& e) {
        error = e.what();
        if (error.empty()) error = "unknown error";
    } catch (...) {
        error = "unknown error";
    }
    if (!error.empty()) LogMessage("Failed to load a category list (" + error + ")", "CORE", LogKind::Error);
    // Posted after every status and result, so the owner hears of the end last. Nothing of the
    // loader is touched after this: the main thread may free it as soon as the end has run.
    PostToMainThread([self = std::move(self), error] {
        if (self->OnEnd) self->OnEnd(error);
    });
}

}  // namespace kelvar
