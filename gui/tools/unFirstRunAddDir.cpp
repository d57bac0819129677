#include "gui/tools/unFirstRunAddDir.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "controls/FxFancyButton.h"
#include "core/playlist/CustomCategory.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/SongListHelpers.h"
#include "foundation/Logger.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/tools/FirstRunImport.h"

namespace kelvar {

namespace fs = std::filesystem;

namespace {

// The masks in the order they are scanned; the folder tree is walked once per mask.
const char* const Masks[] = {"*.mp3", "*.wav", "*.ogg", "*.wma", "*.cda", "*.asf", "*.wmv"};

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Masks match without regard to case, as they did where the library files came from.
bool HasExtension(const std::string& Name, const std::string& Extension) {
    if (Name.size() <= Extension.size()) return false;
    const size_t at = Name.size() - Extension.size();
    for (size_t i = 0; i < Extension.size(); ++i)
        if (AsciiLower(Name[at + i]) != AsciiLower(Extension[i])) return false;
    return true;
}

// The names of a folder's files and of its sub-folders, each sorted. Symbolic links to folders
// are not sub-folders: following them could walk in a circle for ever.
void ListFolder(const std::string& Folder, std::vector<std::string>& Files, std::vector<std::string>& Folders) {
    std::error_code ec;
    fs::directory_iterator it(Folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::error_code typeError;
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink(typeError)) {
            if (!entry.is_directory(typeError)) Files.push_back(name);
        } else if (entry.is_directory(typeError)) {
            Folders.push_back(name);
        } else {
            Files.push_back(name);
        }
    }
    if (ec) LogMessage("Cannot read the folder " + Folder + " (" + ec.message() + ")", "GUI", LogKind::Warning);
    std::sort(Files.begin(), Files.end());
    std::sort(Folders.begin(), Folders.end());
}

std::string WithDelimiter(const std::string& Folder) {
    return Folder.empty() || Folder.back() == '/' ? Folder : Folder + "/";
}

}  // namespace

TfoAddDir::TfoAddDir(TCustomCategory* Category, const std::string& Folder, bool Recursive, QWidget* Parent)
    : QDialog(Parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      FCategory(Category),
      FFolder(WithDelimiter(Folder)),
      FRecursive(Recursive) {
    setObjectName("foAddDir");
    setWindowTitle(QStringLiteral("Adding songs to media library"));
    setFixedSize(255, 135);

    lbCaption = new QLabel(this);
    QFont bold = lbCaption->font();
    bold.setBold(true);
    lbCaption->setFont(bold);
    lbCaption->setGeometry(8, 6, 239, 17);
    lbDirectory = new QLabel(this);
    lbDirectory->setGeometry(8, 26, 239, 17);
    lbTotal = new QLabel(this);
    lbTotal->setGeometry(8, 46, 239, 17);
    lbAdded = new QLabel(this);
    lbAdded->setGeometry(8, 64, 239, 17);
    eProgess = new QProgressBar(this);
    eProgess->setRange(0, 100);
    eProgess->setValue(0);
    eProgess->setTextVisible(false);
    eProgess->setGeometry(8, 84, 239, 14);
    btClose = new TFxFancyButton(QStringLiteral("Cancel"), this);
    btClose->setObjectName("btClose");
    btClose->setGeometry(95, 104, 65, 25);
    btClose->OnClick = [this](TFxFancyButton&) {
        FCancelled = true;
        PostClose();
    };
}

void TfoAddDir::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (FStarted) return;
    FStarted = true;
    FCancelled = false;
    // The run begins once the dialog is on screen.
    QMetaObject::invokeMethod(
        this, [this] { WMStart(); }, Qt::QueuedConnection);
}

void TfoAddDir::WMStart() {
    raise();
    activateWindow();
    Run();
}

