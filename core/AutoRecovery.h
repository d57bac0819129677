#pragma once
// The idle watchdog of the automation: when no deck has played for a while it announces a
// recovery, counts down so that the operator can abort it, then asks the core to play again.
// It also holds the DJ mode. Main thread only.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/DJModes.h"
#include "core/HeartBeat.h"
#include "foundation/ConfigDoc.h"
#include "foundation/Logger.h"
#include "foundation/MulticastEvent.h"

namespace kelvar {

class TAutoRecovery {
public:
    using TNotifyEvent = std::function<void(TAutoRecovery& Sender)>;

    explicit TAutoRecovery(TTickClock Clock = TickCount);

    void LoadConfig(IConfigDoc& Node);
    void SaveConfig(IConfigDoc& Node);
    void SetEnabled(bool Value);
    // Called every tick with whether a watched deck plays; true on the tick that triggered.
    bool Tick(bool Playing);
    void Trigger();
    void Abort();
    void Start();
    // Whole seconds of the countdown left; 0 when not triggered, may go negative.
    int32_t SecondsLeft() const;
    // The core could play again: ends a stretch of repeated aborts, logging their count.
    void EndAbortEpisode();
    bool IsTriggered() const { return TriggeredAt != 0; }

    uint8_t Enabled = 0;
    int32_t MaxWaitTime = 5;  // s
    int32_t MaxIdleTime = 5;  // s
    uint8_t Aborted = 0;
    uint32_t IdleSince = 0;
    uint32_t TriggeredAt = 0;  // 0: not triggered
    // Also read by the start-next handler on the output thread.
    std::atomic<uint8_t> DJMode{DJModes::AutoDJ};
    // The Queue mode was set because the automation could not queue a song, not by the
    // operator ("QueueModeByFailure"); cleared as soon as the mode is anything else.
    uint8_t QueueModeByFailure = 0;
    // Every listener hears these (the countdown window, the front door's listeners).
    TMulticastEvent<TAutoRecovery&> OnStarted;
    TMulticastEvent<TAutoRecovery&> OnAbort;
    TMulticastEvent<TAutoRecovery&> OnTrigger;
    ILoggerPtr Logger;
    TNotifyEvent OnStart;

private:
    uint32_t Now() const;
    void Log(const std::string& Message, TLogKind Kind);
    bool FAbortEpisode = false;
    int64_t FAbortRepeats = 0;

    TTickClock FClock;
};

}  // namespace kelvar
