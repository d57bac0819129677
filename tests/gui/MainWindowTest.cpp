// The main window over a real core: the registry's order, the DJ-mode switch, the remote
// commands, the talk-over key, and layouts saved, loaded, switched between desktops and read
// back from bad files.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "audio/live/VoiceFX_imp.h"
#include "audio/mix/AudioPipe_imp.h"
#include "common/GuiTestKit.h"
#include "common/KelvarTestAccess.h"
#include "common/SongTestDatabase.h"
#include "controls/BoxButton.h"
#include "controls/KcButtons.h"
#include "core/AutoRecovery.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/Logger_imp.h"
#include "gui/ProgramGuiFixture.h"
#include "gui/WindowItems.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/engine/KelvarGui.h"
#include "gui/engine/unMDIForm.h"
#include "gui/unMDIGUI.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
    (void)app;
    ::guitest::JoinQtThreadPoolAtExit();
}

class TQuietTray : public ITrayBackend {
public:
    bool Add(const QIcon&, const QString&) override {
        ++Adds;
        return true;
    }
    bool Modify(const QIcon&, const QString&) override { return true; }
    void Delete() override { ++Deletes; }
    int Adds = 0;
    int Deletes = 0;
};

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MainWindow : public guitest::TProgramGuiFixture {
protected:
    void SetUp() override {
        EnsureApplication();
        StartProgram("kelvar-main-");
    }
    void TearDown() override {
        SetMessageHandler(nullptr);
        if (Gui) {
            Gui->DoQuit();
            Gui.reset();
        }
        StopProgram();
    }

    TfoMDIGui& Open(const fs::path& layout) {
        Tray = new TQuietTray;
        Gui = std::make_unique<TfoMDIGui>(std::unique_ptr<ITrayBackend>(Tray));
        Gui->FWindowList = GuiWindowList;
        Gui->FLayoutFileName = layout.string();
        Gui->DoInit();
        Settle();
        return *Gui;
    }
    static void Settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The names of the windows shown, in registry order.
    std::vector<std::string> Shown() const {
        std::vector<std::string> names;
        for (int i = 0; i < GuiWindowList->Count(); ++i) {
            IWindowItemPtr item = Gui->ItemAt(i);
            if (item->GetVisible() && item->GetHost() && item->GetHost()->isVisible()) {
                std::string name;
                item->GetName(name);
                names.push_back(name);
            }
        }
        return names;
    }
    void Write(const fs::path& file, const std::string& text) { std::ofstream(file) << text; }

    // What the door does not offer.
    TKelvarTestAccess In() { return TKelvarTestAccess(*Core); }
    std::unique_ptr<TfoMDIGui> Gui;
    TQuietTray* Tray = nullptr;
};

TEST_F(MainWindow, RegistryHoldsTheWindowsInMenuOrderWithTheirNamesCaptionsAndSizing) {
    struct TRow {
        const char* Name;
        const char* Caption;
        bool Sizeable;
    };
    const std::vector<TRow> expected = {
        {"PlayerA", "Deck A", false},     {"PlayerB", "Deck B", false},           {"Aux1", "Aux 1", false},
        {"Aux2", "Aux 2", false},         {"Playlist", "Playlist", true},         {"Queuelist", "Queue", true},
        {"Historylist", "History", true}, {"VoiceFX", "Voice FX", false},         {"MasterVolume", "Volume", false},
        {"SoundFX", "Sound FX", false},   {"FadeControl", "Fade Control", false}, {"EventLog", "Event log", true},
        {"Clock", "Clock", true},
    };
    ASSERT_EQ(GuiWindowList->Count(), static_cast<int>(expected.size()));
    for (int i = 0; i < GuiWindowList->Count(); ++i) {
        IWindowItemPtr item;
        GuiWindowList->Get(i, item);
        std::string name, caption;
        item->GetName(name);
        item->GetCaption(caption);
        EXPECT_EQ(name, expected[static_cast<size_t>(i)].Name);
        EXPECT_EQ(caption, expected[static_cast<size_t>(i)].Caption);
        EXPECT_EQ(item->GetSizeable(), expected[static_cast<size_t>(i)].Sizeable) << name;
    }

    // The Window menu lists them after its fixed entries, checked when shown; a click shows or
    // closes the window.
    TfoMDIGui& gui = Open(Folder / "none.kgl");
    gui.WindowMenuClick(12);
    gui.RebuildWindowMenu();
    gui.RebuildWindowMenu();  // a second rebuild replaces, not appends
    QStringList captions;
    std::vector<bool> checked;
    const QList<QAction*> entries = gui.Window1->actions();
    for (QAction* a : entries) {
        if (a->isSeparator() || a->menu() || !a->isCheckable()) continue;
        captions << a->text();
        checked.push_back(a->isChecked());
    }
    EXPECT_EQ(captions, QStringList({"Deck A", "Deck B", "Aux 1", "Aux 2", "Playlist", "Queue", "History", "Voice FX",
                                     "Volume", "Sound FX", "Fade Control", "Event log", "Clock"}));
    std::vector<bool> onlyClock(13, false);
    onlyClock.back() = true;
    EXPECT_EQ(checked, onlyClock);
    EXPECT_EQ(Shown(), std::vector<std::string>({"Clock"}));
    gui.WindowMenuClick(12);
    Settle();
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(gui.ItemAt(12)->IsActive());
}

