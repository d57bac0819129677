#include "gui/unMDIGUI.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "controls/BoxButton.h"
#include "controls/KcButtons.h"
#include "controls/KcLcd.h"
#include "controls/KcResources.h"
#include "controls/KcTrayIcon.h"
#include "core/CoreCommon.h"
#include "core/KelvarApi.h"
#include "foundation/MiscFunc.h"
#include "foundation/Version.h"
#include "gui/FirstRunImport.h"
#include "gui/RemoteCommands.h"
#include "gui/audioconfig/unCfgPlayer.h"
#include "gui/config/KelvarConfig_imp.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/engine/unMDIForm.h"
#include "gui/tools/MaintenanceTools.h"
#include "gui/tools/unAbout.h"
#include "gui/tools/unAutoRecovery.h"
#include "gui/tools/unFirstRun.h"

namespace kelvar {

namespace {

constexpr const char* kTitle = "Kelvar Zorvik";

TKelvarApi* Api() { return ProgramKelvarApi(); }

QAction* NewAction(QObject* Parent, const char* Caption, const char* Hint = "") {
    auto* a = new QAction(QString::fromUtf8(Caption), Parent);
    if (*Hint) {
        a->setToolTip(QString::fromUtf8(Hint));
        a->setStatusTip(QString::fromUtf8(Hint));
    }
    return a;
}

}  // namespace

std::function<bool(const std::string& Path)> TfoMDIGui::OpenDocument = [](const std::string& Path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(Path)));
};

std::string TfoMDIGui::HelpFile() { return ProgramFolder() + "help/Kelvar-NMV.html"; }

TfoMDIGui::TfoMDIGui(std::unique_ptr<ITrayBackend> Tray, QWidget* Parent) : QMainWindow(Parent) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(KcProgramIcon());
    resize(812, 425);
    FClient = new QWidget(this);
    FClient->setObjectName(QStringLiteral("ClientArea"));
    FClient->setAutoFillBackground(true);
    QPalette pal = FClient->palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    FClient->setPalette(pal);
    setCentralWidget(FClient);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    TrayIcon1 = new TKcTrayIcon(std::move(Tray));
    TrayIcon1->setParent(this);
    CreateTray();
}

TfoMDIGui::~TfoMDIGui() {
    if (FHooked) qApp->removeEventFilter(this);
    if (FClockRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, 1);
    // The hosts are the items' to free; they must not go with this window's children.
    for (QObject* child : FClient->children())
        if (auto* host = dynamic_cast<TfoMDIForm*>(child)) host->setParent(nullptr);
}

