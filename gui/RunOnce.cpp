#include "gui/RunOnce.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "foundation/MiscFunc.h"

namespace kelvar {

namespace {

int GInstanceLock = -1;

std::string NormaliseName(std::string name) {
    name.erase(std::remove(name.begin(), name.end(), '/'), name.end());
    name.erase(std::remove(name.begin(), name.end(), '\\'), name.end());
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && std::filesystem::is_directory(runtime)) return runtime;
    return "/tmp";
}

}  // namespace

std::string SingleInstanceMutexName() { return NormaliseName(ProgramPath()); }

int32_t NameChecksum(const std::string& s) {
    int32_t sum = 0;
    for (unsigned char c : s) sum += c;
    return sum;
}

std::string SingleInstanceLockFile(const std::string& name) {
    std::string upper = NormaliseName(name.empty() ? ProgramPath() : name);
    // File names are limited in length; a hash of the whole name keeps long paths apart.
    uint32_t hash = 2166136261u;
    for (unsigned char c : upper) hash = (hash ^ c) * 16777619u;
    std::string shortName;
    for (char c : upper.substr(0, 120)) shortName += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-%08x", hash);
    return RuntimeFolder() + "/kelvar-" + shortName + suffix + ".lock";
}

bool CheckSingleInstance(const std::string& name) {
    if (GInstanceLock >= 0) return false;
    int fd = ::open(SingleInstanceLockFile(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    GInstanceLock = fd;
    return true;
}

void ReleaseSingleInstance() {
    if (GInstanceLock < 0) return;
    ::flock(GInstanceLock, LOCK_UN);
    ::close(GInstanceLock);
    GInstanceLock = -1;
}

}  // namespace kelvar
