// The WAV chunk walk over any bytes: it must end, never read outside its buffers, and give a
// duration only from a header it accepted.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "media/WAVTag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/dev/shm/kelvar-fuzz-wav-" + std::to_string(::getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) __builtin_trap();
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    kelvar::TWAVTag tag;
    int logged = 0;
    tag.OnLog = [&](kelvar::TWAVTag&, const std::string&) { ++logged; };
    tag.ReadFromFile(path);
    const double seconds = tag.GetDuration();
    if (!std::isfinite(seconds) || seconds < 0) __builtin_trap();
    if (!tag.Valid() && seconds != 0) __builtin_trap();
    if (tag.Valid() && (tag.DataOffset() < 0 || tag.DataOffset() > tag.FileSize())) __builtin_trap();
    return 0;
}
