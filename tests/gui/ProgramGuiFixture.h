#pragma once
// A real core with its door, the GUI engine and the window registry over a test song database: what
// the main window's tests stand on. A test makes the main window itself and frees it before
// TearDown.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <filesystem>
#include <memory>
#include <string>

#include "common/SongTestDatabase.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/Logger_imp.h"
#include "gui/WindowItems.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/KelvarGui.h"

namespace kelvar::guitest {

class TProgramGuiFixture : public songtest::TSongDbFixture {
protected:
    // Folder is a fresh temporary folder named after Prefix.
    void StartProgram(const std::string& Prefix) {
        TSongDbFixture::SetUp();
        Folder = std::filesystem::temp_directory_path() / (Prefix + std::to_string(getpid()));
        std::filesystem::remove_all(Folder);
        std::filesystem::create_directories(Folder);
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto kelvar = Doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*kelvar);
        auto logger = std::make_shared<TLogger>();
        logger->SetLogToFile(false);
        GuiLogger = logger;
        GuiWindowList.reset();
        RegisterWindowItems();
        Engine =
            std::make_unique<TKelvarGui>((Folder / "gui.xml").string(), std::make_unique<THeartBeat>(TickCount, false));
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
    }

    // After the test's main window has gone.
    void StopProgram() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (Engine) Engine->DoQuit();
        Engine.reset();
        GuiWindowList.reset();
        SetProgramKelvarApi(nullptr);
        Api.reset();
        GuiLogger.reset();
        Core.reset();
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
        TSongDbFixture::TearDown();
    }

    std::filesystem::path Folder;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    std::unique_ptr<TKelvarApi> Api;
    std::unique_ptr<TKelvarGui> Engine;
};

}  // namespace kelvar::guitest