void TfoMDIGui::CreateActions() {
    alExit = NewAction(this, "Exit");
    alHideShow = NewAction(this, "Hide", "Hide Kelvar");
    alHideShow->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    alConfig = NewAction(this, "Config", "Open configuration");
    alSaveConfig = NewAction(this, "Save Configuration");
    alAbout = NewAction(this, "About");
    alCloseAll = NewAction(this, "Close all");
    alRestore = NewAction(this, "Restore");
    alPlay = NewAction(this, "Play", "Start the Kelvar Player");
    alPlay->setShortcut(Qt::Key_F1);
    alPause = NewAction(this, "Pause", "Pause");
    alPause->setShortcut(Qt::Key_F2);
    alStop = NewAction(this, "Stop", "Stop");
    alStop->setShortcut(Qt::Key_F3);
    alNext = NewAction(this, "Next", "Skip to next song");
    alNext->setShortcut(Qt::Key_F4);
    alFadeToNext = NewAction(this, "Fade to Next");
    alFadeToNext->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F4));
    alDesktopA = NewAction(this, "Desktop A", "Switch to DeskTop A");
    alDesktopA->setShortcut(Qt::Key_F5);
    alDesktopB = NewAction(this, "Desktop B", "Switch to DeskTop B");
    alDesktopB->setShortcut(Qt::Key_F6);
    alDesktopC = NewAction(this, "Desktop C", "Switch to DeskTop C");
    alDesktopC->setShortcut(Qt::Key_F7);
    alNewLayout = NewAction(this, "New");
    alDJModeOn = NewAction(this, "Auto DJ Mode");
    alDJModeQueue = NewAction(this, "Play Queue");
    alDJModeOff = NewAction(this, "Manual DJ");
    alAutoRecovery = NewAction(this, "Auto recovery");
    alMute = NewAction(this, "Mute Studio");
    alMute->setShortcut(Qt::Key_F12);
    alVolIncrease = NewAction(this, "");
    alVolIncrease->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(QStringLiteral("Ctrl++"))});
    alVolDecrease = NewAction(this, "");
    alVolDecrease->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Minus), QKeySequence(QStringLiteral("Ctrl+_"))});
    alHelp = NewAction(this, "&Help", "Load Kelvar help pages");
    for (QAction* a : {alDJModeOn, alDJModeQueue, alDJModeOff, alAutoRecovery, alMute}) a->setCheckable(true);
    // Shortcuts without a menu entry, and those of hidden menus, work through the window itself.
    addAction(alVolIncrease);
    addAction(alVolDecrease);

    connect(alExit, &QAction::triggered, this, [this] {
        FExiting = true;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    connect(alHideShow, &QAction::triggered, this, [this] { ToggleVisible(); });
    connect(alConfig, &QAction::triggered, this, [this] { alConfigExecute(); });
    connect(alSaveConfig, &QAction::triggered, this, [this] { alSaveConfigExecute(); });
    connect(alAbout, &QAction::triggered, this, [this] { alAboutExecute(); });
    connect(alCloseAll, &QAction::triggered, this, [this] { HideAllWindows(); });
    connect(alRestore, &QAction::triggered, this, [this] { RestoreAllWindows(); });
    connect(alPlay, &QAction::triggered, this, [] {
        if (Api()) Api()->Play();
    });
    connect(alPause, &QAction::triggered, this, [this] { alPauseExecute(); });
    connect(alStop, &QAction::triggered, this, [] {
        if (Api()) Api()->Stop();
    });
    connect(alNext, &QAction::triggered, this, [] {
        if (Api()) Api()->PlayNext(IsShiftDown());
    });
    connect(alFadeToNext, &QAction::triggered, this, [] {
        if (Api()) Api()->PlayNext(true);
    });
    connect(alDesktopA, &QAction::triggered, this, [this] { SwitchDesktop(0); });
    connect(alDesktopB, &QAction::triggered, this, [this] { SwitchDesktop(1); });
    connect(alDesktopC, &QAction::triggered, this, [this] { SwitchDesktop(2); });
    connect(alNewLayout, &QAction::triggered, this, [this] { NewLayout(); });
    connect(alDJModeOn, &QAction::triggered, this, [this] { SetDJMode(DJModes::AutoDJ); });
    connect(alDJModeQueue, &QAction::triggered, this, [this] { SetDJMode(DJModes::Queue); });
    connect(alDJModeOff, &QAction::triggered, this, [this] { SetDJMode(DJModes::Manual); });
    connect(alAutoRecovery, &QAction::triggered, this, [this] {
        if (Api()) Api()->SetAutoRecoveryEnabled(!Api()->AutoRecoveryEnabled());
        RefreshDJMode();
    });
    connect(alMute, &QAction::triggered, this, [this] { alMuteExecute(); });
    connect(alVolIncrease, &QAction::triggered, this, [this] { ChangeVolume(5); });
    connect(alVolDecrease, &QAction::triggered, this, [this] { ChangeVolume(-5); });
    connect(alHelp, &QAction::triggered, this, [this] { OpenHelp(); });
}

void TfoMDIGui::CreateMenus() {
    QMenuBar* bar = menuBar();
    File1 = bar->addMenu(QStringLiteral("&File"));
    File1->addAction(alConfig);
    File1->addAction(alSaveConfig);
    File1->addSeparator();
    File1->addAction(alHideShow);
    File1->addAction(alExit);

    auto addDJModes = [this](QMenu* menu, bool queueLong) {
        menu->addAction(alDJModeOn);
        if (queueLong) {
            // The Player menu's own caption for the queue mode, bound to the same action.
            QAction* entry = menu->addAction(QStringLiteral("Play only Queue"));
            entry->setCheckable(true);
            connect(entry, &QAction::triggered, alDJModeQueue, &QAction::trigger);
            connect(alDJModeQueue, &QAction::changed, entry, [entry, this] {
                entry->setChecked(alDJModeQueue->isChecked());
                entry->setEnabled(alDJModeQueue->isEnabled());
            });
        } else {
            menu->addAction(alDJModeQueue);
        }
        menu->addAction(alDJModeOff);
        menu->addSeparator();
        menu->addAction(alAutoRecovery);
    };

    Player1 = bar->addMenu(QStringLiteral("&Player"));
    for (QAction* a : {alPlay, alPause, alStop, alNext, alFadeToNext}) Player1->addAction(a);
    Player1->addSeparator();
    addDJModes(Player1->addMenu(QStringLiteral("DJ Mode")), true);
    Player1->addSeparator();
    Player1->addAction(alAutoRecovery);
    Player1->addAction(alMute);
    connect(Player1, &QMenu::aboutToShow, this, [this] { RefreshPlayerMenu(); });

    Window1 = bar->addMenu(QStringLiteral("&Window"));
    Window1->addAction(alCloseAll);
    Window1->addAction(alRestore);
    QMenu* desktop = Window1->addMenu(QStringLiteral("Desktop"));
    desktop->addAction(alDesktopA);
    desktop->addAction(alDesktopB);
    desktop->addAction(alDesktopC);
    Window1->addSeparator();
    connect(Window1, &QMenu::aboutToShow, this, [this] { RebuildWindowMenu(); });

    Layout1 = bar->addMenu(QStringLiteral("&Layout"));
    Layout1->addAction(alNewLayout);
    QMenu* load = Layout1->addMenu(QStringLiteral("Load"));
    connect(load->addAction(QStringLiteral("Load default")), &QAction::triggered, this,
            [this] { LoadLayout(DefaultLayoutFile()); });
    connect(load->addAction(QStringLiteral("Load")), &QAction::triggered, this, [this] { LoadLayoutDialog(); });
    QMenu* save = Layout1->addMenu(QStringLiteral("Save"));
    connect(save->addAction(QStringLiteral("Save as default")), &QAction::triggered, this,
            [this] { SaveLayoutAs(DefaultLayoutFile()); });
    connect(save->addAction(QStringLiteral("Save as")), &QAction::triggered, this, [this] { SaveLayoutDialog(); });
    Layout1->addSeparator();
    connect(Layout1, &QMenu::aboutToShow, this, [this] {
        try {
            RebuildLayoutMenu();
        } catch (const std::exception& e) {
            Log(std::string("Unhandled exception (") + e.what() + ")", LogKind::Exception);
        }
    });

    Tools1 = bar->addMenu(QStringLiteral("&Tools"));
    FTools = std::make_unique<TMaintenanceTools>(this);
    TMaintenanceTools* tools = FTools.get();
    QMenu* maintenance = Tools1->addMenu(QStringLiteral("Maintenance"));
    const std::pair<const char*, void (TMaintenanceTools::*)()> maintenanceItems[] = {
        {"Reset weight balance", &TMaintenanceTools::Resetweight1Click},
        {"Verify songs", &TMaintenanceTools::Verifysongs1Click},
        {"Clear history", &TMaintenanceTools::Clearhistory1Click}};
    for (const auto& [caption, handler] : maintenanceItems)
        connect(maintenance->addAction(QString::fromUtf8(caption)), &QAction::triggered, this,
                [tools, handler = handler] { (tools->*handler)(); });
    QMenu* tagger = Tools1->addMenu(QStringLiteral("Mass tagger"));
    connect(tagger->addAction(QStringLiteral("Load ALL tags")), &QAction::triggered, this,
            [tools] { tools->LoadALLtags1Click(); });
    connect(tagger->addAction(QStringLiteral("Save ALL tags")), &QAction::triggered, this,
            [tools] { tools->SaveALLtags1Click(); });

    Help1 = bar->addMenu(QStringLiteral("&Help"));
    Help1->addAction(alHelp);
    Help1->addSeparator();
    Help1->addAction(alAbout);

    Debug1 = bar->addMenu(QStringLiteral("Debug"));
    Debug1->menuAction()->setVisible(false);
    connect(Debug1->addAction(QStringLiteral("Exception")), &QAction::triggered, this,
            [] { throw std::runtime_error("Test debug exception 123"); });
    connect(Debug1->addAction(QStringLiteral("Hidden exception")), &QAction::triggered, this, [] {
        try {
            throw std::runtime_error("Test debug exception [Hidden]");
        } catch (const std::exception&) {}
    });
    connect(Debug1->addAction(QStringLiteral("FirstRun")), &QAction::triggered, this, [] { RunFirstRunWizard(); });
    connect(Debug1->addAction(QStringLiteral("TaskBar Created Msg")), &QAction::triggered, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { TaskbarCreated(); }, Qt::QueuedConnection);
    });

    DJModeMenu = new QMenu(this);
    addDJModes(DJModeMenu, false);
}

