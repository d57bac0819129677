#pragma once
// A real core over the suite's temporary song database, set as the windows' core.
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistManager.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/engine/GUIcommon.h"

namespace kelvar::liststest {

class TCoreFixture : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
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
        if (Manager) Manager->Categories->GetDelayedQuery()->WaitForAll();
        Manager.reset();
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        TSongDbFixture::TearDown();
    }

    bool PumpUntil(const std::function<bool()>& Done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!Done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            QCoreApplication::processEvents();
            if (Loop->ProcessPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    std::unique_ptr<TKelvarApi> Api;
    std::shared_ptr<TPlaylistManager> Manager;
};

}  // namespace kelvar::liststest
