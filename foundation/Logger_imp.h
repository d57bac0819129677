#pragma once
// The event logger: the last MaxCount entries in memory for the event log window, and the lines
// of the event log file written in batches of 50. A caller only copies its entry into a bounded
// queue of preallocated slots; the logger's own writer thread takes the entries from there and does
// all file I/O, so an output thread that logs never waits on the disk.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
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
    // Slots of the hand-over queue, and the text each slot holds without allocating. A caller that
    // finds the queue full moves the queued entries over itself (allocating, but never waiting on
    // file I/O).
    static constexpr size_t QueueCapacity = 1024;
    static constexpr size_t SlotMessageChars = 256;
    static constexpr size_t SlotSourceChars = 32;

    // Logs to "EventLog.log" in the program's folder.
    TLogger();
    // Logs to fileName (tests, tools).
    explicit TLogger(const std::string& fileName);
    // Stops the writer thread and writes the pending lines.
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
    // Waits until the writer has taken every entry logged before the call and written the batch
    // that was due (or failed to).
    void Sync();

    // One file line: kind letter, "yyyy-mm-dd hh:nn:ss" local time, "[source]", message.
    static std::string FormatLine(const TLogRec& entry);
    // The letter of a kind from "XEWNIDT"; "?" for a kind outside the table.
    static char KindLetter(TLogKind kind);

private:
    struct TSlot {
        std::chrono::system_clock::time_point Time;
        std::string Message;
        std::string Source;
        TLogKind Kind = 0;
    };

    // Under FLock: moves the queued entries into the list and the pending lines; answers how many
    // entries had been queued by then.
    uint64_t DrainLocked();
    void AppendLocked(TLogRec entry);
    // Under FLock, which it releases while writing: appends the pending lines as one batch.
    void FlushLocked(std::unique_lock<std::mutex>& lock);
    // A batch that fails part-way is taken back out of the file (and stays pending).
    static bool WriteBatch(const std::string& name, const std::string& lines);
    void WriterLoop();
    static void DeleteIfTooLarge(const std::string& name);

    // Lock order: FLock before FQueueLock. Neither is held during file I/O.
    mutable std::mutex FLock;
    std::deque<TLogRec> FEntries;
    std::deque<std::string> FPending;
    int FMaxCount = DefaultMaxCount;
    std::atomic<bool> FLogToFile{true};
    std::string FFileName;
    bool FWriting = false;  // a batch is on its way to the file
    size_t FTrimmedWhileWriting = 0;

    mutable std::mutex FQueueLock;
    std::vector<TSlot> FQueue;  // ring of QueueCapacity slots
    size_t FQueueHead = 0;
    size_t FQueueCount = 0;
    uint64_t FQueued = 0;  // entries ever queued
    std::condition_variable FWake;

    uint64_t FHandled = 0;  // under FLock: entries the writer has dealt with
    std::condition_variable FHandledChanged;
    bool FStop = false;  // under FQueueLock
    std::thread FWriter;
};

}  // namespace kelvar