void TfoMDIGui::CreateToolBar() {
    ToolBar1 = new QToolBar(QStringLiteral("Toolbar"), this);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolBar1->setIconSize(QSize(16, 16));
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto button = [this](QAction* action, const char* caption, const char* hint, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(ToolBar1);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setText(QString::fromUtf8(caption));
        b->setToolTip(QString::fromUtf8(hint));
        b->setIcon(style()->standardIcon(icon));
        if (action) connect(b, &QToolButton::clicked, action, &QAction::trigger);
        ToolBar1->addWidget(b);
        return b;
    };
    btPlay = button(alPlay, "Play", "Start Player", QStyle::SP_MediaPlay);
    btPause = button(alPause, "Pause", "Pause", QStyle::SP_MediaPause);
    btStop = button(alStop, "Stop", "Stop all players", QStyle::SP_MediaStop);
    btNext = button(alNext, "Next", "Skip to next track", QStyle::SP_MediaSkipForward);
    ToolBar1->addSeparator();

    btMuted = new TKcPowerButton(ToolBar1);
    btMuted->SetCaption(QStringLiteral("Mute"));
    btMuted->setFixedSize(64, 24);
    btMuted->OnClick = [this](auto&&...) { alMute->trigger(); };
    ToolBar1->addWidget(btMuted);
    ToolBar1->addSeparator();

    btAutoDJ = new QToolButton(ToolBar1);
    btAutoDJ->setToolTip(QStringLiteral("Zeziror IV Mode"));
    btAutoDJ->setText(QStringLiteral("Auto DJ"));
    btAutoDJ->setPopupMode(QToolButton::MenuButtonPopup);
    btAutoDJ->setMenu(DJModeMenu);
    btAutoDJ->setMinimumWidth(80);
    connect(btAutoDJ, &QToolButton::clicked, this, [this] { btAutoDJClick(); });
    ToolBar1->addWidget(btAutoDJ);

    auto desktopButton = [this](QAction* action, const char* caption) {
        auto* b = new TBoxButton(QString::fromUtf8(caption), ToolBar1);
        b->setToolTip(action->toolTip());
        b->setFixedSize(26, 24);
        connect(b, &QToolButton::clicked, action, &QAction::trigger);
        ToolBar1->addWidget(b);
        return b;
    };
    btDeskTopA = desktopButton(alDesktopA, "A");
    btDeskTopB = desktopButton(alDesktopB, "B");
    btDeskTopC = desktopButton(alDesktopC, "C");
    ToolBar1->addSeparator();
    btConfig = button(alConfig, "Config", "Open configuration", QStyle::SP_FileDialogDetailedView);
    btHide = button(alHideShow, "Hide", "Hide Kelvar", QStyle::SP_TitleBarMinButton);
    ToolBar1->addSeparator();
    btHelp = button(alHelp, "?", "Load Kelvar help pages", QStyle::SP_DialogHelpButton);
    btHelp->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto* spacer = new QWidget(ToolBar1);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ToolBar1->addWidget(spacer);
    eClock = new TKcClock(ToolBar1);
    eClock->SetClockType(TKcClockType::ctCustom);
    eClock->SetShowSeconds(true);
    eClock->SetStyle(TKcNumStyle::ns7x13);
    eClock->setToolTip(QStringLiteral("Clock"));
    eClock->setFixedSize(eClock->NaturalWidth(), eClock->DigitHeight());
    ToolBar1->addWidget(eClock);
}

