#pragma once
// Replaces a file as a whole: the new content goes to a uniquely named file in the same folder,
// which is renamed over the target only when every byte was written. A failure (or an
// abandoned object) leaves the target as it was and removes the new file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kelvar {

class TAtomicFile {
public:
    // Creates the new file beside Target; raises EFileError when it can't.
    explicit TAtomicFile(const std::filesystem::path& target);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Raises EFileError on a short write.
    void Write(const void* data, size_t length);
    // Flushes, takes over the target's mode (or the default mode of a new file) and renames
    // the new file over the target. Raises EFileError; the target then stays untouched.
    void Commit();
    // Removes the new file; the target stays as it was.
    void Abandon();

    const std::filesystem::path& TempPath() const { return FTempPath; }

private:
    std::filesystem::path FTarget;
    std::filesystem::path FTempPath;
    int FFd = -1;
};

// True when Path names an existing regular file that the program may write: some write
// permission bit is set (also for root) and the process has write access.
bool IsWritableFile(const std::filesystem::path& path);

}  // namespace kelvar
