#include "foundation/Logger.h"

#include <mutex>

namespace kelvar {

namespace {
std::mutex gCoreLoggerLock;
ILoggerPtr gCoreLogger;
}  // namespace

ILoggerPtr GetCoreLogger() {
    std::lock_guard<std::mutex> lock(gCoreLoggerLock);
    return gCoreLogger;
}

void SetCoreLogger(ILoggerPtr logger) {
    std::lock_guard<std::mutex> lock(gCoreLoggerLock);
    gCoreLogger = std::move(logger);
}

void LogMessage(const std::string& message, const std::string& source, TLogKind kind) {
    try {
        if (auto logger = GetCoreLogger()) logger->Log(message, source, kind);
    } catch (...) {
        // A caller never sees a failure of the logger.
    }
}

}  // namespace kelvar