void TfoMDIGui::CreateTray() {
    TrayMenu = new QMenu(this);
    TrayMenu->addAction(alHideShow);
    QMenu* player = TrayMenu->addMenu(QStringLiteral("Player"));
    for (QAction* a : {alPlay, alPause, alStop, alNext, alFadeToNext}) player->addAction(a);
    player->addSeparator();
    QMenu* modes = player->addMenu(QStringLiteral("DJ Mode"));
    for (QAction* a : {alDJModeOn, alDJModeQueue, alDJModeOff}) modes->addAction(a);
    modes->addSeparator();
    modes->addAction(alAutoRecovery);
    player->addAction(alMute);
    TrayMenu->addSeparator();
    TrayMenu->addAction(alConfig);
    TrayMenu->addAction(alAbout);
    TrayMenu->addAction(alExit);
    connect(TrayMenu, &QMenu::aboutToShow, this, [this] { RefreshPlayerMenu(); });
    TrayIcon1->SetIcon(KcProgramIcon());
    TrayIcon1->SetPopupMenu(TrayMenu);
    TrayIcon1->SetShowHint(true);
    TrayIcon1->OnDblClick = [this](TKcTrayIcon&) { ToggleVisible(); };
    TrayIcon1->SetVisible(true);
}

void TfoMDIGui::DoInit() {
    FExiting = false;
    FVoiceLatched = false;
    SetTitle();
    // The fixed entries stay when the lists are rebuilt.
    FWindowMenuFixed = static_cast<int>(Window1->actions().size());
    FLayoutMenuFixed = static_cast<int>(Layout1->actions().size());
    LoadLayout(FLayoutFileName.empty() ? DefaultLayoutFile() : FLayoutFileName);
    if (FMainVisible) {
        show();
        RestoreAllWindows();
    } else {
        HideAllWindows();
    }
    UpdateHideShowCaption();
    RefreshDJMode();
    if (TKelvarApi* api = Api()) {
        // The countdown shows while the recovery waits; it goes when the recovery starts or is
        // aborted elsewhere.
        FCoreLinks = api->ListenRecovery([](TAutoRecovery& Recovery) { ShowAutoRecoveryDialog(Recovery); },
                                         [] { CloseAutoRecoveryDialog(); });
        FCoreLinks.push_back(api->ListenQueueFailed([this] { QueueFailed(); }));
        FCoreLinks.push_back(api->ListenDJMode([this](int) { RefreshDJMode(); }));
    }
    if (GuiHeartBeat && !FClockRegistered) {
        GuiHeartBeat->Add(300, this, 1, [this](THeartBeat&) { RefreshClock(); });
        FClockRegistered = true;
    }
    RefreshClock();
    // Key preview: the talk-over key reaches this window before any child sees it.
    qApp->installEventFilter(this);
    FHooked = true;
}

