#pragma once
// A real core over the test database for the on-air window tests, a heartbeat driven by hand,
// and songs written as WAV files.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QCoreApplication>
#include <filesystem>
#include <string>

#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "core/CoreTestKit.h"
#include "core/HeartBeat.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "core/playlist/PlaylistManager.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/engine/GUIcommon.h"

namespace kelvar::onairtest {

namespace fs = std::filesystem;

class TCoreFixture : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-onair-" + std::to_string(getpid()));
        fs::create_directories(Folder);
        Beat = std::make_unique<THeartBeat>(TickCount, false);
        GuiHeartBeat = Beat.get();
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto kelvar = Doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*kelvar);
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
        Manager = Api->PlaylistManager();
    }
    void TearDown() override {
        Manager.reset();
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        GuiHeartBeat = nullptr;
        Beat.reset();
        std::error_code ec;
        fs::remove_all(Folder, ec);
        TSongDbFixture::TearDown();
    }

    // A library song of Ms milliseconds (its file a tone of that length when Ms > 0).
    int AddSong(int N, int Ms, char SongType = 'S') {
        const std::string file = (Folder / ("song" + std::to_string(N) + ".wav")).string();
        coretest::WriteToneWav(file, Ms > 0 ? Ms : 1000, 300);
        const int id = AddSongRow(file, "Artist " + std::to_string(N), "Title " + std::to_string(N), Ms);
        if (SongType != 'S')
            PoolExecSQL("UPDATE songlist SET songtype = :t WHERE ID = :id", {std::string(1, SongType), id});
        return id;
    }

    static void Settle() { QCoreApplication::processEvents(); }

    fs::path Folder;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<THeartBeat> Beat;
    std::unique_ptr<TKelvar> Core;
    std::unique_ptr<TKelvarApi> Api;
    std::shared_ptr<TPlaylistManager> Manager;
};

}  // namespace kelvar::onairtest
