#include "gui/FirstRunImport.h"

#include <filesystem>
#include <vector>

#include "core/CoreCommon.h"
#include "core/Kelvar.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistLoader_imp.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/SongListHelpers.h"
#include "core/rotation/PlaylistControl.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

namespace fs = std::filesystem;

namespace {

// Found by name, else created under the parent of that name when the parent exists.
TCustomCategory* FindOrCreateCategory(TCategoryTree& tree, const std::string& name, const std::string& parentName) {
    if (TCustomCategory* found = tree.FindByName(name)) return found;
    TCustomCategory* parent = tree.FindByName(parentName);
    if (!parent) return nullptr;
    return tree.CreateCategory(parent, name);
}

void ImportDemoContent(const fs::path& sound) {
    std::shared_ptr<TPlaylistManager> manager = CoreKelvar->PlaylistControl->GetPlaylistManager();
    if (!manager) throw std::runtime_error("No playlist manager");
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

}  // namespace

void RunFirstRunImports(const std::string& soundFolder) {
    try {
        if (CoreConfig) CoreConfig->Section("Kelvar")->WriteBool("FirstRun", false);
        fs::path sound = soundFolder.empty() ? fs::path(ProgramFolder()) / "Sound" : fs::path(soundFolder);
        std::error_code ec;
        if (!fs::is_directory(sound, ec)) {
            LogMessage("No demo content to import: " + sound.string() + " does not exist", "Kelvar", LogKind::Notice);
            return;
        }
        if (!CoreKelvar || !CoreKelvar->PlaylistControl) throw std::runtime_error("The core is not running");
        ImportDemoContent(sound);
        LogMessage("Demo content imported from " + sound.string(), "Kelvar", LogKind::Notice);
    } catch (const std::exception& e) {
        LogMessage(std::string("Error during FirstRun. (") + e.what() + ")", "Kelvar", LogKind::Exception);
    }
}

}  // namespace kelvar
