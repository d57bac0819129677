#include "gui/tools/MaintenanceTools.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "core/playlist/CategorySelection.h"
#include "core/playlist/MissingSongCheck.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/SongFiles.h"
#include "core/playlist/SongList.h"
#include "core/playlist/SongRows.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/tools/unProgress.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

namespace fs = std::filesystem;

namespace {

// Pending events run every this many rows: the progress dialog repaints, its Cancel works and
// the heartbeats' callbacks get their turn.
constexpr int EventsEvery = 50;

QString FileNameOnly(const std::string& Path) {
    const size_t slash = Path.find_last_of("/\\");
    return QString::fromStdString(slash == std::string::npos ? Path : Path.substr(slash + 1));
}

bool FileExists(const std::string& Path) {
    std::error_code ec;
    return fs::exists(Path, ec);
}

std::string Counts(const char* Format, int Done, int Failed, int Skipped) {
    char text[200];
    std::snprintf(text, sizeof text, Format, Done, Failed, Skipped);
    return text;
}

// The row's tags from the file. A row the reader fails on is left as it was: its edit is
// dropped, so fields the reader changed before it gave up are not stored.
bool LoadRowTags(IDataset& Rows, const std::string& File) {
    Rows.Edit();
    try {
        TSongInfo tags;
        tags.SetValue("filename", File);
        if (ReadSongTags(File, tags)) {
            CopyTagValues(tags, Rows);
            Rows.Post();
            return true;
        }
    } catch (const std::exception& e) {
        LogMessage("Loading the tags of " + File + " failed: " + e.what(), "GUI", LogKind::Warning);
    }
    Rows.Cancel();
    return false;
}

bool SaveRowTags(IDataset& Rows, const std::string& File) {
    try {
        ISongInfoPtr song = SongFromRow(Rows);
        return WriteSongTags(File, *song);
    } catch (const std::exception& e) {
        LogMessage("Saving the tags of " + File + " failed: " + e.what(), "GUI", LogKind::Warning);
        return false;
    }
}

}  // namespace

TMaintenanceTools::TMaintenanceTools(QWidget* Owner)
    : TagLogFileName(ProgramFolder() + "VedoVudevo.log"), FOwner(Owner) {}

TMaintenanceTools::~TMaintenanceTools() {
    // The check's thread is stopped and gone before the progress dialog goes.
    FCheck.reset();
    CloseTagLog();
}

template <typename TCommand>
void TMaintenanceTools::Guarded(TCommand Command) {
    if (FBusy) return;
    FBusy = true;
    try {
        Command();
    } catch (const std::exception& e) {
        LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
    } catch (...) {
        LogMessage("Unhandled exception (unknown)", "GUI", LogKind::Exception);
    }
    // A check that runs on its thread ends the command when it ends.
    if (!FCheck) EndCommand();
}

void TMaintenanceTools::EndCommand() {
    FCheck.reset();
    FProgress.reset();
    CloseTagLog();
    FBusy = false;
}

bool TMaintenanceTools::Ask(const char* Question) {
    return MessageDlg(Question, TMsgDlgType::Warning, MsgButton::Yes | MsgButton::Cancel, FOwner) == MsgButton::Yes;
}

void TMaintenanceTools::WriteTagLog(const std::string& Line) {
    if (!FTagLogOpen) {
        FTagLog.open(TagLogFileName, std::ios::out | std::ios::trunc);
        if (!FTagLog) throw std::runtime_error("Cannot write " + TagLogFileName);
        FTagLogOpen = true;
    }
    FTagLog << Line << '\n';
    if (!FTagLog) throw std::runtime_error("Cannot write " + TagLogFileName);
}

void TMaintenanceTools::CloseTagLog() {
    if (FTagLogOpen) FTagLog.close();
    FTagLog.clear();
    FTagLogOpen = false;
}

void TMaintenanceTools::Resetweight1Click() {
    Guarded([this] {
        if (!Ask("This will reset the weight balance of all songs.\nDo you wish to continue?")) return;
        ResetSongWeights();
    });
}

void TMaintenanceTools::Clearhistory1Click() {
    Guarded([this] {
        if (!Ask("This will clear the history table and you will lose all reporting information! Make a backup "
                 "before you do this...\nDo you wish to continue?"))
            return;
        ClearHistory();
    });
}