TEST_F(MainWindow, DJModeButtonMenuAndQueueFailure) {
    TfoMDIGui& gui = Open(Folder / "none.kgl");
    TAutoRecovery& recovery = *In().AutoRecovery;
    ASSERT_EQ(recovery.DJMode, DJModes::AutoDJ);
    EXPECT_EQ(gui.btAutoDJ->text(), "Auto DJ");
    EXPECT_TRUE(gui.alDJModeOn->isChecked());

    // A click toggles between Auto DJ and Manual; from Queue it goes to Manual.
    QTest::mouseClick(gui.btAutoDJ, Qt::LeftButton, {}, QPoint(5, gui.btAutoDJ->height() / 2));
    EXPECT_EQ(recovery.DJMode, DJModes::Manual);
    EXPECT_EQ(gui.btAutoDJ->text(), "Manual");
    EXPECT_TRUE(gui.alDJModeOff->isChecked());
    EXPECT_FALSE(gui.alDJModeOn->isChecked());
    EXPECT_FALSE(gui.alAutoRecovery->isEnabled());
    gui.btAutoDJClick();
    EXPECT_EQ(recovery.DJMode, DJModes::AutoDJ);
    gui.alDJModeQueue->trigger();
    EXPECT_EQ(recovery.DJMode, DJModes::Queue);
    EXPECT_EQ(gui.btAutoDJ->text(), "Queue");
    EXPECT_TRUE(gui.alAutoRecovery->isEnabled());
    gui.btAutoDJClick();
    EXPECT_EQ(recovery.DJMode, DJModes::Manual);

    // A failed queue warns only in Auto DJ mode, and switches to Queue mode.
    std::vector<TMessageRequest> dialogs;
    SetMessageHandler([&](const TMessageRequest& r) {
        dialogs.push_back(r);
        return MsgButton::OK;
    });
    gui.QueueFailed();
    gui.alDJModeQueue->trigger();
    gui.QueueFailed();
    EXPECT_TRUE(dialogs.empty());
    gui.alDJModeOn->trigger();
    ASSERT_TRUE(In().OnQueueFailed);
    In().OnQueueFailed(*Core);
    EXPECT_EQ(recovery.DJMode, DJModes::Queue);
    EXPECT_EQ(gui.btAutoDJ->text(), "Queue");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].Type, TMsgDlgType::Warning);
    EXPECT_NE(dialogs[0].Text.find("after 20 tries"), std::string::npos);

    // The auto recovery's switch flips and shows its check mark; mute lights the button.
    const bool enabled = recovery.Enabled != 0;
    gui.alAutoRecovery->trigger();
    EXPECT_EQ(recovery.Enabled != 0, !enabled);
    EXPECT_EQ(gui.alAutoRecovery->isChecked(), !enabled);
    gui.alMute->trigger();
    EXPECT_TRUE(Api->Muted());
    EXPECT_TRUE(gui.btMuted->Active());
    gui.btMuted->Click();
    EXPECT_FALSE(Api->Muted());
    EXPECT_FALSE(gui.btMuted->Active());
}

