#pragma once
// A real core over the test kit's embedded song database, with its core configuration file in a
// temporary folder and an empty plug-in folder, for running the Config action as the main window
// does.
#include <filesystem>
#include <string>
#include <typeinfo>

#include "ConfigTestKit.h"
#include "common/KelvarTestAccess.h"
#include "common/SongTestDatabase.h"
#include "common/TempFolder.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/config/KelvarConfig_imp.h"
#include "gui/engine/GUIcommon.h"
#include "media/SongSettings.h"

namespace kelvar::configtest {

class CoreConfigFixture : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        SavedDefaults = DefaultSongSettings;
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        Doc = TConfigDoc_XML::Create(ConfigFile());
        auto kelvar = Doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        kelvar->Section("Songlist")->WriteInteger("DefWeight", 70);
        Core->LoadConfig(*kelvar);
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
    }
    void TearDown() override {
        SetModalHandler(nullptr);
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        // The decks' defaults are process-wide.
        DefaultSongSettings = SavedDefaults;
        TSongDbFixture::TearDown();
    }

    std::string ConfigFile() const { return Files.File("Kelvar.core.xml"); }

    // Runs the Config action with the test's steps on the form.
    bool RunConfig(std::function<void(TfoConfig&)> Steps) {
        OnConfigForm(std::move(Steps));
        return ExecuteConfigAction(
            *Api, Doc, [this] { ++Refreshes; }, Plugins.Path().string());
    }

    // The core's running settings as its save writes them.
    std::string RunningSettings() {
        auto doc = TConfigDoc_XML::Create("");
        Core->SaveConfig(*doc->Section("Kelvar"));
        // The logic list's order of equal priorities changes with each reload; the active
        // logic is what counts.
        doc->Section("Kelvar")->Section("LogicList")->Clear();
        IPlaylistLogicPtr logic = In().PlaylistControl->GetLogic();
        doc->Section("ActiveLogic")->WriteString("Kind", logic ? typeid(*logic).name() : "none");
        return doc->GetXML();
    }

    // The file on disk.
    IConfigDocPtr FileOnDisk() { return TConfigDoc_XML::Create(ConfigFile()); }

    test::TTempFolder Files;
    test::TTempFolder Plugins;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    // What the door does not offer.
    TKelvarTestAccess In() { return TKelvarTestAccess(*Core); }
    std::unique_ptr<TKelvarApi> Api;
    int Refreshes = 0;
    TSongSettings SavedDefaults;
};

}  // namespace kelvar::configtest