void TfoMDIGui::DoQuit() {
    if (FHooked) {
        qApp->removeEventFilter(this);
        FHooked = false;
    }
    if (FClockRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, 1);
    FClockRegistered = false;
    CloseAutoRecoveryDialog();
    CloseAudioSettings();
    FCoreLinks.clear();
    try {
        if (FLayout) {
            SaveLayout(*FLayout);
            FLayout->Save();
        }
    } catch (const std::exception& e) {
        Log(std::string("Layout not saved: ") + e.what(), LogKind::Error);
    }
    CloseAllItems();
}

void TfoMDIGui::closeEvent(QCloseEvent* Event) {
    if (FExiting || QCoreApplication::closingDown()) {
        hide();
        Event->accept();
        if (OnExit) QMetaObject::invokeMethod(qApp, OnExit, Qt::QueuedConnection);
        return;
    }
    // The close button only hides the window.
    Event->ignore();
    ToggleVisible();
}

void TfoMDIGui::SetTitle() {
    QApplication::setApplicationDisplayName(QString());
    QCoreApplication::setApplicationName(QString::fromUtf8(kTitle));
    setWindowTitle(QString::fromUtf8(kTitle));
    TrayIcon1->SetHint(QString::fromUtf8(kTitle));
}

void TfoMDIGui::ToggleVisible() {
    const bool wasShown = isVisible();
    if (wasShown) {
        HideAllWindows();
        hide();
    } else {
        show();
        RestoreAllWindows();
    }
    FMainVisible = !wasShown;
    UpdateHideShowCaption();
    if (FMainVisible) {
        raise();
        activateWindow();
    }
}