TEST_F(MainWindow, RemoteCommandsCloseButtonAndTray) {
    TfoMDIGui& gui = Open(Folder / "none.kgl");
    gui.WindowMenuClick(12);
    ASSERT_TRUE(gui.isVisible());
    const TKelvarAPIHandlers handlers = gui.RemoteHandlers();
    DispatchKelvarAPI(KelvarAPI::Show, 1, handlers);
    EXPECT_TRUE(gui.isVisible());
    DispatchKelvarAPI(KelvarAPI::Show, 0, handlers);
    EXPECT_FALSE(gui.isVisible());
    EXPECT_EQ(gui.alHideShow->text(), "Show");
    gui.ShowKelvar();
    EXPECT_TRUE(gui.isVisible());
    gui.ShowKelvar();
    EXPECT_TRUE(gui.isVisible());
    In().NotifySongChange = 1;
    DispatchKelvarAPI(KelvarAPI::NotifySongChange, 0, handlers);
    EXPECT_EQ(In().NotifySongChange, 0);

    // The close button hides; the tray's double click brings back the same windows.
    gui.close();
    EXPECT_FALSE(gui.isVisible());
    EXPECT_FALSE(gui.ItemAt(12)->GetHost()->isVisible());
    EXPECT_TRUE(gui.ItemAt(12)->GetVisible());
    gui.TrayIcon1->HandleMouse(TTrayMouse::LeftDouble, QPoint(1, 1));
    Settle();
    EXPECT_TRUE(gui.isVisible());
    EXPECT_EQ(Shown(), std::vector<std::string>({"Clock"}));
    EXPECT_EQ(gui.alHideShow->text(), "Hide");

    // The notification area coming back gets the icon anew.
    const int adds = Tray->Adds;
    gui.TaskbarCreated();
    EXPECT_EQ(Tray->Adds, adds + 1);

    // The volume keys step by 5 and stop at the ends.
    ASSERT_TRUE(Api->AudioPipe());
    TDualOutput_Combo& output = Api->AudioPipe()->GetOutput();
    output.SetMainVolume(252);
    gui.alVolIncrease->trigger();
    EXPECT_EQ(output.GetMainVolume(), 255);
    output.SetMainVolume(3);
    gui.alVolDecrease->trigger();
    EXPECT_EQ(output.GetMainVolume(), 0);

    // (Help: HelpOpensTheInstalledGuideOrSaysItIsMissing.)

    // Exit hands the close over to the program.
    int exits = 0;
    gui.OnExit = [&] { ++exits; };
    DispatchKelvarAPI(KelvarAPI::Exit, 0, handlers);
    Settle();
    Settle();
    EXPECT_EQ(exits, 1);
    EXPECT_FALSE(gui.isVisible());
}

TEST_F(MainWindow, TalkOverKeyIgnoresAutoRepeat) {
    TfoMDIGui& gui = Open(Folder / "none.kgl");
    ASSERT_TRUE(Api->Voice());
    TVoiceFX& voice = *Api->Voice();
    auto send = [&](QEvent::Type type, Qt::KeyboardModifiers modifiers, bool repeat) {
        QKeyEvent event(type, Qt::Key_F11, modifiers, QString(), repeat);
        QCoreApplication::sendEvent(gui.ClientArea(), &event);
    };

    // F11 alone is push-to-talk.
    send(QEvent::KeyPress, Qt::NoModifier, false);
    EXPECT_TRUE(voice.GetTalking());
    send(QEvent::KeyRelease, Qt::NoModifier, true);
    send(QEvent::KeyPress, Qt::NoModifier, true);
    EXPECT_TRUE(voice.GetTalking());
    send(QEvent::KeyRelease, Qt::NoModifier, false);
    EXPECT_FALSE(voice.GetTalking());

    // Shift+F11 latches: holding it (the key repeating) leaves the voice on, not flickering.
    send(QEvent::KeyPress, Qt::ShiftModifier, false);
    EXPECT_TRUE(voice.GetTalking());
    EXPECT_TRUE(gui.VoiceLatched());
    for (int i = 0; i < 5; ++i) {
        send(QEvent::KeyRelease, Qt::ShiftModifier, true);
        send(QEvent::KeyPress, Qt::ShiftModifier, true);
        EXPECT_TRUE(voice.GetTalking()) << "repeat " << i;
        EXPECT_TRUE(gui.VoiceLatched());
    }
    send(QEvent::KeyRelease, Qt::ShiftModifier, false);
    EXPECT_TRUE(voice.GetTalking());

    // The next press switches it off and not on again in the same press.
    QTest::keyPress(&gui, Qt::Key_F11);
    EXPECT_FALSE(voice.GetTalking());
    EXPECT_FALSE(gui.VoiceLatched());
    QTest::keyRelease(&gui, Qt::Key_F11);
    EXPECT_FALSE(voice.GetTalking());

    // Ctrl+Shift+F11 does not latch.
    send(QEvent::KeyPress, Qt::ShiftModifier | Qt::ControlModifier, false);
    EXPECT_FALSE(gui.VoiceLatched());
    send(QEvent::KeyRelease, Qt::ShiftModifier | Qt::ControlModifier, false);
    EXPECT_FALSE(voice.GetTalking());
}

