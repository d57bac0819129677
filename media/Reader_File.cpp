#include "media/Reader_File.h"
#include "foundation/TextUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelvar {

TReader_File::~TReader_File() { Close(); }

void TReader_File::Open(const std::string& name) {
    Close();
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) throw EMediaError("File does not exist: " + name);
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EMediaError("Cannot open file " + name + ": " + ErrnoText(errno));
    FFile = fd;
    FPosition = 0;
}

void TReader_File::Close() {
    if (FFile >= 0) ::close(FFile);
    FFile = -1;
    FPosition = 0;
}

int32_t TReader_File::Read(void* buffer, int32_t count) {
    if (FFile < 0 || count <= 0) return 0;
    auto* out = static_cast<char*>(buffer);
    int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(FFile, out + done, static_cast<size_t>(count - done), FPosition);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<int32_t>(n);
        FPosition += n;
    }
    return done;
}

bool TReader_File::IsEOF() { return FFile < 0 || FPosition >= GetSize(); }
bool TReader_File::IsSeekable() { return FFile >= 0; }

int64_t TReader_File::Seek(int64_t position) {
    if (FFile < 0) return -1;
    FPosition = position < 0 ? 0 : position;
    return FPosition;
}

// Asked each time: another program may still be writing the file.
int64_t TReader_File::GetSize() {
    if (FFile < 0) return -1;
    struct stat st {};
    if (::fstat(FFile, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

int64_t TReader_File::GetPosition() { return FFile < 0 ? -1 : FPosition; }

int64_t TReader_File::GetAvailable() {
    if (FFile < 0) return 0;
    const int64_t left = GetSize() - FPosition;
    return left > 0 ? left : 0;
}

int32_t TReader_File::GetBufferPercent() { return 100; }

}  // namespace kelvar
