#pragma once
// A real core over a temporary song database for the tools' windows, with a logger that keeps
// every line and a temporary folder for music files.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "core/CoreCommon.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistManager.h"
#include "core/rotation/PlaylistControl.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar::toolstest {

namespace fs = std::filesystem;

class TToolsCore : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-tools-" + std::to_string(getpid()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        SetCoreLogger(Log);
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto kelvar = Doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*kelvar);
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
    }
    void TearDown() override {
        SetMessageHandler(nullptr);
        SetModalHandler(nullptr);
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        SetCoreLogger(nullptr);
        std::error_code ec;
        fs::remove_all(Folder, ec);
        TSongDbFixture::TearDown();
    }

    TPlaylistManager& Manager() { return *Api->PlaylistManager(); }
    TCategoryTree& Tree() { return *Manager().Categories; }

    static void Touch(const fs::path& Path) {
        fs::create_directories(Path.parent_path());
        std::ofstream(Path) << "not music";
    }
    static int CategoryRows(const TCustomCategory* Category) {
        return CountRows("categorylist", "categoryID = " + std::to_string(Category->GetID()));
    }

    fs::path Folder;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    std::unique_ptr<TKelvarApi> Api;
};

}  // namespace kelvar::toolstest
