#include "gui/tools/FirstRunImport.h"

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "core/CoreCommon.h"
#include "core/KelvarApi.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistLoader_imp.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/SongListHelpers.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

namespace fs = std::filesystem;

std::shared_ptr<TPlaylistManager> ToolsPlaylistManager() {
    TKelvarApi* api = ProgramKelvarApi();
    if (!api) throw std::runtime_error("The core is not running");
    std::shared_ptr<TPlaylistManager> manager = api->PlaylistManager();
    if (!manager) throw std::runtime_error("No playlist manager");
    return manager;
}

TSongList& ToolsSongList() {
    std::shared_ptr<TPlaylistManager> manager = ToolsPlaylistManager();
    if (!manager->SongList) throw std::runtime_error("No playlist manager");
    return *manager->SongList;
}

std::string DefaultSoundFolder() { return ProgramFolder() + "Sound/"; }

TCustomCategory* FindOrCreateCategory(TCategoryTree& Tree, const std::string& Name, const std::string& ParentName) {
    if (TCustomCategory* found = Tree.FindByName(Name)) return found;
    TCustomCategory* parent = Tree.FindByName(ParentName);
    if (!parent) return nullptr;
    return Tree.CreateCategory(parent, Name);
}

void ImportDemoContent(const std::string& SoundFolder) {
    std::shared_ptr<TPlaylistManager> manager = ToolsPlaylistManager();
    const fs::path sound(SoundFolder);
    TCategoryTree& tree = *manager->Categories;
    TSongList& songs = *manager->SongList;
    if (TCustomCategory* effects = tree.FindByName("Sound FX"))
        AddFolderTreeToCategory((sound / "soundFX").string() + "/", effects, tree, songs);
    if (TCustomCategory* demo = FindOrCreateCategory(tree, "DemoTracks", "Playlist"))
        AddFolderToCategory((sound / "music").string() + "/", true, true, songs, demo);
    if (TCustomCategory* promos = FindOrCreateCategory(tree, "DemoPromos", "Promos"))
        AddFolderToCategory((sound / "promos").string() + "/", true, true, songs, promos);
    std::vector<std::string> files;
    if (LoadPlaylistFile((sound / "FirstRun.m3u").string(), files) && !files.empty())
        AddFilesToQueue(files, true, *manager->Queue, songs);
}

void RunFirstRunImports(const std::string& SoundFolder) {
    try {
        if (CoreConfig) CoreConfig->Section("Kelvar")->WriteBool("FirstRun", false);
        const std::string sound = SoundFolder.empty() ? DefaultSoundFolder() : SoundFolder;
        std::error_code ec;
        if (!fs::is_directory(sound, ec)) {
            LogMessage("No demo content to import: " + sound + " does not exist", "Kelvar", LogKind::Notice);
            return;
        }
        ImportDemoContent(sound);
        LogMessage("Demo content imported from " + sound, "Kelvar", LogKind::Notice);
    } catch (const std::exception& e) {
        LogMessage(std::string("Error during FirstRun. (") + e.what() + ")", "Kelvar", LogKind::Exception);
    }
}

}  // namespace kelvar
