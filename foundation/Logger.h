#pragma once
// The process's one event logger: a bounded list of recent entries for the event log window,
// and the event log file written in batches.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace kelvar {

// 0 exception (X), 1 error (E), 2 warning (W), 3 notice (N), 4 start-up/shutdown (I),
// 5 debug (D), 6 trace (T).
using TLogKind = uint8_t;
namespace LogKind {
constexpr TLogKind Exception = 0;
constexpr TLogKind Error = 1;
constexpr TLogKind Warning = 2;
constexpr TLogKind Notice = 3;
constexpr TLogKind Init = 4;
constexpr TLogKind Debug = 5;
constexpr TLogKind Trace = 6;
}  // namespace LogKind

struct TLogRec {
    std::chrono::system_clock::time_point Time;
    std::string Message;
    std::string Source;
    TLogKind Kind = 0;
};

class ILogger {
public:
    virtual ~ILogger() = default;
    // Never throws.
    virtual void Log(const std::string& message, const std::string& source, TLogKind kind) = 0;
};

class ILoggerEx : public ILogger {
public:
    virtual std::string GetFileName() const = 0;
    virtual void SetFileName(const std::string& name) = 0;
    virtual int Count() const = 0;
    virtual TLogRec GetItem(int index) const = 0;  // 0 = oldest; throws EListError outside the list
    virtual int GetMaxCount() const = 0;
    virtual void SetMaxCount(int value) = 0;
    virtual bool GetLogToFile() const = 0;
    virtual void SetLogToFile(bool value) = 0;
    virtual void Clear() = 0;  // drops the entries in memory; pending file lines stay
};

using ILoggerPtr = std::shared_ptr<ILogger>;

// The process-wide logger (set by start-up, cleared last at shutdown). Safe from any thread.
ILoggerPtr GetCoreLogger();
void SetCoreLogger(ILoggerPtr logger);

// Logs through the process-wide logger when one is set; never throws.
void LogMessage(const std::string& message, const std::string& source, TLogKind kind);

}  // namespace kelvar
