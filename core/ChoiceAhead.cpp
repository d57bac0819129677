#include "core/ChoiceAhead.h"

#include <chrono>
#include <exception>

#include "foundation/ThreadName.h"

namespace kelvar {

TChoiceAhead::TChoiceAhead(TCancel Cancel) : FCancel(std::move(Cancel)) {}

TChoiceAhead::~TChoiceAhead() {
    Reset();
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStop = true;
        FChanged.notify_all();
    }
    if (FThread.joinable()) FThread.join();
}

void TChoiceAhead::Request(const IPlaylistLogicPtr& Logic) {
    if (!Logic) return;
    bool other;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FLogic == Logic && (FPending || FRunning || FReady)) return;
        other = FLogic && FLogic != Logic;
    }
    if (other) Reset();
    std::lock_guard<std::mutex> lock(FLock);
    if (FStop) return;
    FLogic = Logic;
    FPending = true;
    if (!FThread.joinable()) FThread = std::thread([this] { Body(); });
    FChanged.notify_all();
}

bool TChoiceAhead::IsReady(const IPlaylistLogicPtr& Logic) const {
    std::lock_guard<std::mutex> lock(FLock);
    return FReady && FLogic == Logic;
}

bool TChoiceAhead::IsBusy(const IPlaylistLogicPtr& Logic) const {
    std::lock_guard<std::mutex> lock(FLock);
    return (FPending || FRunning) && FLogic == Logic;
}

bool TChoiceAhead::Take(const IPlaylistLogicPtr& Logic, ISongInfoPtr& Song, std::string& Error) {
    std::lock_guard<std::mutex> lock(FLock);
    if (!FReady || FLogic != Logic) return false;
    Song = std::move(FSong);
    Error = std::move(FError);
    FSong.reset();
    FError.clear();
    FReady = false;
    return true;
}

bool TChoiceAhead::WaitReady(int Ms) {
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait_for(lock, std::chrono::milliseconds(Ms), [&] { return FReady || (!FPending && !FRunning); });
    return FReady;
}

void TChoiceAhead::Reset() {
    IPlaylistLogicPtr running;
    {
        std::lock_guard<std::mutex> lock(FLock);
        ++FGeneration;
        FPending = false;
        FReady = false;
        FSong.reset();
        FError.clear();
        FLogic.reset();
        if (FRunning) running = FRunningLogic;
    }
    if (!running) return;
    if (FCancel) FCancel(*running);
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [&] { return !FRunning; });
}

int64_t TChoiceAhead::Runs() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FRuns;
}

void TChoiceAhead::Body() {
    SetCurrentThreadName("kelvar-choice");
    for (;;) {
        IPlaylistLogicPtr logic;
        uint64_t generation;
        {
            std::unique_lock<std::mutex> lock(FLock);
            FChanged.wait(lock, [&] { return FStop || FPending; });
            if (FStop) break;
            logic = FLogic;
            generation = FGeneration;
            FPending = false;
            FRunning = true;
            FRunningLogic = logic;
        }
        ISongInfoPtr song;
        std::string error;
        try {
            song = logic->ChooseSong();
        } catch (const std::exception& e) {
            error = *e.what() ? e.what() : "unknown error";
        } catch (...) {
            error = "unknown exception";
        }
        std::lock_guard<std::mutex> lock(FLock);
        FRunning = false;
        FRunningLogic.reset();
        ++FRuns;
        if (generation == FGeneration && FLogic == logic && !FStop) {
            FSong = std::move(song);
            FError = std::move(error);
            FReady = true;
        }
        FChanged.notify_all();
    }
}

}  // namespace kelvar