TEST_F(MainWindow, LayoutSavesAndLoadsBackIdentically) {
    TfoMDIGui& gui = Open(Folder / "start.kgl");
    gui.resize(900, 600);
    gui.WindowMenuClick(0);   // Deck A
    gui.WindowMenuClick(12);  // Clock
    gui.WindowMenuClick(11);  // Event log
    Settle();
    // A window shown for the first time sits at 10, 10 with its frame's own size.
    TfoMDIForm* deck = gui.ItemAt(0)->GetHost();
    ASSERT_TRUE(deck);
    EXPECT_EQ(deck->pos(), QPoint(10, 10));
    EXPECT_EQ(deck->size(), gui.ItemAt(0)->GetFrame()->size() + QSize(TfoMDIForm::ExtraWidth, TfoMDIForm::ExtraHeight));
    gui.ItemAt(12)->GetHost()->setGeometry(400, 20, 250, 260);
    gui.ItemAt(11)->GetHost()->setGeometry(30, 250, 500, 200);
    gui.SwitchDesktop(1);
    gui.WindowMenuClick(10);  // Fade control on desktop B
    gui.ItemAt(10)->GetHost()->move(120, 140);
    const QSize deckSize = deck->size();
    gui.SaveLayoutAs((Folder / "one.kgl").string());

    gui.NewLayout();
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(gui.CurDesktop(), 0);
    gui.LoadLayout((Folder / "one.kgl").string());
    Settle();
    EXPECT_EQ(gui.CurDesktop(), 1);
    EXPECT_EQ(Shown(), std::vector<std::string>({"FadeControl"}));
    EXPECT_EQ(gui.ItemAt(10)->GetHost()->pos(), QPoint(120, 140));
    gui.SaveLayoutAs((Folder / "two.kgl").string());
    EXPECT_EQ(ReadText(Folder / "one.kgl"), ReadText(Folder / "two.kgl"));
    gui.SwitchDesktop(0);
    Settle();
    EXPECT_EQ(Shown(), std::vector<std::string>({"PlayerA", "EventLog", "Clock"}));
    EXPECT_EQ(gui.ItemAt(12)->GetHost()->geometry(), QRect(400, 20, 250, 260));
    EXPECT_EQ(gui.ItemAt(11)->GetHost()->geometry(), QRect(30, 250, 500, 200));
    // A fixed window keeps its frame's size whatever the file says.
    EXPECT_EQ(gui.ItemAt(0)->GetHost()->size(), deckSize);

    // The shutdown writes the file loaded last, not the one the window started with, nor the
    // one saved as.
    const std::string saved = ReadText(Folder / "two.kgl");
    gui.DoQuit();
    EXPECT_FALSE(fs::exists(Folder / "start.kgl"));
    EXPECT_EQ(ReadText(Folder / "two.kgl"), saved);
    EXPECT_TRUE(TConfigDoc_XML::Create((Folder / "one.kgl").string())->Section("MAIN")->ReadBool("Visible", false));
    EXPECT_EQ(TConfigDoc_XML::Create((Folder / "one.kgl").string())->Section("MAIN")->ReadInteger("CurDeskTop", -1), 0);
    for (int i = 0; i < GuiWindowList->Count(); ++i) {
        EXPECT_FALSE(gui.ItemAt(i)->IsActive());
        EXPECT_FALSE(gui.ItemAt(i)->GetHost());
    }
    Gui.reset();
}

