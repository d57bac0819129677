#pragma once
// Folder browser: root and start folder (special folders or paths), title, options, a status line
// or an edit box, and one custom button (push button or check box).
#include "controls/KcClasses.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QTreeView>
#include <functional>

class QFileSystemModel;

namespace kelvar {

class EBrowseForFolderDialog : public EKcError {
public:
    using EKcError::EKcError;
};

enum class TbfSpecialFolder {
    bfDesktop,
    bfPrograms,
    bfControls,
    bfPrinters,
    bfPersonal,
    bfFavorites,
    bfStartUp,
    bfRecentFiles,
    bfSendTo,
    bfRecycleBin,
    bfStartMenu,
    bfDesktopDirectory,
    bfMyComputer,
    bfNetwork,
    bfNethoodDirectory,
    bfFonts,
    bfShellNew,
    bfCommonStartmenu,
    bfCommonPrograms,
    bfCommonStartup,
    bfCommonDesktopDirectory,
    bfAppData,
    bfPrintHood,
    bfCustomPath
};

enum TbfOption : unsigned {
    bfoBrowseForComputer = 1u << 0,
    bfoBrowseForPrinter = 1u << 1,
    bfoDontGoBelowDomain = 1u << 2,
    bfoReturnFSAncestors = 1u << 3,
    bfoReturnOnlyFSDirs = 1u << 4,
    bfoStatusText = 1u << 5,
    bfoBrowseIncludeFiles = 1u << 6,
    bfoEdit = 1u << 7,
    bfoStatusTextDefault = 1u << 8,
    bfoEditDefault = 1u << 9,
    bfoStatusTextOwnerDraw = 1u << 10,
};
using TbfOptions = unsigned;

enum class TbfCustomButton { bfbNone, bfbButton, bfbCheckBox };

// The file-system path of a special folder here; empty where the folder has no meaning.
QString SpecialFolderPath(TbfSpecialFolder Folder);

class TBrowseForFolderDialog {
public:
    using TNotifyEvent = std::function<void(TBrowseForFolderDialog&)>;
    // Runs the modal browser and answers its result; tests replace it to script the browser.
    using TRunner = std::function<int(QDialog&)>;
    static void SetRunner(TRunner Runner);

    TBrowseForFolderDialog();
    ~TBrowseForFolderDialog();
    TBrowseForFolderDialog(const TBrowseForFolderDialog&) = delete;
    TBrowseForFolderDialog& operator=(const TBrowseForFolderDialog&) = delete;

    QString RootPath() const;
    void SetRootPath(const QString& Value);
    TbfSpecialFolder RootFolder() const { return FRootFolder; }
    void SetRootFolder(TbfSpecialFolder Value) { FRootFolder = Value; }
    QString StartupPath() const;
    void SetStartupPath(const QString& Value);
    TbfSpecialFolder StartupFolder() const { return FStartupFolder; }
    void SetStartupFolder(TbfSpecialFolder Value) { FStartupFolder = Value; }
    QString SelectedPath() const { return FSelectedPath; }
    void SetSelectedPath(const QString& Value);
    QString SelDisplayName() const { return FSelDisplayName; }
    QString Title() const { return FTitle; }
    void SetTitle(const QString& Value) { FTitle = Value; }
    TbfOptions Options() const { return FOptions; }
    void SetOptions(TbfOptions Value) { FOptions = Value; }
    QString EditAttachment() const { return FEditAttachment; }
    void SetEditAttachment(const QString& Value) { FEditAttachment = Value; }
    QString EditText() const;
    void SetEditText(const QString& Value);
    QString StatusText() const { return FStatusText; }
    void SetStatusText(const QString& Value);
    TbfCustomButton CustomButtonType() const { return FCustomButtonType; }
    void SetCustomButtonType(TbfCustomButton Value);
    QString CustomButtonCaption() const { return FCustomButtonCaption; }
    void SetCustomButtonCaption(const QString& Value);
    bool CustomButtonEnabled() const { return FCustomButtonEnabled; }
    void SetCustomButtonEnabled(bool Value);
    bool CustomButtonVisible() const { return FCustomButtonVisible; }
    void SetCustomButtonVisible(bool Value);
    bool CustomButtonChecked() const;
    void SetCustomButtonChecked(bool Value);
    bool TreeViewHideSelection() const { return FTreeViewHideSelection; }
    void SetTreeViewHideSelection(bool Value) { FTreeViewHideSelection = Value; }
    // The window the browser belongs to; null: the window in front (see DialogOwner).
    QWidget* Owner() const { return FOwner; }
    void SetOwner(QWidget* Value) { FOwner = Value; }
    void BeginLoading() { FLoading = true; }
    void EndLoading() { FLoading = false; }

    TNotifyEvent OnExecuting, OnInitialized, OnSelChanged, OnEditChange, OnCustomButtonClick, OnExecuted;

    bool Execute();
    // While shown: the browser window, for tests and owners that customise it further.
    QDialog* Window() const { return FWindow; }

protected:
    virtual void Initialized();
    virtual void SelChanged(const QString& Path);
    virtual void EditChange();
    virtual void CustomButtonClick();

private:
    void CreateCustomButton();
    QAbstractButton* LiveButton() const;

    QString FRootPath, FStartupPath, FSelectedPath, FSelDisplayName, FTitle, FEditAttachment, FEditText, FStatusText;
    QString FCustomButtonCaption;
    TbfSpecialFolder FRootFolder = TbfSpecialFolder::bfDesktop;
    TbfSpecialFolder FStartupFolder = TbfSpecialFolder::bfMyComputer;
    TbfOptions FOptions =
        bfoReturnOnlyFSDirs | bfoStatusText | bfoStatusTextDefault | bfoEditDefault | bfoStatusTextOwnerDraw;
    TbfCustomButton FCustomButtonType = TbfCustomButton::bfbNone;
    bool FCustomButtonEnabled = true;
    bool FCustomButtonVisible = true;
    bool FCustomButtonChecked = false;
    bool FTreeViewHideSelection = true;
    bool FLoading = false;
    bool FEditSetByCode = false;
    QPointer<QWidget> FOwner;
    QPointer<QDialog> FWindow;
    QPointer<QLabel> FTitleLabel, FStatusLabel;
    QPointer<QLineEdit> FEdit;
    QPointer<QTreeView> FTree;
    QPointer<QAbstractButton> FCustomButton;
    QFileSystemModel* FModel = nullptr;
};

// The last folder chosen through ChooseFolder in this process.
QString& LastChosenFolder();

// One-call folder choice with an "Include subdirectories" check box; answers whether a folder
// was chosen, and only then updates Folder and IncludeSubfolders.
bool ChooseFolder(QString& Folder, bool& IncludeSubfolders, const QString& Title, bool HideCheckBox,
                  QWidget* Owner = nullptr);

}  // namespace kelvar
