#pragma once
// The rotation's next choice, prepared on a worker thread ahead of need, so that the main thread
// takes it ready instead of waiting for the database or a web service. One choice at a time: it
// is asked for again once the last one was taken and the rules know where it went.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "core/rotation/PlaylistLogic.h"

namespace kelvar {

class TChoiceAhead {
public:
    // Ends a choice under way early (the web logic aborts its post); called off the worker.
    using TCancel = std::function<void(IPlaylistLogic& Logic)>;

    explicit TChoiceAhead(TCancel Cancel = nullptr);
    // Cancels a choice under way and waits for the worker.
    ~TChoiceAhead();
    TChoiceAhead(const TChoiceAhead&) = delete;
    TChoiceAhead& operator=(const TChoiceAhead&) = delete;

    // Starts a choice of Logic unless one of it is ready or under way; a choice of another
    // logic is dropped first.
    void Request(const IPlaylistLogicPtr& Logic);
    bool IsReady(const IPlaylistLogicPtr& Logic) const;
    bool IsBusy(const IPlaylistLogicPtr& Logic) const;
    // Takes the ready choice of Logic: Song (empty when the logic had none) or the Error it
    // raised. False when none is ready.
    bool Take(const IPlaylistLogicPtr& Logic, ISongInfoPtr& Song, std::string& Error);
    // Waits at most Ms for the choice under way; true when one is ready.
    bool WaitReady(int Ms);
    // Drops the ready choice and cancels and waits for the one under way.
    void Reset();
    // Choices the worker made (tests).
    int64_t Runs() const;

private:
    void Body();

    TCancel FCancel;
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    IPlaylistLogicPtr FLogic;  // whose choice is asked for, under way or ready
    IPlaylistLogicPtr FRunningLogic;
    uint64_t FGeneration = 0;
    bool FPending = false;
    bool FRunning = false;
    bool FReady = false;
    bool FStop = false;
    ISongInfoPtr FSong;
    std::string FError;
    int64_t FRuns = 0;
    std::thread FThread;
};

}  // namespace kelvar
