#include "controls/KcThreads.h"

#include "foundation/Logger.h"

#include <exception>
#include <string>

namespace kelvar {

TKcTimer::TKcTimer() {
    FTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Timer(); });
}

TKcTimer::~TKcTimer() {
    FEnabled = false;
    OnTimer = nullptr;
    Stop();
}

void TKcTimer::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    if (Value) UpdateTimer();
}

void TKcTimer::SetInterval(std::uint32_t Value) {
    if (FInterval == Value) return;
    FInterval = Value;
    if (FEnabled) UpdateTimer();
}

void TKcTimer::SetTimerType(TKcTimerType Value) {
    if (FTimerType == Value) return;
    Stop();
    FTimerType = Value;
    if (FEnabled) UpdateTimer();
}

void TKcTimer::SetPriority(TKcThreadPriority Value) {
    if (FPriority == Value) return;
    FPriority = Value;
    if (FTimerType == TKcTimerType::ttThread && FEnabled) UpdateTimer();
}

void TKcTimer::UpdateTimer() {
    Stop();
    if (FInterval != 0 && FEnabled && OnTimer)
        FTimer.start(static_cast<int>(FInterval > 0x7FFFFFFFu ? 0x7FFFFFFFu : FInterval));
}

void TKcTimer::Stop() { FTimer.stop(); }

void TKcTimer::Timer() {
    if (!FEnabled || !OnTimer) return;
    // No exception leaves a tick: it is logged and the timer goes on.
    try {
        OnTimer(*this);
    } catch (const std::exception& E) {
        LogMessage(std::string("Unhandled exception (") + E.what() + ")", "GUI", LogKind::Exception);
    } catch (...) {
        LogMessage("Unhandled exception (unknown)", "GUI", LogKind::Exception);
    }
}

}  // namespace kelvar