TEST_F(MainWindow, DesktopSwitchingKeepsEachDesktopsWindowsAndPositions) {
    TfoMDIGui& gui = Open(Folder / "desk.kgl");
    gui.resize(900, 600);
    gui.WindowMenuClick(0);
    gui.WindowMenuClick(12);
    gui.ItemAt(0)->GetHost()->move(200, 100);
    EXPECT_EQ(gui.btDeskTopA->Color(), 0xAFD3AFu);
    EXPECT_EQ(gui.btDeskTopB->Color(), 0xF3FFE8u);

    gui.alDesktopB->trigger();
    Settle();
    EXPECT_EQ(gui.CurDesktop(), 1);
    EXPECT_TRUE(Shown().empty());
    // Hidden windows stay active so that their frames keep their state.
    EXPECT_TRUE(gui.ItemAt(0)->IsActive());
    EXPECT_EQ(gui.btDeskTopB->Color(), 0xAFD3AFu);
    EXPECT_EQ(gui.btDeskTopA->Color(), 0xF3FFE8u);
    gui.WindowMenuClick(1);
    gui.ItemAt(1)->GetHost()->move(300, 50);

    gui.alDesktopA->trigger();
    Settle();
    EXPECT_EQ(Shown(), std::vector<std::string>({"PlayerA", "Clock"}));
    EXPECT_EQ(gui.ItemAt(0)->GetHost()->pos(), QPoint(200, 100));
    gui.alDesktopC->trigger();
    EXPECT_TRUE(Shown().empty());
    gui.alDesktopB->trigger();
    Settle();
    EXPECT_EQ(Shown(), std::vector<std::string>({"PlayerB"}));
    EXPECT_EQ(gui.ItemAt(1)->GetHost()->pos(), QPoint(300, 50));
    // Switching to the desktop already shown keeps it as it is.
    gui.alDesktopB->trigger();
    Settle();
    EXPECT_EQ(Shown(), std::vector<std::string>({"PlayerB"}));

    // Closing a window with its host's close button closes it on this desktop only.
    gui.ItemAt(1)->GetHost()->CloseClicked();
    Settle();
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(gui.ItemAt(1)->IsActive());
    gui.alDesktopA->trigger();
    Settle();
    EXPECT_EQ(Shown(), std::vector<std::string>({"PlayerA", "Clock"}));
}

