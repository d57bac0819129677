#include "gui/tools/MaintenanceTools.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "core/playlist/MassTagger.h"
#include "core/playlist/MissingSongCheck.h"
#include "core/playlist/SongRows.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/tools/unProgress.h"

namespace kelvar {

namespace {

QString FileNameOnly(const std::string& Path) {
    const size_t slash = Path.find_last_of("/\\");
    return QString::fromStdString(slash == std::string::npos ? Path : Path.substr(slash + 1));
}

std::string Counts(const char* Format, int Done, int Failed, int Skipped) {
    char text[200];
    std::snprintf(text, sizeof text, Format, Done, Failed, Skipped);
    return text;
}

}  // namespace

TMaintenanceTools::TMaintenanceTools(QWidget* Owner)
    : TagLogFileName(ProgramFolder() + "VedoVudevo.log"), FOwner(Owner) {}

TMaintenanceTools::~TMaintenanceTools() {
    // The walks' threads are stopped and gone before the progress dialog goes.
    FCheck.reset();
    FTagger.reset();
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
    // A walk that runs on its thread ends the command when it ends.
    if (!FCheck && !FTagger) EndCommand();
}

void TMaintenanceTools::EndCommand() {
    FCheck.reset();
    FTagger.reset();
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
    // The files are read or written on the tagger's thread; the main thread shows how far it
    // is and writes the log.
    StartWalk(0, Load ? "Loading tags" : "Saving tags", Load ? "Loading..." : "Saving...");
    // This run's first line starts a new file.
    CloseTagLog();
    FTagLogError.clear();
    TMassTagger::TCallbacks callbacks;
    callbacks.OnStart = [this](int Total) { FProgress->eProgess->setRange(0, std::max(0, Total)); };
    callbacks.OnProgress = [this](int Done, const std::string& File, const std::vector<std::string>& Lines) {
        FProgress->lbCurrent->setText(FileNameOnly(File));
        FProgress->eProgess->setValue(std::min(Done, FProgress->eProgess->maximum()));
        TagLines(Lines);
    };
    callbacks.OnEnd = [this, Load](const TMassTagger::TCounts& Result, const std::string& Error) {
        TagWalkEnded(Load, Result.Tagged, Result.Failed, Result.Skipped, Error);
    };
    auto tagger = std::make_unique<TMassTagger>(Load ? TMassTagger::TDirection::Load : TMassTagger::TDirection::Save,
                                                std::move(callbacks));
    // Held only once its thread runs: a tagger that failed to start must not keep the tools busy.
    tagger->Start();
    FTagger = std::move(tagger);
    // Cancel, Escape and the close button stop the walk after the row it is on.
    FProgress->OnCancel = [this] {
        if (FTagger) FTagger->Cancel();
    };
}

void TMaintenanceTools::TagLines(const std::vector<std::string>& Lines) {
    if (!FTagLogError.empty()) return;
    try {
        for (const std::string& line : Lines) WriteTagLog(line);
    } catch (const std::exception& e) {
        // A log that can't be written ends the walk as an error would.
        FTagLogError = e.what();
        if (FTagger) FTagger->Cancel();
    }
}

void TMaintenanceTools::TagWalkEnded(bool Load, int Tagged, int Failed, int Skipped, std::string Error) {
    if (Error.empty()) Error = FTagLogError;
    const char* summary = Load ? "%d tags loaded, %d failed to load properly and %d were skipped"
                               : "%d tags saved, %d failed to save properly and %d were skipped";
    if (Error.empty() && (Failed > 0 || Skipped > 0)) {
        try {
            WriteTagLog(Counts(summary, Tagged, Failed, Skipped));
        } catch (const std::exception& e) {
            Error = e.what();
        }
    }
    EndCommand();
    if (!Error.empty()) {
        LogMessage("Unhandled exception (" + Error + ")", "GUI", LogKind::Exception);
        return;
    }
    MessageDlg(Counts(summary, Tagged, Failed, Skipped) + ". For details refer to VedoVudevo.log",
               TMsgDlgType::Information, MsgButton::OK, FOwner);
}

}  // namespace kelvar
