#include "foundation/Logger_imp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "foundation/Errors.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

TLogger::TLogger() : TLogger(ProgramFolder() + "EventLog.log") {}

TLogger::TLogger(const std::string& fileName) : FFileName(fileName) {
    DeleteIfTooLarge(FFileName);
}

TLogger::~TLogger() {
    std::lock_guard<std::mutex> lock(FLock);
    try {
        Flush();
    } catch (...) {
    }
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
    std::tm tm {};
    localtime_r(&t, &tm);
    char head[64];
    std::snprintf(head, sizeof head, "%c %04d-%02d-%02d %02d:%02d:%02d [", KindLetter(entry.Kind), tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return head + entry.Source + "] " + entry.Message;
}

void TLogger::Log(const std::string& message, const std::string& source, TLogKind kind) {
    try {
        std::lock_guard<std::mutex> lock(FLock);
        TLogRec entry{std::chrono::system_clock::now(), message, source, kind};
        const bool toFile = FLogToFile && !FFileName.empty();
        std::string line = toFile ? FormatLine(entry) : std::string();
        FEntries.push_back(std::move(entry));
        while (!FEntries.empty() && static_cast<int64_t>(FEntries.size()) > FMaxCount) FEntries.pop_front();
        if (toFile) {
            FPending.push_back(std::move(line));
            // While the file can't be written, keep the newest lines only.
            while (FPending.size() > MaxPendingLines) FPending.pop_front();
            if (FPending.size() >= FlushThreshold) Flush();
        }
    } catch (...) {
        // A caller never sees a failure of the logger.
    }
}

void TLogger::Flush() {
    if (!FLogToFile || FFileName.empty() || FPending.empty()) return;
    bool created = false;
    int fd = ::open(FFileName.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(FFileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        created = fd >= 0;
    }
    if (fd < 0) return;  // kept for the next try
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return;
    }
    std::string batch;
    if (created) batch = "~ Event Log created\n";
    for (const std::string& line : FPending) {
        batch += line;
        batch += '\n';
    }
    bool ok = true;
    size_t done = 0;
    while (ok && done < batch.size()) {
        const ssize_t n = ::write(fd, batch.data() + done, batch.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) ok = false;
    if (ok) {
        FPending.clear();
        return;
    }
    // Take back what part of the batch reached the file, so the retry writes each line once
    // and a new file still starts with its first line.
    if (created) {
        ::unlink(FFileName.c_str());
    } else {
        const int truncated = ::truncate(FFileName.c_str(), st.st_size);
        static_cast<void>(truncated);  // the lines stay pending either way
    }
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

int TLogger::Count() const {
    std::lock_guard<std::mutex> lock(FLock);
    return static_cast<int>(FEntries.size());
}

TLogRec TLogger::GetItem(int index) const {
    std::lock_guard<std::mutex> lock(FLock);
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
    return FPending.size();
}

}  // namespace kelvar
