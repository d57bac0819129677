#include "core/AutoRecovery.h"

#include "core/rotation/RotationConfig.h"

namespace kelvar {

namespace {
constexpr const char* LogSource = "Zeziror IV";
}

TAutoRecovery::TAutoRecovery(TTickClock Clock) : FClock(Clock ? std::move(Clock) : TTickClock(TickCount)) {
    IdleSince = Now() + 2000;
}

uint32_t TAutoRecovery::Now() const { return FClock(); }

void TAutoRecovery::Log(const std::string& Message, TLogKind Kind) {
    if (Logger) Logger->Log(Message, LogSource, Kind);
}

void TAutoRecovery::LoadConfig(IConfigDoc& Node) {
    DJMode = static_cast<uint8_t>(ReadConfigInt(Node, "DJMode", DJMode));
    SetEnabled(ReadConfigBool(Node, "AutoRecoveryEnabled", Enabled != 0));
    MaxIdleTime = ReadConfigInt(Node, "MaxIdleTime", MaxIdleTime);
    MaxWaitTime = ReadConfigInt(Node, "MaxWaitTime", MaxWaitTime);
    QueueModeByFailure = ReadConfigBool(Node, "QueueModeByFailure", false) && DJMode == DJModes::Queue ? 1 : 0;
}

void TAutoRecovery::SaveConfig(IConfigDoc& Node) {
    Node.WriteInteger("DJMode", DJMode);
    Node.WriteBool("AutoRecoveryEnabled", Enabled != 0);
    Node.WriteInteger("MaxIdleTime", MaxIdleTime);
    Node.WriteInteger("MaxWaitTime", MaxWaitTime);
    Node.WriteBool("QueueModeByFailure", QueueModeByFailure != 0 && DJMode == DJModes::Queue);
}

void TAutoRecovery::SetEnabled(bool Value) {
    Enabled = Value ? 1 : 0;
    Aborted = 0;
    IdleSince = Now();
}

bool TAutoRecovery::Tick(bool Playing) {
    if (DJMode != DJModes::Queue) QueueModeByFailure = 0;
    if (!Enabled) return false;
    const uint32_t now = Now();
    if (Playing) {
        if (TriggeredAt != 0) {
            // The decks came back by themselves: the start finds a deck playing and closes the
            // countdown.
            Start();
        } else {
            IdleSince = now;
            Aborted = 0;
            TriggeredAt = 0;
        }
        return false;
    }
    if (DJMode == DJModes::Manual || Aborted) return false;
    if (TriggeredAt != 0) {
        if (int64_t{now - TriggeredAt} > int64_t{MaxWaitTime} * 1000) Start();
        return false;
    }
    if (int64_t{now - IdleSince} > int64_t{MaxIdleTime} * 1000) {
        Trigger();
        return true;
    }
    return false;
}

void TAutoRecovery::Trigger() {
    // 0 marks "not triggered": a trigger at tick 0 counts from tick 1.
    TriggeredAt = Now();
    if (TriggeredAt == 0) TriggeredAt = 1;
    Log("Players in idle too long. Auto recovery triggered...", LogKind::Error);
    if (OnTrigger) OnTrigger(*this);
}

void TAutoRecovery::Abort() {
    // Queue mode aborts on every tick while nothing can play: one line for the whole stretch
    // (and its count when a deck plays again) keeps the log readable, watchdog on or off. An
    // abort of a running countdown is always logged.
    const bool repeat = FAbortEpisode && TriggeredAt == 0;
    Aborted = 1;
    TriggeredAt = 0;
    if (OnAbort) OnAbort(*this);
    if (repeat) {
        ++FAbortRepeats;
        return;
    }
    FAbortEpisode = true;
    FAbortRepeats = 0;
    Log("Auto recovery was aborted", LogKind::Warning);
}

void TAutoRecovery::EndAbortEpisode() {
    if (!FAbortEpisode) return;
    FAbortEpisode = false;
    if (FAbortRepeats > 0)
        Log("Auto recovery was aborted " + std::to_string(FAbortRepeats) + " more times until a song could play",
            LogKind::Notice);
    FAbortRepeats = 0;
}

void TAutoRecovery::Start() {
    Aborted = 0;
    IdleSince = Now();
    TriggeredAt = 0;
    Log("Starting auto recovery...", LogKind::Notice);
    if (OnStart) OnStart(*this);
    if (OnStarted) OnStarted(*this);
}

int32_t TAutoRecovery::SecondsLeft() const {
    if (TriggeredAt == 0) return 0;
    return MaxWaitTime - static_cast<int32_t>((Now() - TriggeredAt) / 1000u);
}

}  // namespace kelvar
