#include "foundation/FileFind.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "foundation/Errors.h"

namespace fs = std::filesystem;

namespace kelvar {

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string WithDelimiter(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + "/";
}

struct TEntry {
    std::string Name;
    bool IsFolder = false;
};

// The entries of folder in name order (symbolic links to folders are not followed, so a link
// cycle cannot recurse forever).
std::vector<TEntry> ReadFolder(const std::string& folder) {
    std::vector<TEntry> entries;
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? "." : folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeEc;
        const bool isFolder = it->is_directory(typeEc) && !it->is_symlink(typeEc);
        entries.push_back({it->path().filename().string(), isFolder});
    }
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) { return a.Name < b.Name; });
    return entries;
}

void CollectFolders(const std::string& folder, std::vector<std::string>& list) {
    for (const TEntry& e : ReadFolder(folder)) {
        if (!e.IsFolder) continue;
        const std::string path = folder + e.Name + "/";
        list.push_back(path);
        CollectFolders(path, list);
    }
}

}  // namespace

bool MatchesMask(const std::string& name, const std::string& maskText) {
    // "*.*" takes names without an extension too, as users of such masks expect.
    const std::string& mask = maskText == "*.*" ? std::string("*") : maskText;
    // Iterative wildcard match with one backtrack point for the last "*".
    size_t n = 0, m = 0, starM = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

void FindFiles(std::vector<std::string>& list, const std::string& mask, const std::string& folder, bool recursive) {
    const std::string base = WithDelimiter(folder);
    const std::vector<TEntry> entries = ReadFolder(base);
    for (const TEntry& e : entries)
        if (MatchesMask(e.Name, mask)) list.push_back(base + e.Name);
    if (!recursive) return;
    for (const TEntry& e : entries)
        if (e.IsFolder) FindFiles(list, mask, base + e.Name, true);
}

void ListSubFolders(const std::string& folder, std::vector<std::string>& list) {
    list.clear();
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) throw EFileError("Invalid path specified!");
    CollectFolders(WithDelimiter(folder), list);
}

}  // namespace kelvar