void TfoAddDir::PostClose() {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

void TfoAddDir::done(int Result) {
    // Escape or the window's close button while the walk runs count as Cancel; otherwise the
    // walk would go on behind a dialog that is gone.
    if (FRunning) FCancelled = true;
    QDialog::done(Result);
}

void TfoAddDir::UpdateProgress(int Percent) {
    lbTotal->setText(QStringLiteral("Found %1 files.").arg(FFound));
    const int added = static_cast<int>(std::lround(FBatch * Percent / 100.0 + FAdded));
    lbAdded->setText(QStringLiteral("Added %1 files.").arg(added));
    const int position = FFound > 0 ? static_cast<int>(std::lround(added * 100.0 / FFound)) : 0;
    eProgess->setValue(std::clamp(position, 0, 100));
    QCoreApplication::processEvents();
}

void TfoAddDir::Run() {
    FRunning = true;
    FPending = FFound = FAdded = FBatch = 0;
    FFiles.clear();
    try {
        for (const char* mask : Masks) {
            if (FCancelled) break;
            FMask = std::string(mask).substr(1);
            lbCaption->setText(QStringLiteral("Adding %1 files to media library").arg(QString::fromLatin1(mask)));
            ScanFolder(FFolder);
        }
        if (!FFiles.empty()) Flush();
    } catch (const std::exception& e) {
        // The batches before stay added; the caller learns that the import is incomplete.
        FFailed = true;
        LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
    } catch (...) {
        FFailed = true;
        LogMessage("Unhandled exception (unknown)", "GUI", LogKind::Exception);
    }
    FFiles.clear();
    FRunning = false;
    if (!FCancelled) {
        Tag = 1;
        PostClose();
    }
}

void TfoAddDir::ScanFolder(const std::string& Folder) {
    if (FCancelled) return;
    lbDirectory->setText(QString::fromStdString(Folder + "*" + FMask));
    UpdateProgress(0);
    std::vector<std::string> files, folders;
    ListFolder(Folder, files, folders);
    for (const std::string& name : files) {
        if (FCancelled) break;
        if (!HasExtension(name, FMask)) continue;
        ++FPending;
        ++FFound;
        FFiles.push_back(Folder + name);
        if (FFound % 20 == 0) UpdateProgress(0);
        if (FPending > BatchLimit) Flush();
    }
    if (!FFiles.empty()) Flush();
    if (!FRecursive) return;
    for (const std::string& name : folders) {
        if (FCancelled) break;
        ScanFolder(Folder + name + "/");
    }
}

void TfoAddDir::Flush() {
    if (FCancelled) return;
    TSongList& songs = ToolsSongList();
    // The library's and the category's own progress events come back after the batch.
    auto songsProgress = songs.OnProgress;
    TCustomCategory::TProgressEvent categoryProgress;
    songs.OnProgress = [this](TSongList&, int Percent, const std::string&) { UpdateProgress(Percent); };
    if (FCategory) {
        categoryProgress = FCategory->OnProgress;
        FCategory->OnProgress = [this](TCustomCategory&, int Percent, const std::string&) { UpdateProgress(Percent); };
    }
    auto afterBatch = [&] {
        songs.OnProgress = songsProgress;
        if (FCategory) FCategory->OnProgress = categoryProgress;
        FFiles.clear();
        FPending = 0;
    };
    try {
        FBatch = static_cast<int>(FFiles.size());
        if (FCategory) {
            AddFilesToCategory(FFiles, true, FCategory, songs);
        } else {
            ISongItemListPtr added = songs.AddFileList(FFiles);
            if (!FSongs)
                FSongs = added;
            else if (added)
                FSongs->MoveFrom(*added, 1, 0);
        }
        FAdded += FBatch;
    } catch (...) {
        afterBatch();
        throw;
    }
    afterBatch();
    QCoreApplication::processEvents();
}

bool ImportFolderToCategory(TCustomCategory* Category, const std::string& Folder, bool Recursive) {
    if (!Category) {
        LogMessage("No category to import " + Folder + " into", "GUI", LogKind::Error);
        return false;
    }
    TfoAddDir dialog(Category, Folder, Recursive);
    ExecModal(dialog);
    return dialog.Tag == 1 && !dialog.FFailed;
}

bool ImportFolderToList(const std::string& Folder, bool Recursive, ISongItemListPtr& Songs) {
    TfoAddDir dialog(nullptr, Folder, Recursive);
    ExecModal(dialog);
    Songs = dialog.FSongs;
    return dialog.Tag == 1 && !dialog.FFailed;
}

}  // namespace kelvar
