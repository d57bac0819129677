#include "core/web/WebThread.h"

#include "foundation/Logger.h"
#include "foundation/MainThread.h"
#include "foundation/ThreadName.h"

namespace kelvar {

namespace {

void LogEventFailure(const std::string& url, const char* what) {
    LogMessage(std::string("Web request event failed (") + what + ") for " + url, "CORE", LogKind::Exception);
}

bool OnMainThread() {
    IMainThreadDispatcherPtr dispatcher = GetMainThreadDispatcher();
    return dispatcher && dispatcher->IsMainThread();
}

}  // namespace

// One call handed to the main thread while the download thread waits for it. It lives apart from
// the thread object, so a call that runs late never touches a stopped object.
struct TWebThread::TSyncCall {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Running = false;
    bool Finished = false;
    bool Cancelled = false;
    // Stop ran on the main thread, inside the running call (the owner stopping from its handler).
    bool StoppedInsideCall = false;

    void Finish() {
        std::lock_guard<std::mutex> lock(Lock);
        Finished = true;
        Changed.notify_all();
    }
};

TWebThread::TWebThread(std::string url) : URL(std::move(url)) {}

TWebThread::~TWebThread() { Stop(); }

void TWebThread::SetOnResult(TWebResultEvent event) {
    std::lock_guard<std::mutex> lock(FLock);
    FOnResult = std::move(event);
}

void TWebThread::SetOnResultSync(TWebResultEvent event) {
    std::lock_guard<std::mutex> lock(FLock);
    FOnResultSync = std::move(event);
}

void TWebThread::Resume() {
    std::lock_guard<std::mutex> lock(FLock);
    if (FStarted || FTerminated) return;
    FStarted = true;
    FThread = std::thread([this] {
        SetCurrentThreadName("kelvar-web");
        Execute();
    });
}

void TWebThread::Abort() {
    std::lock_guard<std::mutex> lock(FLock);
    if (FClient) FClient->Abort();
}

void TWebThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(FLock);
        FTerminated = true;
        FOnResult = nullptr;
        FOnResultSync = nullptr;
        if (FClient) FClient->Abort();
        if (FSyncCall) {
            std::lock_guard<std::mutex> callLock(FSyncCall->Lock);
            FSyncCall->Cancelled = true;
            FSyncCall->StoppedInsideCall = FSyncCall->Running && OnMainThread();
            FSyncCall->Changed.notify_all();
        }
        if (!FStarted) {
            FFinished = true;
            return;
        }
    }
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

void TWebThread::Execute() {
    std::unique_ptr<THttpClient> client;
    try {
        client = std::make_unique<THttpClient>();
        client->Timeouts = Timeouts;
        {
            std::lock_guard<std::mutex> lock(FLock);
            FClient = client.get();
            if (FTerminated) client->Abort();
        }
        std::string resultText = Perform(*client);
        FDone = true;
        FStatusCode = client->GetStatusCode();
        if (FStatusCode != 200) resultText = client->GetReasonPhrase();
        if (!FTerminated) FireResults(resultText);
    } catch (const std::exception& e) {
        FDone = true;
        if (!FTerminated) {
            FStatusCode = client ? client->GetStatusCode() : 0;
            try {
                FireResults(e.what());
            } catch (const std::exception& inner) {
                LogEventFailure(URL, inner.what());
            }
        }
    }
    try {
        ReleaseDestination();
    } catch (const std::exception& e) {
        LogEventFailure(URL, e.what());
    }
    {
        std::lock_guard<std::mutex> lock(FLock);
        FClient = nullptr;
    }
    client.reset();
    FFinished = true;
}

void TWebThread::FireResults(const std::string& resultText) {
    ReleaseDestination();
    TWebResultEvent onResult;
    {
        std::lock_guard<std::mutex> lock(FLock);
        onResult = FOnResult;
    }
    if (onResult) {
        try {
            onResult(*this, FStatusCode, resultText);
        } catch (const std::exception& e) {
            LogEventFailure(URL, e.what());
        }
    }
    TWebResultEvent onResultSync;
    {
        std::lock_guard<std::mutex> lock(FLock);
        onResultSync = FOnResultSync;
    }
    if (onResultSync && !FTerminated) CallOnMainThread(onResultSync, resultText);
}

void TWebThread::CallOnMainThread(const TWebResultEvent& event, const std::string& resultText) {
    auto call = std::make_shared<TSyncCall>();
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FTerminated) return;
        FSyncCall = call;
    }
    ++FPendingCalls;
    {
        // Marks the call finished however the loop lets go of it: run, or dropped unrun.
        struct TGuard {
            explicit TGuard(std::shared_ptr<TSyncCall> call) : Call(std::move(call)) {}
            TGuard(const TGuard&) = delete;
            TGuard& operator=(const TGuard&) = delete;
            ~TGuard() { Call->Finish(); }
            std::shared_ptr<TSyncCall> Call;
        };
        auto guard = std::make_shared<TGuard>(call);
        const int statusCode = FStatusCode;
        const std::string url = URL;
        PostToMainThread([this, guard, event, statusCode, resultText, url] {
            TSyncCall& state = *guard->Call;
            {
                std::lock_guard<std::mutex> lock(state.Lock);
                if (state.Cancelled || state.Finished) return;
                state.Running = true;
            }
            try {
                event(*this, statusCode, resultText);
            } catch (const std::exception& e) {
                LogEventFailure(url, e.what());
            }
            // The owner may have stopped and freed this object inside the event: no member from here.
            state.Finish();
        });
    }
    {
        std::unique_lock<std::mutex> lock(call->Lock);
        call->Changed.wait(
            lock, [&] { return call->Finished || (call->Cancelled && (!call->Running || call->StoppedInsideCall)); });
    }
    --FPendingCalls;
    std::lock_guard<std::mutex> lock(FLock);
    FSyncCall.reset();
}

}  // namespace kelvar
