#pragma once
// The equaliser presets file: a small INI reader and writer of our own (the profile format:
// sections and keys without regard to case, values as written) and the preset records in it.
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvar {

class TIniFile {
public:
    // Reads FileName; a missing or unreadable file reads as empty.
    explicit TIniFile(std::string FileName);

    bool HasSection(const std::string& Section) const { return Find(Section) != nullptr; }
    std::string ReadString(const std::string& Section, const std::string& Key, const std::string& Default) const;
    // A value that is no whole number reads as Default.
    int64_t ReadInteger(const std::string& Section, const std::string& Key, int64_t Default) const;
    void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
    void WriteInteger(const std::string& Section, const std::string& Key, int64_t Value);
    // Writes the file; false (and the reason in Error) when it cannot be written.
    bool Save(std::string& Error) const;

private:
    struct TEntry {
        std::string Key;
        std::string Value;
    };
    // Entries in file order, found through their case-folded keys (a large file reads in linear time).
    struct TSection {
        std::string Name;
        std::vector<TEntry> Entries;
        std::unordered_map<std::string, size_t> Index;
    };
    const TSection* Find(const std::string& Section) const;
    TSection& FindOrAdd(const std::string& Section);
    const std::string* FindValue(const std::string& Section, const std::string& Key) const;

    std::string FFileName;
    std::vector<TSection> FSections;
    std::unordered_map<std::string, size_t> FSectionIndex;
};

constexpr int EQPresetBands = 10;
constexpr int EQPresetNameLength = 100;

struct TEQPreset {
    std::string Name;
    std::array<int32_t, EQPresetBands> Bands{};
};

// The 19 presets a station starts with.
const std::vector<TEQPreset>& BuiltInEQPresets();
// The program's path with its extension replaced by ".EQ.ini", unless a file was set.
std::string EQPresetFileName();
// Sets the preset file (tests); empty restores the default.
void SetEQPresetFileName(const std::string& FileName);

// Reads the presets of FileName; the built-in ones when none were saved. The list ends at the first
// counted preset the file does not hold (logged once). Names are cut to 100 characters and band values
// held to -99..99, with a line in the log for each value held.
std::vector<TEQPreset> LoadEQPresets(const std::string& FileName);
// Writes Presets to FileName, keeping whatever else the file holds; false when it cannot.
bool SaveEQPresets(const std::string& FileName, const std::vector<TEQPreset>& Presets);

}  // namespace kelvar
