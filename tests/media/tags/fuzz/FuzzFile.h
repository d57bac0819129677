#pragma once
// Fuzz input as a file: the tag readers take file names, so each input is written to a file
// of this process in a memory-backed folder.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kelvar::fuzz {

inline std::string WriteInput(const uint8_t* data, size_t size) {
    static const std::string path = "/dev/shm/kelvar-fuzz-" + std::to_string(::getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) __builtin_trap();
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

}  // namespace kelvar::fuzz
