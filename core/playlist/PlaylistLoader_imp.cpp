#include "core/playlist/PlaylistLoader_imp.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "database/SQLPool.h"
#include "foundation/Errors.h"
#include "foundation/MiscFunc.h"
#include "media/tags/AtomicFile.h"
#include "media/tags/OggTagUtils.h"

namespace kelvar {

namespace fs = std::filesystem;

namespace {

std::string UpperAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The whole file as UTF-8: lists written by Windows programs are often in the ANSI code page.
std::string ReadText(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EKelvarError("Unable to open play list " + fileName);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
        static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
        text.erase(0, 3);
    return AnsiToUtf8(text);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

void ReadM3U(const std::string& fileName, std::vector<std::string>& list) {
    for (const std::string& line : SplitLines(ReadText(fileName)))
        if (!line.empty() && line[0] != '#') list.push_back(line);
}

// PLS is an INI file: "file1" .. "fileN" of section "playlist", N from "NumberOfEntries".
void ReadPLS(const std::string& fileName, std::vector<std::string>& list) {
    // A hostile count must not make millions of empty entries.
    constexpr int64_t MaxEntries = 100000;
    std::string section;
    // Entry N at N - 1, the first of two equal keys counting; the list is read in one pass.
    std::vector<std::string> files;
    std::vector<bool> seen;
    std::string numberOfEntries;
    bool haveNumber = false;
    for (std::string line : SplitLines(ReadText(fileName))) {
        line = TrimText(line);
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = UpperAscii(line.substr(1, line.size() - 2));
            continue;
        }
        size_t eq = line.find('=');
        if (section != "PLAYLIST" || eq == std::string::npos) continue;
        const std::string key = UpperAscii(TrimText(line.substr(0, eq)));
        int64_t index = 0;
        if (key.rfind("FILE", 0) == 0 && TryParseInt64(key.substr(4), index) && index >= 1 && index <= MaxEntries) {
            const auto at = static_cast<size_t>(index - 1);
            if (at >= files.size()) {
                files.resize(at + 1);
                seen.resize(at + 1);
            }
            if (!seen[at]) files[at] = line.substr(eq + 1);
            seen[at] = true;
        } else if (key == "NUMBEROFENTRIES" && !haveNumber) {
            numberOfEntries = line.substr(eq + 1);
            haveNumber = true;
        }
    }
    int64_t count = 0;
    if (!TryParseInt64(TrimText(numberOfEntries), count) || count < 0) count = 0;
    // None past the last entry the file holds.
    count = std::min<int64_t>(count, static_cast<int64_t>(files.size()));
    files.resize(static_cast<size_t>(count));
    list.insert(list.end(), std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
}

void ReadASX(const std::string& fileName, std::vector<std::string>& list) {
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_string(ReadText(fileName).c_str(), pugi::parse_default);
    if (!parsed) throw EKelvarError("Invalid ASX play list " + fileName + " (" + parsed.description() + ")");
    pugi::xml_node root = doc.document_element();
    for (pugi::xml_node entry : root.children()) {
        if (entry.type() != pugi::node_element || UpperAscii(entry.name()) != "ENTRY") continue;
        list.push_back(entry.child("Ref").attribute("href").value());
    }
}

std::string TrimControls(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

std::string FolderOf(const std::string& playlistFile) {
    fs::path folder = fs::absolute(fs::path(playlistFile)).parent_path();
    return folder.lexically_normal().string();
}

}  // namespace

void ResolvePlaylistEntry(const std::string& playlistFile, const std::string& entry, std::string& result) {
    std::string trimmed = TrimControls(entry);
    result = trimmed;
    if (trimmed.find("://") != std::string::npos) return;
    // Lists made on Windows separate folders with backslashes.
    std::string path = trimmed;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.rfind("//", 0) == 0 || path.rfind("/", 0) == 0) {
        result = path;
    } else if (path.size() >= 2 && path[1] == ':') {
        // A drive letter path stays as written: there is no drive to map it to.
        result = trimmed;
    } else {
        result = (fs::path(FolderOf(playlistFile)) / path).lexically_normal().string();
    }
}

bool LoadPlaylistFile(const std::string& fileName, std::vector<std::string>& list) {
    std::error_code ec;
    if (!fs::is_regular_file(fileName, ec)) return false;
    std::string ext = UpperAscii(fs::path(fileName).extension().string());
    std::vector<std::string> entries;
    if (ext == ".PLS")
        ReadPLS(fileName, entries);
    else if (ext == ".ASX")
        ReadASX(fileName, entries);
    else
        ReadM3U(fileName, entries);  // ".M3U" and any other extension: one entry per line
    for (const std::string& entry : entries) {
        std::string resolved;
        ResolvePlaylistEntry(fileName, entry, resolved);
        list.push_back(resolved);
    }
    return true;
}

bool SaveM3U(const std::string& fileName, const std::shared_ptr<IDataset>& rows) {
    try {
        std::string text = "#EXTM3U\r\n";
        if (rows) {
            rows->First();
            while (!rows->Eof()) {
                int64_t durationMs = 0;
                TryParseInt64(rows->GetValue("duration"), durationMs);
                text += "#EXTINF:" + std::to_string(durationMs / 1000) + "," +
                        JoinArtistTitleTrimmed(rows->GetValue("artist"), rows->GetValue("title")) + "\r\n";
                text += rows->GetValue("filename") + "\r\n";
                rows->Next();
            }
        }
        TAtomicFile file(fileName);
        file.Write(text.data(), text.size());
        file.Commit();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace kelvar
