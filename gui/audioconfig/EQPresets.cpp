#include "gui/audioconfig/EQPresets.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"

namespace kelvar {

namespace {

std::string Trim(const std::string& Text) {
    const auto first = Text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = Text.find_last_not_of(" \t\r\n");
    return Text.substr(first, last - first + 1);
}

// The first maxChars characters of UTF-8 text: a name is never cut inside a character.
std::string CutUtf8(const std::string& text, size_t maxChars) {
    size_t pos = 0;
    for (size_t chars = 0; pos < text.size() && chars < maxChars; ++chars) {
        ++pos;
        // Continuation bytes (10xxxxxx) belong to the character before them.
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
    }
    return text.substr(0, pos);
}

std::string& OverrideFile() {
    static std::string file;
    return file;
}

}  // namespace

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) {
    std::ifstream in(FFileName, std::ios::binary);
    if (!in) return;
    std::string line;
    TSection* current = nullptr;
    while (std::getline(in, line)) {
        const std::string text = Trim(line);
        if (text.empty() || text[0] == ';') continue;
        if (text.front() == '[') {
            const auto close = text.find(']');
            current = &FindOrAdd(Trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            continue;
        }
        const auto equals = text.find('=');
        if (!current || equals == std::string::npos) continue;
        std::string key = Trim(text.substr(0, equals));
        // The first of two equal keys is the one that counts.
        if (current->Index.try_emplace(LowerAscii(key), current->Entries.size()).second)
            current->Entries.push_back({std::move(key), Trim(text.substr(equals + 1))});
    }
}

const TIniFile::TSection* TIniFile::Find(const std::string& Section) const {
    const auto found = FSectionIndex.find(LowerAscii(Section));
    return found == FSectionIndex.end() ? nullptr : &FSections[found->second];
}

TIniFile::TSection& TIniFile::FindOrAdd(const std::string& Section) {
    const auto [found, added] = FSectionIndex.try_emplace(LowerAscii(Section), FSections.size());
    if (added) FSections.push_back({Section, {}, {}});
    return FSections[found->second];
}

const std::string* TIniFile::FindValue(const std::string& Section, const std::string& Key) const {
    const TSection* s = Find(Section);
    if (!s) return nullptr;
    const auto found = s->Index.find(LowerAscii(Key));
    return found == s->Index.end() ? nullptr : &s->Entries[found->second].Value;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Key, const std::string& Default) const {
    const std::string* value = FindValue(Section, Key);
    return value ? *value : Default;
}

int64_t TIniFile::ReadInteger(const std::string& Section, const std::string& Key, int64_t Default) const {
    const std::string* value = FindValue(Section, Key);
    if (!value || value->empty()) return Default;
    int64_t result = 0;
    const char* begin = value->data();
    const char* end = begin + value->size();
    int base = 10;
    if (value->size() > 2 && ((*value)[0] == '0') && ((*value)[1] == 'x' || (*value)[1] == 'X')) {
        begin += 2;
        base = 16;
    }
    const auto [ptr, ec] = std::from_chars(begin, end, result, base);
    if (ec != std::errc() || ptr != end) return Default;
    return result;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Key, const std::string& Value) {
    // Line breaks would make a second line that reads as another key.
    std::string clean = Value;
    std::replace_if(
        clean.begin(), clean.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    TSection& section = FindOrAdd(Section);
    const auto [found, added] = section.Index.try_emplace(LowerAscii(Key), section.Entries.size());
    if (added)
        section.Entries.push_back({Key, clean});
    else
        section.Entries[found->second].Value = clean;
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Key, int64_t Value) {
    WriteString(Section, Key, std::to_string(Value));
}

bool TIniFile::Save(std::string& Error) const {
    std::ostringstream text;
    for (const auto& s : FSections) {
        text << '[' << s.Name << "]\r\n";
        for (const auto& e : s.Entries) text << e.Key << '=' << e.Value << "\r\n";
        text << "\r\n";
    }
    std::ofstream out(FFileName, std::ios::binary | std::ios::trunc);
    if (!out) {
        Error = std::strerror(errno);
        return false;
    }
    out << text.str();
    out.flush();
    if (!out) {
        Error = "write failed";
        return false;
    }
    return true;
}

const std::vector<TEQPreset>& BuiltInEQPresets() {
    static const std::vector<TEQPreset> presets = {
        {"(Default)", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"Classical", {0, 0, 0, 0, 0, 10, -40, -40, -40, -50}},
        {"Club", {0, 0, 10, 20, 20, 20, 10, 0, 0, 0}},
        {"Dance", {50, 40, 20, -5, 0, -20, -30, -20, 0, 0}},
        {"Full Bass", {50, 50, 50, 30, 10, -10, -30, -50, -50, -50}},
        {"Full Bass & Treble", {30, 20, 0, -30, -20, 10, 40, 50, 50, 50}},
        {"Full Treble", {-50, -50, -50, -20, 10, 50, 80, 80, 80, 90}},
        {"Labtop", {15, 50, 25, -20, -10, 5, 15, 30, 50, 60}},
        {"Large Hall", {50, 50, 30, 20, 0, -20, -30, -30, 0, 0}},
        {"Live", {-30, 0, 10, 15, 20, 20, 10, 5, 5, 0}},
        {"Loudness", {90, 70, 50, 20, 0, 10, 20, 50, 70, 90}},
        {"Party", {30, 30, 0, 0, 0, 0, 0, 0, 30, 30}},
        {"Pop", {-10, 15, 25, 25, 15, -10, -20, -20, -10, -10}},
        {"Reggae", {0, 0, -5, -30, 0, 30, 30, 0, 0, 0}},
        {"Rock", {40, 30, -30, -40, -20, 20, 40, 40, 40, 40}},
        {"Ska", {-10, -20, -10, 0, 10, 20, 30, 35, 30, 25}},
        {"Soft", {15, 5, -5, -15, -5, 15, 30, 40, 45, 50}},
        {"Soft Rock", {15, 15, 10, -5, -15, -25, -15, -5, 10, 30}},
        {"Techno", {30, 30, 0, -30, -20, 0, 20, 30, 30, 20}},
    };
    return presets;
}

std::string EQPresetFileName() {
    if (!OverrideFile().empty()) return OverrideFile();
    return RemoveFileExt(ProgramPath()) + ".EQ.ini";
}

void SetEQPresetFileName(const std::string& FileName) { OverrideFile() = FileName; }

std::vector<TEQPreset> LoadEQPresets(const std::string& FileName) {
    // A band of 100 or more has no gain the label or the slider can show.
    constexpr int32_t Lowest = -99;
    constexpr int32_t Highest = 99;
    TIniFile ini(FileName);
    const int64_t count = ini.ReadInteger("EQPresets", "PresetCount", 0);
    if (count <= 0) return BuiltInEQPresets();
    // The count is only a claim: the list ends at the first preset the file does not hold.
    std::vector<TEQPreset> presets;
    for (int64_t i = 0; i < count; ++i) {
        const std::string section = "Preset" + std::to_string(i);
        if (!ini.HasSection(section)) {
            LogMessage("EQ presets file " + FileName + ": PresetCount " + std::to_string(count) + ", " +
                           std::to_string(i) + " presets found",
                       "EQ", LogKind::Error);
            break;
        }
        TEQPreset preset;
        preset.Name = CutUtf8(ini.ReadString(section, "Name", "<unknown>"), EQPresetNameLength);
        for (int b = 0; b < EQPresetBands; ++b) {
            const int64_t value = ini.ReadInteger(section, "EQ" + std::to_string(b), 0);
            const int64_t held = std::clamp<int64_t>(value, Lowest, Highest);
            if (held != value)
                LogMessage("EQ preset \"" + preset.Name + "\": band " + std::to_string(b) + " value " +
                               std::to_string(value) + " is out of range, held to " + std::to_string(held),
                           "EQ", LogKind::Error);
            preset.Bands[static_cast<size_t>(b)] = static_cast<int32_t>(held);
        }
        presets.push_back(std::move(preset));
    }
    return presets.empty() ? BuiltInEQPresets() : presets;
}

bool SaveEQPresets(const std::string& FileName, const std::vector<TEQPreset>& Presets) {
    TIniFile ini(FileName);
    ini.WriteInteger("EQPresets", "PresetCount", static_cast<int64_t>(Presets.size()));
    for (size_t i = 0; i < Presets.size(); ++i) {
        const std::string section = "Preset" + std::to_string(i);
        ini.WriteString(section, "Name", Presets[i].Name);
        for (int b = 0; b < EQPresetBands; ++b)
            ini.WriteInteger(section, "EQ" + std::to_string(b), Presets[i].Bands[static_cast<size_t>(b)]);
    }
    std::string error;
    if (ini.Save(error)) return true;
    LogMessage("Unable to write the EQ presets file " + FileName + ": " + error, "EQ", LogKind::Error);
    return false;
}

}  // namespace kelvar