void TfoMDIGui::UpdateHideShowCaption() {
    const QString text = isVisible() ? QStringLiteral("Hide") : QStringLiteral("Show");
    alHideShow->setText(text);
    btHide->setText(text);
}

void TfoMDIGui::HideAllWindows() {
    if (!FWindowList) return;
    for (int i = 0; i < FWindowList->Count(); ++i) {
        IWindowItemPtr item = ItemAt(i);
        if (item->GetVisible() && item->GetHost()) item->GetHost()->hide();
    }
}

void TfoMDIGui::RestoreAllWindows() {
    if (!FWindowList) return;
    for (int i = 0; i < FWindowList->Count(); ++i) {
        IWindowItemPtr item = ItemAt(i);
        if (!item->GetVisible()) continue;
        if (TfoMDIForm* host = item->GetHost()) host->show();
        item->SetVisible(true);
    }
}

void TfoMDIGui::SetDJMode(int Mode) {
    if (Api()) Api()->SetDJMode(static_cast<uint8_t>(Mode));
    RefreshDJMode();
}

void TfoMDIGui::RefreshDJMode() {
    TKelvarApi* api = Api();
    btMuted->SetActive(api && api->Muted());
    const int mode = api ? api->DJMode() : -1;
    alDJModeOn->setChecked(mode == DJModes::AutoDJ);
    alDJModeQueue->setChecked(mode == DJModes::Queue);
    alDJModeOff->setChecked(mode == DJModes::Manual);
    alAutoRecovery->setChecked(api && api->AutoRecoveryEnabled());
    alAutoRecovery->setEnabled(mode != DJModes::Manual);
    switch (mode) {
        case DJModes::AutoDJ: btAutoDJ->setText(QStringLiteral("Auto DJ")); break;
        case DJModes::Queue: btAutoDJ->setText(QStringLiteral("Queue")); break;
        case DJModes::Manual: btAutoDJ->setText(QStringLiteral("Manual")); break;
        default: break;
    }
}

void TfoMDIGui::RefreshPlayerMenu() {
    alMute->setChecked(Api() && Api()->Muted());
    RefreshDJMode();
}

void TfoMDIGui::RefreshClock() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (eClock->Hours() != local.tm_hour) eClock->SetHours(local.tm_hour);
    if (eClock->Minutes() != local.tm_min) eClock->SetMinutes(local.tm_min);
    if (eClock->Seconds() != local.tm_sec) eClock->SetSeconds(local.tm_sec);
    const bool muted = Api() && Api()->Muted();
    if (btMuted->Active() != muted) btMuted->SetActive(muted);
}

void TfoMDIGui::btAutoDJClick() {
    TKelvarApi* api = Api();
    if (!api || api->DJMode() < 0) return;
    SetDJMode(api->DJMode() == DJModes::Manual ? DJModes::AutoDJ : DJModes::Manual);
}

void TfoMDIGui::QueueFailed() {
    TKelvarApi* api = Api();
    if (!api || api->DJMode() != DJModes::AutoDJ) return;
    SetDJMode(DJModes::Queue);
    MessageDlg(QueueFailedText(), TMsgDlgType::Warning, MsgButton::OK, this);
}

void TfoMDIGui::Log(const std::string& Message, TLogKind Kind) {
    try {
        if (Api())
            Api()->Log(Message, "GUI", Kind);
        else
            LogMessage(Message, "GUI", Kind);
    } catch (...) {}
}

TKelvarAPIHandlers TfoMDIGui::RemoteHandlers() {
    TRemoteCommandHooks hooks;
    hooks.Exit = [this] { alExit->trigger(); };
    hooks.Show = [this](bool Visible) {
        if (Visible != isVisible()) alHideShow->trigger();
    };
    TKelvarAPIHandlers handlers = RemoteCommandHandlers(hooks);
    handlers.Play = [this] { alPlay->trigger(); };
    handlers.Stop = [this] { alStop->trigger(); };
    handlers.Pause = [this] { alPause->trigger(); };
    handlers.SetNotifySongChange = [](bool On) {
        if (Api()) Api()->SetNotifySongChange(On);
    };
    handlers.Next = [](bool Fade) {
        if (Api()) Api()->PlayNext(Fade);
    };
    return handlers;
}

void TfoMDIGui::ShowKelvar() {
    if (!isVisible()) ToggleVisible();
}

