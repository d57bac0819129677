#pragma once
// Temporary folders and whole-file reads and writes for the tests.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kelvar::test {

// A fresh folder under the system's temporary folder, removed with everything in it (also when
// a test took its permissions away).
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    // Names of the folder's entries, sorted.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path FPath;
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
