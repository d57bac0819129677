#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace kelvar::test {

struct TTempFolder {
    std::filesystem::path Path;

    TTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvar-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        Path = pattern;
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::string File(const std::string& name) const { return (Path / name).string(); }
};

inline std::string ReadWholeFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& name, const std::string& data) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << data;
}

}  // namespace kelvar::test
