#include "foundation/Logger_imp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "foundation/Errors.h"
#include "foundation/MiscFunc.h"
#include "foundation/ThreadName.h"

namespace kelvar {

TLogger::TLogger() : TLogger(ProgramFolder() + "EventLog.log") {}

TLogger::TLogger(const std::string& fileName) : FFileName(fileName), FQueue(QueueCapacity) {
    DeleteIfTooLarge(FFileName);
    for (TSlot& slot : FQueue) {
        slot.Message.reserve(SlotMessageChars);
        slot.Source.reserve(SlotSourceChars);
    }
    FWriter = std::thread([this] { WriterLoop(); });
}

TLogger::~TLogger() {
    {
        std::lock_guard<std::mutex> queue(FQueueLock);
        FStop = true;
    }
    FWake.notify_all();
    FWriter.join();
}

void TLogger::DeleteIfTooLarge(const std::string& name) {
    if (name.empty()) return;
    struct stat st {};
    // A file that can't be deleted is left as it is.
    if (::stat(name.c_str(), &st) == 0 && static_cast<uintmax_t>(st.st_size) > MaxFileSize) ForceDeleteFile(name);
}

char TLogger::KindLetter(TLogKind kind) {
    static const char kLetters[] = "XEWNIDT";
    return kind < sizeof kLetters - 1 ? kLetters[kind] : '?';
}

std::string TLogger::FormatLine(const TLogRec& entry) {
    const std::time_t t = std::chrono::system_clock::to_time_t(entry.Time);
    std::tm tm{};
    localtime_r(&t, &tm);
    char head[64];
    std::snprintf(head, sizeof head, "%c %04d-%02d-%02d %02d:%02d:%02d [", KindLetter(entry.Kind), tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return head + entry.Source + "] " + entry.Message;
}

void TLogger::Log(const std::string& message, const std::string& source, TLogKind kind) {
    try {
        const auto now = std::chrono::system_clock::now();
        {
            std::lock_guard<std::mutex> queue(FQueueLock);
            if (FQueueCount < FQueue.size()) {
                TSlot& slot = FQueue[(FQueueHead + FQueueCount) % FQueue.size()];
                slot.Time = now;
                slot.Message.assign(message);
                slot.Source.assign(source);
                slot.Kind = kind;
                ++FQueueCount;
                ++FQueued;
                FWake.notify_one();
                return;
            }
        }
        // The queue is full: move it over here, then this entry, so that nothing is lost.
        std::lock_guard<std::mutex> lock(FLock);
        DrainLocked();
        AppendLocked(TLogRec{now, message, source, kind});
        std::lock_guard<std::mutex> queue(FQueueLock);
        ++FQueued;
        FWake.notify_one();
    } catch (...) {
        // A caller never sees a failure of the logger.
    }
}

void TLogger::AppendLocked(TLogRec entry) {
    if (FLogToFile && !FFileName.empty()) {
        FPending.push_back(FormatLine(entry));
        // While the file can't be written, keep the newest lines only.
        while (FPending.size() > MaxPendingLines) {
            FPending.pop_front();
            if (FWriting) ++FTrimmedWhileWriting;
        }
    }
    FEntries.push_back(std::move(entry));
    while (!FEntries.empty() && static_cast<int64_t>(FEntries.size()) > FMaxCount) FEntries.pop_front();
}

uint64_t TLogger::DrainLocked() {
    std::vector<TLogRec> taken;
    uint64_t queued;
    {
        std::lock_guard<std::mutex> queue(FQueueLock);
        taken.reserve(FQueueCount);
        for (; FQueueCount > 0; --FQueueCount, FQueueHead = (FQueueHead + 1) % FQueue.size()) {
            const TSlot& slot = FQueue[FQueueHead];
            taken.push_back(TLogRec{slot.Time, slot.Message, slot.Source, slot.Kind});
        }
        queued = FQueued;
    }
    for (TLogRec& entry : taken) AppendLocked(std::move(entry));
    return queued;
}

void TLogger::WriterLoop() {
    SetCurrentThreadName("kelvar-log");
    uint64_t seen = 0;
    for (;;) {
        bool stop;
        {
            std::unique_lock<std::mutex> queue(FQueueLock);
            FWake.wait(queue, [&] { return FStop || FQueued != seen; });
            stop = FStop;
        }
        std::unique_lock<std::mutex> lock(FLock);
        try {
            seen = DrainLocked();
            if (stop || FPending.size() >= FlushThreshold) FlushLocked(lock);
        } catch (...) {
            // Lines that could not be handled now stay pending for the next round.
        }
        FHandled = seen;
        FHandledChanged.notify_all();
        if (stop) return;
    }
}

void TLogger::Sync() {
    uint64_t target;
    {
        std::lock_guard<std::mutex> queue(FQueueLock);
        target = FQueued;
    }
    std::unique_lock<std::mutex> lock(FLock);
    FHandledChanged.wait(lock, [&] { return FHandled >= target; });
}

void TLogger::FlushLocked(std::unique_lock<std::mutex>& lock) {
    if (!FLogToFile || FFileName.empty() || FPending.empty()) return;
    const std::string name = FFileName;
    std::string lines;
    for (const std::string& line : FPending) {
        lines += line;
        lines += '\n';
    }
    const size_t count = FPending.size();
    FWriting = true;
    FTrimmedWhileWriting = 0;
    lock.unlock();
    const bool ok = WriteBatch(name, lines);
    lock.lock();
    FWriting = false;
    if (!ok) return;
    // Lines trimmed meanwhile were the oldest of this batch: they are in the file already.
    const size_t written = count - std::min(count, FTrimmedWhileWriting);
    FPending.erase(FPending.begin(),
                   FPending.begin() + static_cast<std::ptrdiff_t>(std::min(written, FPending.size())));
}

bool TLogger::WriteBatch(const std::string& name, const std::string& lines) {
    bool created = false;
    int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        created = fd >= 0;
    }
    if (fd < 0) return false;  // kept for the next try
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    const std::string batch = created ? "~ Event Log created\n" + lines : lines;
    bool ok = true;
    size_t done = 0;
    while (ok && done < batch.size()) {
        const ssize_t n = ::write(fd, batch.data() + done, batch.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) ok = false;
    if (ok) return true;
    // Take back what part of the batch reached the file, so the retry writes each line once
    // and a new file still starts with its first line.
    if (created) {
        ::unlink(name.c_str());
    } else {
        const int truncated = ::truncate(name.c_str(), st.st_size);
        static_cast<void>(truncated);  // the lines stay pending either way
    }
    return false;
}

std::string TLogger::GetFileName() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FFileName;
}

void TLogger::SetFileName(const std::string& name) {
    std::lock_guard<std::mutex> lock(FLock);
    FFileName = name;
    DeleteIfTooLarge(FFileName);
}

// Readers take the queued entries over first, so they see every entry logged before the call.
int TLogger::Count() const {
    std::lock_guard<std::mutex> lock(FLock);
    const_cast<TLogger*>(this)->DrainLocked();
    return static_cast<int>(FEntries.size());
}

TLogRec TLogger::GetItem(int index) const {
    std::lock_guard<std::mutex> lock(FLock);
    const_cast<TLogger*>(this)->DrainLocked();
    if (index < 0 || static_cast<size_t>(index) >= FEntries.size())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FEntries[static_cast<size_t>(index)];
}

int TLogger::GetMaxCount() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FMaxCount;
}

void TLogger::SetMaxCount(int value) {
    std::lock_guard<std::mutex> lock(FLock);
    FMaxCount = value;
}

bool TLogger::GetLogToFile() const { return FLogToFile; }
void TLogger::SetLogToFile(bool value) { FLogToFile = value; }

void TLogger::Clear() {
    std::lock_guard<std::mutex> lock(FLock);
    DrainLocked();
    FEntries.clear();
}

bool TLogger::LogToFileFromCommandLine(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        std::string upper = arg;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper == "/NOLOG") return false;
    }
    return true;
}

size_t TLogger::PendingCount() const {
    std::lock_guard<std::mutex> lock(FLock);
    const_cast<TLogger*>(this)->DrainLocked();
    return FPending.size();
}

}  // namespace kelvar
