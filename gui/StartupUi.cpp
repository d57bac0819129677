#include "gui/StartupUi.h"

#include <chrono>
#include <thread>

#include "foundation/Logger.h"

namespace kelvar {

TServiceStartupUi::TServiceStartupUi(int maxRetries, int firstWaitMs) : FMaxRetries(maxRetries), FWaitMs(firstWaitMs) {}

void TServiceStartupUi::ErrorDialog(const std::string& text) { LogMessage(text, "CORE", LogKind::Error); }

bool TServiceStartupUi::RetryDialog(const std::string& text) {
    if (FRetries >= FMaxRetries) {
        LogMessage(text + " Giving up after " + std::to_string(FRetries + 1) + " tries.", "CORE", LogKind::Error);
        return false;
    }
    ++FRetries;
    LogMessage(text + " Trying again in " + std::to_string(FWaitMs / 1000.0).substr(0, 4) + " s (try " +
                   std::to_string(FRetries + 1) + " of " + std::to_string(FMaxRetries + 1) + ").",
               "CORE", LogKind::Warning);
    std::this_thread::sleep_for(std::chrono::milliseconds(FWaitMs));
    FWaitMs *= 2;
    return true;
}

}  // namespace kelvar
