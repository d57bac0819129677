#pragma once
// The operator's main window: toolbar, menus and tray icon around a client area in which the
// registered dockable windows live on three desktops, each desktop's windows kept in a layout
// document (".kgl"). It holds no copy of the core's state: every command goes to the core.
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/KcTrayIcon.h"
#include "core/MessageAPI.h"
#include "foundation/ConfigDoc.h"
#include "foundation/Logger.h"
#include "foundation/MulticastEvent.h"
#include "gui/engine/WindowList.h"

class QAction;
class QKeyEvent;
class QMenu;
class QToolBar;
class QToolButton;

namespace kelvar {

class TMaintenanceTools;

class TBoxButton;
class TfoMDIForm;
class TKcClock;
class TKcPowerButton;
class TKcTrayIcon;

// The layout folder (program folder + "layout/") and its default layout file.
std::string LayoutFolder();
std::string DefaultLayoutFile();

class TfoMDIGui : public QMainWindow {
public:
    // Tray: the notification area's backend (tests pass their own; null: the system tray).
    explicit TfoMDIGui(std::unique_ptr<ITrayBackend> Tray = nullptr, QWidget* Parent = nullptr);
    ~TfoMDIGui() override;

    // The registry, handed over before DoInit.
    IWindowListPtr FWindowList;
    // Hands the close over to the program (the hidden main form's close runs the shutdown).
    std::function<void()> OnExit;
    // The layout file read at start (tests set their own; empty: DefaultLayoutFile()).
    std::string FLayoutFileName;

    void DoInit();
    void DoQuit();

    // Commands.
    void SetTitle();
    void ToggleVisible();
    void UpdateHideShowCaption();
    void HideAllWindows();
    void RestoreAllWindows();
    void RefreshDJMode();
    void RefreshPlayerMenu();
    void RefreshClock();
    void btAutoDJClick();
    void QueueFailed();
    void Log(const std::string& Message, TLogKind Kind);
    void SetDJMode(int Mode);
    // The remote commands' handlers (exit, show or hide, and the core's own commands).
    TKelvarAPIHandlers RemoteHandlers();
    // A second instance's "ShowKelvar": shows a hidden window.
    void ShowKelvar();
    // The notification area came back: the tray icon is added anew.
    void TaskbarCreated();

    // Windows and desktops.
    void HostWindowItem(IConfigDoc& DesktopNode, const IWindowItemPtr& Item);
    void ShowWindowItem(IConfigDoc& DesktopNode, const IWindowItemPtr& Item);
    void HideWindowItem(const IWindowItemPtr& Item, bool ClearMark);
    void CloseWindowItem(IConfigDoc& DesktopNode, const IWindowItemPtr& Item);
    void HostClosed(TfoMDIForm& Host);
    void CloseAllItems();
    void ApplyItemPosition(IConfigDoc& Node, TfoMDIForm& Host, bool Sizeable, QWidget* Frame);
    void SaveItemPosition(IConfigDoc& Node, TfoMDIForm* Host);
    void ApplyLayout(IConfigDoc& Doc);
    void ShowDesktop(IConfigDoc& Doc, int Desktop);
    // Places the windows of a first layout (none of them placed yet) over the whole client area.
    void TileDesktop(IConfigDoc& DesktopNode, const std::vector<IWindowItemPtr>& Items);
    void SaveDesktop(IConfigDoc& Doc, int Desktop);
    void SaveLayout(IConfigDoc& Doc);
    void SwitchDesktop(int Desktop);
    void HideAllAndClear();
    void LoadLayout(const std::string& FileName);
    void SaveLayoutAs(const std::string& FileName);
    void NewLayout();
    // The Layout and Window menus' lists, rebuilt as the menus open.
    void RebuildLayoutMenu();
    void RebuildWindowMenu();
    void WindowMenuClick(int Index);

    int CurDesktop() const { return FCurDesktop; }
    bool MainVisible() const { return FMainVisible; }
    bool VoiceLatched() const { return FVoiceLatched; }
    IConfigDocPtr Layout() const { return FLayout; }
    const std::vector<std::string>& LayoutFiles() const { return FLayoutFiles; }
    // The area the dockable windows live in.
    QWidget* ClientArea() const { return FClient; }
    IWindowItemPtr ItemAt(int Index) const;
    IWindowItemPtr ItemNamed(const std::string& Name) const;

    // The talk-over key (F11); other keys pass. True when the key was taken.
    bool TalkOverKeyDown(QKeyEvent& Event);
    bool TalkOverKeyUp(QKeyEvent& Event);

    // Opens a document (the help pages); tests replace it.
    static std::function<bool(const std::string& Path)> OpenDocument;
    static std::string HelpFile();

    // Actions.
    QAction *alExit, *alHideShow, *alConfig, *alSaveConfig, *alAbout, *alCloseAll, *alRestore, *alPlay, *alPause,
        *alStop, *alNext, *alFadeToNext, *alDesktopA, *alDesktopB, *alDesktopC, *alNewLayout, *alDJModeOn,
        *alDJModeQueue, *alDJModeOff, *alAutoRecovery, *alMute, *alVolIncrease, *alVolDecrease, *alHelp;
    // Menus.
    QMenu *File1, *Player1, *Window1, *Layout1, *Tools1, *Help1, *Debug1, *TrayMenu, *DJModeMenu;
    // Toolbar.
    QToolBar* ToolBar1 = nullptr;
    QToolButton *btPlay, *btPause, *btStop, *btNext, *btAutoDJ, *btConfig, *btHide, *btHelp;
    TKcPowerButton* btMuted = nullptr;
    TBoxButton *btDeskTopA, *btDeskTopB, *btDeskTopC;
    TKcClock* eClock = nullptr;
    TKcTrayIcon* TrayIcon1 = nullptr;

protected:
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    // Takes the item's host form back and frees it once its events are over. Host forms are
    // children of the client area, their one owner; items only refer to them.
    void ReleaseHost(IWindowItem& Item);
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateTray();
    void alConfigExecute();
    void alSaveConfigExecute();
    void alAboutExecute();
    void alPauseExecute();
    void alMuteExecute();
    void ChangeVolume(int Delta);
    void OpenHelp();
    void LoadLayoutDialog();
    void SaveLayoutDialog();
    IConfigDocPtr DesktopNode(IConfigDoc& Doc, int Desktop);
    QSize ClientSize() const;
    IConfigDocPtr CurrentDesktopNode();
    void Guard(const char* What, const std::function<void()>& Step);

    IConfigDocPtr FLayout;
    int FCurDesktop = 0;
    bool FMainVisible = true;
    bool FExiting = false;
    bool FVoiceLatched = false;
    bool FHooked = false;
    bool FClockRegistered = false;
    int FMuteGuard = 0;
    int FWindowMenuFixed = 0;
    int FLayoutMenuFixed = 0;
    std::vector<std::string> FLayoutFiles;
    QWidget* FClient = nullptr;
    std::unique_ptr<TMaintenanceTools> FTools;
    // The main window's listeners on the core (recovery countdown, queue failure, DJ mode).
    std::vector<TEventLink> FCoreLinks;
};

}  // namespace kelvar
