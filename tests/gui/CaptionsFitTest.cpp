// Every window, dialog and frame the screenshot mode draws, and the main window with every window
// of its Window menu open, in the program's dialog face: no caption is wider than its widget.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <sstream>

#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "controls/CaptionFit.h"
#include "controls/KcFonts.h"
#include "controls/KcTrayIcon.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/Logger_imp.h"
#include "gui/ProgramGuiFixture.h"
#include "gui/ProgramScreenshots.h"
#include "gui/WindowItems.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/KelvarGui.h"
#include "gui/engine/Screenshots.h"
#include "gui/unMDIGUI.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class TSilentTray : public ITrayBackend {
public:
    bool Add(const QIcon&, const QString&) override { return true; }
    bool Modify(const QIcon&, const QString&) override { return true; }
    void Delete() override {}
};

void Settle() {
    for (int i = 0; i < 2; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

std::string Report(const std::string& Window, const std::vector<TClippedCaption>& Clipped) {
    std::ostringstream out;
    for (const TClippedCaption& c : Clipped) out << Window << ": " << Describe(c) << "\n";
    return out.str();
}

class CaptionsFit : public guitest::TProgramGuiFixture {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "gui_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
        ::guitest::JoinQtThreadPoolAtExit();
        SavedFont = QApplication::font();
        UseDialogFont();
        StartProgram("kelvar-captions-");
    }
    void TearDown() override {
        if (Gui) {
            Gui->DoQuit();
            Gui.reset();
        }
        Settle();
        StopProgram();
        QApplication::setFont(SavedFont);
    }

    QFont SavedFont;
    std::unique_ptr<TfoMDIGui> Gui;
};

TEST_F(CaptionsFit, EveryWindowDialogAndFrame) {
    // Loaded decks show their format captions ("Stereo", rates, times).
    for (auto [deck, n] :
         {std::pair{Api->DeckPlayer(TDeckId::DeckA), 1}, std::pair{Api->DeckPlayer(TDeckId::DeckB), 2}}) {
        const std::string file = (Folder / ("song" + std::to_string(n) + ".wav")).string();
        coretest::WriteToneWav(file, 65000, 300);
        auto song = TSongInfo::Create(AddSongRow(file, "Artist", "Title", 65000), file);
        song->SetArtist("Artist");
        song->SetTitle("Title");
        song->SetDuration(65000);
        ASSERT_TRUE(deck->LoadSong(song));
    }
    RegisterProgramScreenshots();
    std::string clipped;
    int walked = 0;
    for (const TScreenshotEntry& entry : RegisteredScreenshots()) {
        std::unique_ptr<QWidget> widget = entry.Make();
        ASSERT_TRUE(widget) << entry.Name;
        widget->show();
        Settle();
        clipped += Report(entry.Name, FindClippedCaptions(*widget));
        ++walked;
    }
    EXPECT_GT(walked, 40);
    EXPECT_EQ(clipped, "");
}

TEST_F(CaptionsFit, MainWindowWithEveryWindowOpen) {
    Gui = std::make_unique<TfoMDIGui>(std::make_unique<TSilentTray>());
    Gui->FWindowList = GuiWindowList;
    Gui->FLayoutFileName = (Folder / "none.kgl").string();
    Gui->DoInit();
    Gui->show();
    Settle();
    for (int i = 0; i < GuiWindowList->Count(); ++i)
        if (!Gui->ItemAt(i)->GetVisible()) Gui->WindowMenuClick(i);
    Settle();
    EXPECT_EQ(Report("MainWindow", FindClippedCaptions(*Gui)), "");
}

}  // namespace
}  // namespace kelvar
