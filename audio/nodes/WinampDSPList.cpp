#include "audio/nodes/WinampDSPList.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "foundation/FileFind.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

namespace {

// A small INI file; sections and keys match without regard to case.
class TIniFile {
public:
    void Load(const std::string& path) {
        std::ifstream in(path);
        std::string line, section;
        while (std::getline(in, line)) {
            line = TrimSpace(line);
            if (line.empty() || line[0] == ';' || line[0] == '#') continue;
            if (line.front() == '[' && line.back() == ']') {
                section = LowerAscii(TrimSpace(line.substr(1, line.size() - 2)));
                continue;
            }
            const auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            auto& values = FSections[section];
            const std::string key = TrimSpace(line.substr(0, eq));
            if (!values.count(LowerAscii(key))) FOrder[section].push_back(LowerAscii(key));
            values[LowerAscii(key)] = {key, TrimSpace(line.substr(eq + 1))};
        }
    }

    std::string Read(const std::string& section, const std::string& key, const std::string& def) const {
        const auto s = FSections.find(LowerAscii(section));
        if (s == FSections.end()) return def;
        const auto v = s->second.find(LowerAscii(key));
        return v == s->second.end() ? def : v->second.second;
    }

    int ReadInt(const std::string& section, const std::string& key, int def) const {
        int64_t value = 0;
        return TryParseInt64(Read(section, key, ""), value)
                   ? static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX))
                   : def;
    }

    void EraseSection(const std::string& section) {
        FSections.erase(LowerAscii(section));
        FOrder.erase(LowerAscii(section));
    }

    void Write(const std::string& section, const std::string& key, const std::string& value) {
        const std::string s = LowerAscii(section), k = LowerAscii(key);
        if (!FSectionNames.count(s)) FSectionNames[s] = section;
        auto& values = FSections[s];
        if (!values.count(k)) FOrder[s].push_back(k);
        // Line breaks would split the entry.
        std::string clean = value;
        std::replace(clean.begin(), clean.end(), '\n', ' ');
        std::replace(clean.begin(), clean.end(), '\r', ' ');
        values[k] = {key, clean};
    }

    // Whole or not at all: written beside the file, then renamed over it.
    bool Save(const std::string& path) const {
        std::ostringstream text;
        for (const auto& [section, values] : FSections) {
            const auto name = FSectionNames.find(section);
            text << '[' << (name != FSectionNames.end() ? name->second : section) << "]\n";
            for (const auto& key : FOrder.at(section)) {
                const auto& v = values.at(key);
                text << v.first << '=' << v.second << '\n';
            }
            text << '\n';
        }
        const std::string temp = path + ".tmp";
        {
            std::ofstream out(temp, std::ios::trunc);
            out << text.str();
            if (!out.flush()) return false;
        }
        std::error_code ec;
        std::filesystem::rename(temp, path, ec);
        if (ec) std::filesystem::remove(temp, ec);
        return !ec;
    }

private:
    std::map<std::string, std::map<std::string, std::pair<std::string, std::string>>> FSections;
    std::map<std::string, std::vector<std::string>> FOrder;
    std::map<std::string, std::string> FSectionNames;
};

std::string FileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::mutex gListLock;
std::optional<TWinampDSPFolders> gFolders;  // the defaults when none were set
TWinampDSPListPtr gList;

// Frees the list when the program ends, unless shutdown did it already.
struct TListReaper {
    ~TListReaper() {
        TWinampDSPListPtr list;
        {
            std::lock_guard<std::mutex> guard(gListLock);
            list.swap(gList);
        }
    }
} gReaper;

}  // namespace

std::string WinampPluginFolderSetting() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string file;
    if (config && *config == '/')
        file = config;
    else if (const char* home = std::getenv("HOME"); home && *home)
        file = std::string(home) + "/.config";
    else
        return {};
    std::ifstream in(file + "/kelvar/winamp.conf");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("PluginFolder=", 0) != 0) continue;
        std::string folder = TrimText(line.substr(13));
        std::error_code error;
        if (folder.empty() || !std::filesystem::is_directory(folder, error)) return {};
        if (folder.back() != '/') folder += '/';
        return folder;
    }
    return {};
}

TWinampDSPFolders DefaultWinampDSPFolders() {
    TWinampDSPFolders folders;
    const std::string program = ProgramPath();
    folders.PluginFolder = ProgramFolder() + "plugins/";
    folders.WinampPluginFolder = WinampPluginFolderSetting();
    folders.CachePath = RemoveFileExt(program) + ".ini";
    return folders;
}

TWinampDSPList::TWinampDSPList(const TWinampDSPFolders& Folders) : FFolders(Folders) { Refresh(); }

TWinampDSPList::~TWinampDSPList() {
    try {
        SaveCache();
    } catch (...) {
        // The cache only saves time at the next start.
    }
    TGuard guard(FLock);
    FItems.clear();
}

