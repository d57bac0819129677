#pragma once
// The process-wide list of installed DSP plug-ins ("dsp_*.so" in the program's plug-in folder
// and in the configured Winamp plug-in folder), in the order the user gave them. Descriptions
// and order are cached in an INI file, so the list shows without loading every plug-in.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/nodes/WinampDSP_imp.h"

namespace kelvar {

struct TWinampDSPFolders {
    std::string PluginFolder;        // the program's plug-in folder
    std::string WinampPluginFolder;  // empty: none
    std::string CachePath;           // the INI file
};

// The Winamp plug-in folder a station set: "PluginFolder=" in $XDG_CONFIG_HOME/kelvar/winamp.conf
// (the registry's stand-in), with a trailing "/"; empty when unset or not a folder.
std::string WinampPluginFolderSetting();

// The program's "plugins/" folder, the Winamp folder of the settings, and the program's path
// with ".ini".
TWinampDSPFolders DefaultWinampDSPFolders();

class TWinampDSPList {
public:
    // Reads the folders and the cache (Refresh).
    explicit TWinampDSPList(const TWinampDSPFolders& Folders);
    // Writes the cache, then frees the entries.
    ~TWinampDSPList();
    TWinampDSPList(const TWinampDSPList&) = delete;
    TWinampDSPList& operator=(const TWinampDSPList&) = delete;

    const std::string& WinampPluginFolder() const { return FFolders.WinampPluginFolder; }
    const std::string& PluginFolder() const { return FFolders.PluginFolder; }
    const std::string& CachePath() const { return FFolders.CachePath; }

    // Drops entries whose file is gone, adds new files, reads the cache and sorts.
    void Refresh();
    void LoadCache();
    void SaveCache();
    // Orders the entries by SortID and numbers them 0 .. n-1.
    void Sort();
    // Swaps two entries with their SortIDs; indices outside the list are ignored.
    void Exchange(int I, int J);
    // The entry with that path (ignoring case), or none.
    TWinampDSPPtr FindByFile(const std::string& Path);
    void SetParentWindow(uintptr_t Window);
    int Count();
    // None outside the list.
    TWinampDSPPtr GetItem(int Index);
    void Remove(const TWinampDSPPtr& Item);
    void Clear();

private:
    std::recursive_mutex FLock;
    TWinampDSPFolders FFolders;
    std::vector<TWinampDSPPtr> FItems;
    uintptr_t FParentWindow = 0;
};
using TWinampDSPListPtr = std::shared_ptr<TWinampDSPList>;

// Folders for the process-wide list; takes effect when the list is next created.
void SetWinampDSPFolders(const TWinampDSPFolders& Folders);
// The process-wide list, created on first use.
TWinampDSPListPtr GetWinampDSPList();
// Saves the cache and frees the list (also done when the program ends).
void FreeWinampDSPList();

}  // namespace kelvar
