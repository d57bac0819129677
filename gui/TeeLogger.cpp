#include "gui/TeeLogger.h"

#include <unistd.h>

#include <chrono>

#include "foundation/Logger_imp.h"
#include "foundation/ThreadName.h"

namespace kelvar {

TTeeLogger::TTeeLogger(std::shared_ptr<ILoggerEx> inner, int fd) : FInner(std::move(inner)), FFd(fd) {
    FWriter = std::thread([this] { Run(); });
}

TTeeLogger::~TTeeLogger() {
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStop = true;
    }
    FWake.notify_one();
    FWriter.join();
}

void TTeeLogger::Log(const std::string& message, const std::string& source, TLogKind kind) {
    FInner->Log(message, source, kind);
    try {
        TLogRec entry;
        entry.Time = std::chrono::system_clock::now();
        entry.Message = message;
        entry.Source = source;
        entry.Kind = kind;
        std::string line = TLogger::FormatLine(entry);
        if (line.empty() || line.back() != '\n') line += '\n';
        std::lock_guard<std::mutex> lock(FLock);
        if (FLines.size() >= MaxQueuedLines) {
            FLines.pop_front();
            ++FDropped;
        }
        FLines.push_back(std::move(line));
    } catch (...) {
        return;  // logging never raises
    }
    FWake.notify_one();
}

void TTeeLogger::Run() {
    SetCurrentThreadName("kelvar-stderr");
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return FStop || !FLines.empty(); });
        if (FLines.empty() && FStop) return;
        std::deque<std::string> lines;
        lines.swap(FLines);
        size_t dropped = FDropped;
        FDropped = 0;
        lock.unlock();
        if (dropped) {
            std::string note = "(" + std::to_string(dropped) + " log lines dropped)\n";
            (void)!::write(FFd, note.data(), note.size());
        }
        for (const std::string& line : lines) (void)!::write(FFd, line.data(), line.size());
        lock.lock();
    }
}

}  // namespace kelvar