void TWinampDSPList::Refresh() {
    TGuard guard(FLock);
    FItems.erase(std::remove_if(FItems.begin(), FItems.end(), [](const TWinampDSPPtr& p) { return !p->FileExists(); }),
                 FItems.end());
    std::vector<std::string> found;
    for (const std::string& folder : {FFolders.PluginFolder, FFolders.WinampPluginFolder}) {
        if (folder.empty()) continue;
        FindFiles(found, "dsp_*.so", folder, false);
    }
    // Sorted without regard to case, each path once.
    std::sort(found.begin(), found.end(),
              [](const std::string& a, const std::string& b) { return LowerAscii(a) < LowerAscii(b); });
    found.erase(std::unique(found.begin(), found.end(),
                            [](const std::string& a, const std::string& b) { return LowerAscii(a) == LowerAscii(b); }),
                found.end());
    for (const std::string& path : found) {
        if (FindByFile(path)) continue;
        auto item = std::make_shared<TWinampDSP>(path);
        if (!item->FileExists()) continue;
        item->SetParentWindow(FParentWindow);
        FItems.push_back(std::move(item));
    }
    LoadCache();
}

void TWinampDSPList::LoadCache() {
    TGuard guard(FLock);
    TIniFile ini;
    ini.Load(FFolders.CachePath);
    for (auto& item : FItems) {
        const std::string name = FileNameOf(item->GetFileName());
        item->SetDescription(ini.Read("DSP", name, ""));
        item->SortID = ini.ReadInt("SortID", name, 1000);
    }
    Sort();
}

void TWinampDSPList::SaveCache() {
    TGuard guard(FLock);
    if (FFolders.CachePath.empty()) return;
    TIniFile ini;
    ini.Load(FFolders.CachePath);
    ini.EraseSection("DSP");
    ini.EraseSection("SortID");
    for (size_t i = 0; i < FItems.size(); ++i) {
        const std::string name = FileNameOf(FItems[i]->GetFileName());
        std::string description;
        try {
            description = FItems[i]->GetDescription();
            if (description.empty()) description = name;
        } catch (...) {
            description = "Error loading DSP plugin";
        }
        ini.Write("DSP", name, description);
        ini.Write("SortID", name, std::to_string(i));
    }
    if (!ini.Save(FFolders.CachePath))
        LogMessage("Could not write the DSP plugin list " + FFolders.CachePath, "DSP", LogKind::Warning);
}

void TWinampDSPList::Sort() {
    TGuard guard(FLock);
    const size_t n = FItems.size();
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            if (FItems[i]->SortID < FItems[j]->SortID) std::swap(FItems[i], FItems[j]);
    for (size_t i = 0; i < n; ++i) FItems[i]->SortID = static_cast<int>(i);
}

void TWinampDSPList::Exchange(int I, int J) {
    TGuard guard(FLock);
    const int n = static_cast<int>(FItems.size());
    if (I < 0 || J < 0 || I >= n || J >= n) return;
    FItems[I]->SortID = J;
    FItems[J]->SortID = I;
    std::swap(FItems[I], FItems[J]);
}

TWinampDSPPtr TWinampDSPList::FindByFile(const std::string& Path) {
    TGuard guard(FLock);
    const std::string want = LowerAscii(Path);
    for (auto& item : FItems)
        if (LowerAscii(item->GetFileName()) == want) return item;
    return nullptr;
}

void TWinampDSPList::SetParentWindow(uintptr_t Window) {
    TGuard guard(FLock);
    FParentWindow = Window;
    for (auto& item : FItems) item->SetParentWindow(Window);
}

int TWinampDSPList::Count() {
    TGuard guard(FLock);
    return static_cast<int>(FItems.size());
}

TWinampDSPPtr TWinampDSPList::GetItem(int Index) {
    TGuard guard(FLock);
    if (Index < 0 || Index >= static_cast<int>(FItems.size())) return nullptr;
    return FItems[Index];
}

void TWinampDSPList::Remove(const TWinampDSPPtr& Item) {
    TGuard guard(FLock);
    FItems.erase(std::remove(FItems.begin(), FItems.end(), Item), FItems.end());
}

void TWinampDSPList::Clear() {
    TGuard guard(FLock);
    FItems.clear();
}

void SetWinampDSPFolders(const TWinampDSPFolders& Folders) {
    std::lock_guard<std::mutex> guard(gListLock);
    gFolders = Folders;
}

TWinampDSPListPtr GetWinampDSPList() {
    std::lock_guard<std::mutex> guard(gListLock);
    if (!gList) gList = std::make_shared<TWinampDSPList>(gFolders ? *gFolders : DefaultWinampDSPFolders());
    return gList;
}

void FreeWinampDSPList() {
    TWinampDSPListPtr list;
    {
        std::lock_guard<std::mutex> guard(gListLock);
        list.swap(gList);
    }
    // Saved and freed here unless a chain still holds it; then when the last chain goes.
}

}  // namespace kelvar
