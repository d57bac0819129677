#include "media/tags/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "foundation/Errors.h"
#include "foundation/TextUtil.h"

namespace kelvar {

namespace {

std::string FileErrorText(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + ErrnoText(errno);
}

}  // namespace

TAtomicFile::TAtomicFile(const std::filesystem::path& target) : FTarget(target) {
    // Replace the file a link points to, not the link.
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        std::filesystem::path real = std::filesystem::canonical(target, ec);
        if (!ec) FTarget = real;
    }
    std::filesystem::path folder = FTarget.parent_path();
    if (folder.empty()) folder = ".";
    std::string pattern = (folder / ("." + FTarget.filename().string() + ".XXXXXX")).string();
    FFd = ::mkstemp(pattern.data());
    if (FFd < 0) throw EFileError(FileErrorText("Cannot create a temporary file beside", target));
    FTempPath = pattern;
}

TAtomicFile::~TAtomicFile() { Abandon(); }

void TAtomicFile::Write(const void* data, size_t length) {
    if (FFd < 0) throw EFileError("Temporary file for " + FTarget.string() + " is closed");
    const auto* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        ssize_t n = ::write(FFd, p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EFileError(FileErrorText("Cannot write", FTempPath));
        p += n;
        length -= static_cast<size_t>(n);
    }
}

void TAtomicFile::Commit() {
    if (FFd < 0) throw EFileError("Temporary file for " + FTarget.string() + " is closed");
    struct stat st {};
    mode_t mode;
    if (::stat(FTarget.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        // A new file gets what open(2) would give it: 0666 less the umask.
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(FFd, mode) != 0 || ::fsync(FFd) != 0) throw EFileError(FileErrorText("Cannot finish", FTempPath));
    if (st.st_ino != 0) {
        // Keep the owner where we may (root editing someone's file); not being able to is no failure.
        [[maybe_unused]] int ignored = ::fchown(FFd, st.st_uid, st.st_gid);
    }
    int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) throw EFileError(FileErrorText("Cannot close", FTempPath));
    if (::rename(FTempPath.c_str(), FTarget.c_str()) != 0) throw EFileError(FileErrorText("Cannot replace", FTarget));
    FTempPath.clear();
}

void TAtomicFile::Abandon() {
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    if (!FTempPath.empty()) {
        ::unlink(FTempPath.c_str());
        FTempPath.clear();
    }
}

bool IsWritableFile(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::access(path.c_str(), W_OK) == 0;
}

}  // namespace kelvar
