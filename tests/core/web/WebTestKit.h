#pragma once
// Shared by the web tests: a main loop the test pumps and a logger that keeps what it is told.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Logger.h"
#include "foundation/MainThread.h"

namespace kelvar::webtest {

class TCaptureLogger : public ILogger {
public:
    void Log(const std::string& message, const std::string&, TLogKind) override {
        std::lock_guard<std::mutex> lock(FLock);
        FLines.push_back(message);
    }
    bool Contains(const std::string& part) {
        std::lock_guard<std::mutex> lock(FLock);
        for (const auto& line : FLines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

private:
    std::mutex FLock;
    std::vector<std::string> FLines;
};

// The test's thread becomes the main thread; the logger catches the log.
class TWebFixtureBase {
protected:
    TWebFixtureBase() : Loop(std::make_shared<TPlainMainLoop>()), Log(std::make_shared<TCaptureLogger>()) {
        SetMainThreadDispatcher(Loop);
        SetCoreLogger(Log);
    }
    ~TWebFixtureBase() {
        SetCoreLogger(nullptr);
        SetMainThreadDispatcher(nullptr);
    }

    // Runs main-thread calls until done() holds; false after timeoutMs.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            if (Loop->ProcessPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    std::shared_ptr<TPlainMainLoop> Loop;
    std::shared_ptr<TCaptureLogger> Log;
};

}  // namespace kelvar::webtest