TEST_F(MainWindow, BadLayoutFilesAreCorrectedNotFatal) {
    // Values that are not numbers, out of reason, or put windows where nobody sees them.
    Write(Folder / "bad.kgl", R"(<?xml version="1.0"?>
<CONFIG>
  <MAIN><Width>wide</Width><Height>-40</Height><Left>50000</Left><Top>-90000</Top>
        <Visible>maybe</Visible><CurDeskTop>two</CurDeskTop></MAIN>
  <DeskTop0>
    <PlayerA><Visible>True</Visible><Left>-20</Left><Top>abc</Top></PlayerA>
    <Clock><Visible>1</Visible><Width>-5</Width><Height>99999999999</Height><Left>5000</Left><Top>4000</Top></Clock>
    <EventLog><Visible>True</Visible><Width>300</Width><Height>150</Height><Left>7</Left><Top>8</Top></EventLog>
    <Unknown><Visible>True</Visible></Unknown>
  </DeskTop0>
</CONFIG>)");
    TfoMDIGui& gui = Open(Folder / "bad.kgl");
    EXPECT_EQ(gui.CurDesktop(), 0);
    EXPECT_TRUE(gui.isVisible());
    EXPECT_EQ(gui.size(), QSize(812, 425));
    EXPECT_EQ(Shown(), std::vector<std::string>({"PlayerA", "EventLog", "Clock"}));
    EXPECT_EQ(gui.ItemAt(0)->GetHost()->pos(), QPoint(0, 10));
    EXPECT_EQ(gui.ItemAt(11)->GetHost()->geometry(), QRect(7, 8, 300, 150));
    // The clock's size falls back to its frame's; it is brought back inside the main window.
    TfoMDIForm* clock = gui.ItemAt(12)->GetHost();
    EXPECT_EQ(clock->size(),
              gui.ItemAt(12)->GetFrame()->size() + QSize(TfoMDIForm::ExtraWidth, TfoMDIForm::ExtraHeight));
    EXPECT_LE(clock->x(), gui.width() - 40);
    EXPECT_LE(clock->y(), gui.height() - 40);
    EXPECT_GE(Log->Count("Layout value", "GUI"), 6);
    gui.DoQuit();
    Gui.reset();
    // What is written back reads cleanly.
    auto saved = TConfigDoc_XML::Create((Folder / "bad.kgl").string());
    EXPECT_EQ(saved->Section("MAIN")->ReadInteger("Width", 0), 812);
    EXPECT_TRUE(saved->Section("DeskTop0")->Section("PlayerA")->ReadBool("Visible", false));

    // A desktop beyond C shows its own node and no button lights; it is written back.
    Write(Folder / "five.kgl",
          "<CONFIG><MAIN><CurDeskTop>5</CurDeskTop></MAIN>"
          "<DeskTop5><Clock><Visible>True</Visible></Clock></DeskTop5></CONFIG>");
    TfoMDIGui& five = Open(Folder / "five.kgl");
    EXPECT_EQ(five.CurDesktop(), 5);
    EXPECT_EQ(Shown(), std::vector<std::string>({"Clock"}));
    for (TBoxButton* b : {five.btDeskTopA, five.btDeskTopB, five.btDeskTopC}) EXPECT_EQ(b->Color(), 0xF3FFE8u);
    five.DoQuit();
    Gui.reset();
    EXPECT_EQ(TConfigDoc_XML::Create((Folder / "five.kgl").string())->Section("MAIN")->ReadInteger("CurDeskTop", 0), 5);

    // A file that is not XML at all is kept aside and the layout starts empty.
    Write(Folder / "garbage.kgl", "<CONFIG><MAIN><Width>10");
    TfoMDIGui& empty = Open(Folder / "garbage.kgl");
    EXPECT_TRUE(Shown().empty());
    EXPECT_TRUE(fs::exists(Folder / "garbage.kgl.broken"));
    empty.DoQuit();
    Gui.reset();
    EXPECT_NO_THROW(TConfigDoc_XML::Create((Folder / "garbage.kgl").string()));
}

TEST_F(MainWindow, LayoutMenuListsEachFoldersLayoutsInOrder) {
    TfoMDIGui& gui = Open(Folder / "none.kgl");
    const fs::path root = LayoutFolder();
    const bool rootExisted = fs::exists(root);
    const std::string tag = "t" + std::to_string(getpid());
    for (const char* sub : {"wide", "small", "small/inner", "empty"}) fs::create_directories(root / (tag + sub));
    Write(root / (tag + "wide") / "b.kgl", "<CONFIG/>");
    Write(root / (tag + "wide") / "a.kgl", "<CONFIG><MAIN><CurDeskTop>2</CurDeskTop></MAIN></CONFIG>");
    Write(root / (tag + "small") / "c.kgl", "<CONFIG/>");
    Write(root / (tag + "small/inner") / "d.kgl", "<CONFIG/>");
    Write(root / (tag + "empty") / "notes.txt", "");
    gui.RebuildLayoutMenu();
    gui.RebuildLayoutMenu();
    QStringList menus;
    for (QAction* a : gui.Layout1->actions())
        if (a->menu() && a->text().startsWith(QString::fromStdString(tag))) {
            QStringList files;
            for (QAction* f : a->menu()->actions()) files << f->text();
            menus << a->text() + ":" + files.join(",");
        }
    EXPECT_EQ(menus,
              QStringList({QString::fromStdString(tag + "small:c"), QString::fromStdString(tag + "small/inner:d"),
                           QString::fromStdString(tag + "wide:a,b")}));
    // An entry loads its file.
    for (QAction* a : gui.Layout1->actions())
        if (a->menu() && a->text() == QString::fromStdString(tag + "wide")) a->menu()->actions().front()->trigger();
    EXPECT_EQ(gui.CurDesktop(), 2);
    for (const char* sub : {"wide", "small", "empty"}) fs::remove_all(root / (tag + sub));
    if (!rootExisted) fs::remove_all(root);
}