void TfoMDIGui::TaskbarCreated() {
    if (!TrayIcon1->Visible()) return;
    TrayIcon1->SetVisible(false);
    TrayIcon1->SetEnabled(true);
    TrayIcon1->SetVisible(true);
}

void TfoMDIGui::alConfigExecute() {
    if (!CoreConfig || !Api()) return;
    ExecuteConfigAction(*Api(), CoreConfig, [this] { RefreshDJMode(); });
}

void TfoMDIGui::alSaveConfigExecute() {
    if (!CoreConfig) return;
    CoreConfig->SetLiveApply(false);
    if (Api()) Api()->SaveConfig(*CoreConfig->Section("Kelvar"));
    CoreConfig->Save();
}

void TfoMDIGui::alAboutExecute() {
    if (IsShiftDown()) {
        Debug1->menuAction()->setVisible(true);
        return;
    }
    ShowAboutBox();
}

void TfoMDIGui::alPauseExecute() {
    if (Api()) Api()->PauseOrPlay();
}

void TfoMDIGui::alMuteExecute() {
    if (FMuteGuard != 0) return;
    FMuteGuard = 1;
    try {
        if (Api()) Api()->SetMuted(!Api()->Muted());
        RefreshDJMode();
    } catch (...) {
        FMuteGuard = 0;
        throw;
    }
    FMuteGuard = 0;
}

void TfoMDIGui::ChangeVolume(int Delta) {
    if (TKelvarApi* api = Api()) api->ChangeMainVolume(Delta);
}

void TfoMDIGui::OpenHelp() {
    const std::string file = HelpFile();
    std::error_code ec;
    const bool found = std::filesystem::is_regular_file(file, ec);
    if (found && OpenDocument && OpenDocument(file)) return;
    const std::string why = found ? "could not be opened" : "is not installed";
    Log("The help file " + file + " " + why, LogKind::Error);
    MessageDlg("The help pages " + why + ":\n" + file, TMsgDlgType::Warning, MsgButton::OK, this);
}

bool TfoMDIGui::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() != QEvent::KeyPress && Event->type() != QEvent::KeyRelease)
        return QMainWindow::eventFilter(Watched, Event);
    auto* widget = qobject_cast<QWidget*>(Watched);
    if (!widget || widget->window() != this) return QMainWindow::eventFilter(Watched, Event);
    auto& key = static_cast<QKeyEvent&>(*Event);
    const bool taken = Event->type() == QEvent::KeyPress ? TalkOverKeyDown(key) : TalkOverKeyUp(key);
    return taken || QMainWindow::eventFilter(Watched, Event);
}

bool TfoMDIGui::TalkOverKeyDown(QKeyEvent& Event) {
    if (Event.key() != Qt::Key_F11) return false;
    // A held key repeats its key-down: only the first press counts, or a latched voice would
    // flicker on and off at the repeat rate.
    if (Event.isAutoRepeat()) return true;
    TKelvarApi* api = Api();
    if (!api || !api->HasVoice()) return true;
    if (FVoiceLatched && api->Talking()) {
        FVoiceLatched = false;
        api->SetTalking(false);
        return true;
    }
    api->SetTalking(true);
    const auto modifiers = Event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (modifiers == Qt::ShiftModifier) FVoiceLatched = true;
    return true;
}

bool TfoMDIGui::TalkOverKeyUp(QKeyEvent& Event) {
    if (Event.key() != Qt::Key_F11) return false;
    if (Event.isAutoRepeat()) return true;
    TKelvarApi* api = Api();
    if (api && api->HasVoice() && !FVoiceLatched) api->SetTalking(false);
    return true;
}

IWindowItemPtr TfoMDIGui::ItemAt(int Index) const {
    IWindowItemPtr item;
    if (FWindowList) FWindowList->Get(Index, item);
    return item;
}

IWindowItemPtr TfoMDIGui::ItemNamed(const std::string& Name) const {
    if (!FWindowList) return nullptr;
    for (int i = 0; i < FWindowList->Count(); ++i) {
        IWindowItemPtr item = ItemAt(i);
        std::string name;
        item->GetName(name);
        if (name == Name) return item;
    }
    return nullptr;
}

}  // namespace kelvar
