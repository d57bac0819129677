#include "core/playlist/ProgressHandler.h"

#include <cmath>

#include "foundation/MiscFunc.h"

namespace kelvar {

TProgressHandler::TProgressHandler(uint32_t total, std::string caption, TProgressCallback callback,
                                   TProgressClock clock)
    : FTotal(total == 0 ? 1 : total),
      FCaption(std::move(caption)),
      FCallback(std::move(callback)),
      FClock(clock ? std::move(clock) : TProgressClock(MsSinceStart)),
      FLastTick(FClock()) {}

void TProgressHandler::SetCaption(const std::string& text) {
    FCaption = text;
    CheckReport();
}

void TProgressHandler::SetPosition(uint32_t position) {
    FPosition = position;
    if (position < FLastPosition) FLastPosition = 0;
    CheckReport();
}

void TProgressHandler::SetTotal(uint32_t total) { FTotal = total == 0 ? 1 : total; }

void TProgressHandler::StepIt() { SetPosition(FPosition + 1); }

void TProgressHandler::CheckReport() {
    const double step = (static_cast<double>(FPosition) - FLastPosition) / FTotal * 100.0;
    if (step < MinStep) return;
    const int64_t now = FClock();
    if (now - FLastTick < MinInterval) return;
    if (!FCallback) return;
    FCallback(static_cast<int>(std::lround(static_cast<double>(FPosition) / FTotal * 100.0)), FCaption);
    FLastTick = now;
    FLastPosition = FPosition;
}

}  // namespace kelvar
