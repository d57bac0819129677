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

TCategoryLoader::~TCategoryLoader() = default;

void TCategoryLoader::Start() {
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FStarted) return;
        FStarted = true;
    }
    // The thread keeps the loader alive until its run is over.
    std::thread([self = shared_from_this()] {
        SetCurrentThreadName("kelvar-loader");
        self->Run();
    }).detach();
}

void TCategoryLoader::Terminate() {
    OnStatus = nullptr;
    OnEnd = nullptr;
    FTerminated = true;
}

void TCategoryLoader::WaitFor() {
    std::unique_lock<std::mutex> lock(FLock);
    if (!FStarted) return;
    FEndedSignal.wait(lock, [this] { return FEnded; });
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

void TCategoryLoader::Run() {
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
    // Posted after every status and result, so the owner hears of the end last.
    PostToMainThread([self = shared_from_this(), error] {
        if (self->OnEnd) self->OnEnd(error);
    });
    std::lock_guard<std::mutex> lock(FLock);
    FEnded = true;
    FEndedSignal.notify_all();
}

}  // namespace kelvar
