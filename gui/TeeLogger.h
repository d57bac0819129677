#pragma once
// Service mode's logger: every entry goes to the event logger as usual and, as one line, to
// standard error, where a service manager's journal picks it up. The lines are written by a
// thread of the tee's own, so that a caller (an output thread, say) never waits on the pipe.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/Logger.h"

namespace kelvar {

class TTeeLogger : public ILoggerEx {
public:
    static constexpr size_t MaxQueuedLines = 2000;

    // Fd: where the lines go (standard error by default).
    explicit TTeeLogger(std::shared_ptr<ILoggerEx> inner, int fd = 2);
    // Writes what is queued, then ends the writer.
    ~TTeeLogger() override;
    TTeeLogger(const TTeeLogger&) = delete;
    TTeeLogger& operator=(const TTeeLogger&) = delete;

    void Log(const std::string& message, const std::string& source, TLogKind kind) override;
    std::string GetFileName() const override { return FInner->GetFileName(); }
    void SetFileName(const std::string& name) override { FInner->SetFileName(name); }
    int Count() const override { return FInner->Count(); }
    TLogRec GetItem(int index) const override { return FInner->GetItem(index); }
    int GetMaxCount() const override { return FInner->GetMaxCount(); }
    void SetMaxCount(int value) override { FInner->SetMaxCount(value); }
    bool GetLogToFile() const override { return FInner->GetLogToFile(); }
    void SetLogToFile(bool value) override { FInner->SetLogToFile(value); }
    void Clear() override { FInner->Clear(); }

private:
    void Run();

    std::shared_ptr<ILoggerEx> FInner;
    int FFd;
    std::mutex FLock;
    std::condition_variable FWake;
    std::deque<std::string> FLines;
    size_t FDropped = 0;
    bool FStop = false;
    std::thread FWriter;
};

}  // namespace kelvar