void TMaintenanceTools::Verifysongs1Click() {
    Guarded([this] {
        if (!Ask("This will scan and remove all tracks which no longer exists on your harddisk from the music "
                 "library.\nDo you wish to continue?"))
            return;
        VerifySongs();
    });
}

void TMaintenanceTools::LoadALLtags1Click() {
    Guarded([this] {
        if (!Ask("This will load the tags for all tracks from the song file.\nDo you wish to continue?")) return;
        TagWalk(true);
    });
}

void TMaintenanceTools::SaveALLtags1Click() {
    Guarded([this] {
        if (!Ask("This will save the tags for all tracks back to the song file.\nDo you wish to continue?")) return;
        TagWalk(false);
    });
}

void TMaintenanceTools::StartWalk(int Rows, const char* Caption, const char* Label) {
    FProgress = ShowProgress();
    FProgress->setWindowTitle(QString::fromUtf8(Caption));
    FProgress->lbCaption->setText(QString::fromUtf8(Label));
    FProgress->lbCurrent->clear();
    FProgress->eProgess->setRange(0, std::max(0, Rows));
    FProgress->eProgess->setValue(0);
    FProgress->repaint();
}

void TMaintenanceTools::VerifySongs() {
    // The rows are read and the files looked up on the check's thread; the main thread only
    // shows how far it is, so the windows and the automation go on meanwhile.
    StartWalk(0, "Verify tracks", "Checking...");
    TMissingSongCheck::TCallbacks callbacks;
    callbacks.OnStart = [this](int Total) { FProgress->eProgess->setRange(0, std::max(0, Total)); };
    callbacks.OnProgress = [this](int Done, const std::string& File) {
        FProgress->lbCurrent->setText(FileNameOnly(File));
        FProgress->eProgess->setValue(std::min(Done, FProgress->eProgess->maximum()));
    };
    callbacks.OnEnd = [this](int Removed, const std::string& Error) { VerifyEnded(Removed, Error); };
    auto check = std::make_unique<TMissingSongCheck>(std::move(callbacks));
    // Held only once its thread runs: a check that failed to start must not keep the tools busy.
    check->Start();
    FCheck = std::move(check);
    // Cancel, Escape and the close button stop the check after the row it is on.
    FProgress->OnCancel = [this] {
        if (FCheck) FCheck->Cancel();
    };
}

void TMaintenanceTools::VerifyEnded(int Removed, const std::string& Error) {
    EndCommand();
    if (!Error.empty()) {
        LogMessage("Unhandled exception (" + Error + ")", "GUI", LogKind::Exception);
        return;
    }
    MessageDlg(Removed == 0 ? std::string("No invalid tracks found")
                            : std::to_string(Removed) + " track(s) were removed because they no longer exist.",
               TMsgDlgType::Information, MsgButton::OK, FOwner);
}

void TMaintenanceTools::TagWalk(bool Load) {
    IDatasetPtr rows = OpenAllSongs(!Load);
    int done = 0, failed = 0, skipped = 0;
    StartWalk(rows->RecordCount(), Load ? "Loading tags" : "Saving tags", Load ? "Loading..." : "Saving...");
    // This run's first line starts a new file.
    CloseTagLog();
    rows->First();
    while (!rows->Eof() && !FProgress->FCancelled) {
        const std::string file = rows->GetValue("filename");
        FProgress->lbCurrent->setText(FileNameOnly(file));
        if (IsPlainFile(file) && FileExists(file)) {
            if (Load ? LoadRowTags(*rows, file) : SaveRowTags(*rows, file)) {
                ++done;
            } else {
                WriteTagLog("Failed: " + file);
                ++failed;
            }
        } else {
            WriteTagLog("Skipped: " + file);
            ++skipped;
        }
        rows->Next();
        FProgress->StepIt();
        if ((done + failed + skipped) % EventsEvery == 0) QCoreApplication::processEvents();
    }
    const char* summary = Load ? "%d tags loaded, %d failed to load properly and %d were skipped"
                               : "%d tags saved, %d failed to save properly and %d were skipped";
    if (failed > 0 || skipped > 0) WriteTagLog(Counts(summary, done, failed, skipped));
    CloseTagLog();
    MessageDlg(Counts(summary, done, failed, skipped) + ". For details refer to VedoVudevo.log",
               TMsgDlgType::Information, MsgButton::OK, FOwner);
}

}  // namespace kelvar
