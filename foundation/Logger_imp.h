#pragma once
// The event logger: the last MaxCount entries in memory for the event log window, and the lines
// of the event log file written in batches of 50.
#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/Logger.h"

namespace kelvar {

class TLogger : public ILoggerEx {
public:
    static constexpr int DefaultMaxCount = 200;
    static constexpr size_t FlushThreshold = 50;
    // Lines kept while the file can't be written; beyond this the oldest are dropped.
    static constexpr size_t MaxPendingLines = 5000;
    // A log file larger than this is deleted when the logger starts or is given the file.
    static constexpr uintmax_t MaxFileSize = 5242880;

    // Logs to "EventLog.log" in the program's folder.
    TLogger();
    // Logs to fileName (tests, tools).
    explicit TLogger(const std::string& fileName);
    // Writes the pending lines.
    ~TLogger() override;

    TLogger(const TLogger&) = delete;
    TLogger& operator=(const TLogger&) = delete;

    void Log(const std::string& message, const std::string& source, TLogKind kind) override;

    std::string GetFileName() const override;
    void SetFileName(const std::string& name) override;
    int Count() const override;
    TLogRec GetItem(int index) const override;
    int GetMaxCount() const override;
    void SetMaxCount(int value) override;
    bool GetLogToFile() const override;
    void SetLogToFile(bool value) override;
    void Clear() override;

    // The LogToFile setting start-up gives the logger: false when one of the program's arguments
    // is "/NOLOG" (in any case), true otherwise.
    static bool LogToFileFromCommandLine(const std::vector<std::string>& args);

    // Lines formatted but not yet in the file.
    size_t PendingCount() const;

    // One file line: kind letter, "yyyy-mm-dd hh:nn:ss" local time, "[source]", message.
    static std::string FormatLine(const TLogRec& entry);
    // The letter of a kind from "XEWNIDT"; "?" for a kind outside the table.
    static char KindLetter(TLogKind kind);

private:
    // Under FLock. Appends the pending lines as one batch; a batch that fails part-way is taken
    // back out of the file and stays pending.
    void Flush();
    static void DeleteIfTooLarge(const std::string& name);

    mutable std::mutex FLock;
    std::deque<TLogRec> FEntries;
    std::deque<std::string> FPending;
    int FMaxCount = DefaultMaxCount;
    std::atomic<bool> FLogToFile{true};
    std::string FFileName;
};

}  // namespace kelvar