TEST_F(MainWindow, FirstLayoutFillsTheClientAreaAndLaterWindowsCascade) {
    // The layout the setup installs for a 1024x768 screen lists its windows without places.
    fs::copy_file(KELVAR_FIRST_LAYOUT, Folder / "first.kgl");
    TfoMDIGui& gui = Open(Folder / "first.kgl");
    const QRect client = gui.ClientArea()->rect();
    EXPECT_EQ(Shown(), std::vector<std::string>({"PlayerA", "PlayerB", "Playlist", "Queuelist", "Historylist",
                                                 "FadeControl", "EventLog", "Clock"}));
    std::vector<QRect> hosts;
    int area = 0;
    for (const std::string& name : Shown()) {
        const QRect r = gui.ItemNamed(name)->GetHost()->geometry();
        EXPECT_TRUE(client.contains(r)) << name;
        for (const QRect& other : hosts) EXPECT_FALSE(r.intersects(other)) << name;
        hosts.push_back(r);
        area += r.width() * r.height();
    }
    EXPECT_EQ(area, client.width() * client.height());
    // Decks, fade control and clock above the lists.
    const int library = gui.ItemNamed("Playlist")->GetHost()->y();
    for (const char* top : {"PlayerA", "PlayerB", "FadeControl", "Clock"})
        EXPECT_LT(gui.ItemNamed(top)->GetHost()->geometry().bottom(), library) << top;

    // Windows opened later from the Window menu each get a place of their own.
    gui.WindowMenuClick(9);  // Sound FX
    gui.WindowMenuClick(8);  // Volume
    Settle();
    const QPoint pads = gui.ItemAt(9)->GetHost()->pos(), volume = gui.ItemAt(8)->GetHost()->pos();
    EXPECT_NE(pads, volume);
    for (const QRect& r : hosts) {
        EXPECT_NE(r.topLeft(), pads);
        EXPECT_NE(r.topLeft(), volume);
    }
    // Once saved, the first layout comes back as it was left.
    const QRect deckB = gui.ItemNamed("PlayerB")->GetHost()->geometry();
    gui.DoQuit();
    Gui.reset();
    TfoMDIGui& again = Open(Folder / "first.kgl");
    EXPECT_EQ(again.ItemNamed("PlayerB")->GetHost()->geometry(), deckB);
    EXPECT_EQ(again.ItemAt(9)->GetHost()->pos(), pads);
}

TEST_F(MainWindow, HelpOpensTheInstalledGuideOrSaysItIsMissing) {
    std::vector<std::string> opened;
    const auto keep = TfoMDIGui::OpenDocument;
    TfoMDIGui::OpenDocument = [&](const std::string& path) {
        opened.push_back(path);
        return true;
    };
    std::vector<TMessageRequest> boxes;
    SetMessageHandler([&](const TMessageRequest& r) {
        boxes.push_back(r);
        return MsgButton::OK;
    });
    TfoMDIGui& gui = Open(Folder / "none.kgl");
    const fs::path guide = TfoMDIGui::HelpFile();
    const bool existed = fs::exists(guide);
    std::error_code ec;
    if (!existed) {
        fs::create_directories(guide.parent_path());
        Write(guide, "<html></html>");
    }
    gui.alHelp->trigger();
    gui.btHelp->click();  // the toolbar's "?"
    EXPECT_EQ(opened, std::vector<std::string>(2, guide.string()));
    EXPECT_TRUE(boxes.empty());

    // Missing, or with no program to show it: the person is told, in a box above the main window.
    fs::rename(guide, guide.string() + ".away");
    gui.alHelp->trigger();
    fs::rename(guide.string() + ".away", guide);
    TfoMDIGui::OpenDocument = [](const std::string&) { return false; };
    gui.alHelp->trigger();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].Text.find("not installed"), std::string::npos);
    EXPECT_NE(boxes[0].Text.find(guide.string()), std::string::npos);
    EXPECT_NE(boxes[1].Text.find("could not be opened"), std::string::npos);
    for (const TMessageRequest& box : boxes) EXPECT_EQ(box.Owner, &gui);
    EXPECT_EQ(opened.size(), 2u);
    TfoMDIGui::OpenDocument = keep;
    if (!existed) fs::remove_all(guide.parent_path(), ec);
}

}  // namespace
}  // namespace kelvar
