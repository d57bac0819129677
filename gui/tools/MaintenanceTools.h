#pragma once
// The Tools menu's operations on the whole song library: resetting the weight balance,
// removing songs whose files are gone, clearing the play history, and copying tags between the
// library and the music files in both directions. Each asks first; the walks show a progress
// dialog that can cancel them, and the mass tagger logs what it could not do to
// "VedoVudevo.log" beside the program.
#include <fstream>
#include <memory>
#include <string>

class QWidget;

namespace kelvar {

class TMissingSongCheck;
class TfoProgress;

class TMaintenanceTools {
public:
    // Owner: the parent of the questions and messages (may be null).
    explicit TMaintenanceTools(QWidget* Owner = nullptr);
    ~TMaintenanceTools();
    TMaintenanceTools(const TMaintenanceTools&) = delete;
    TMaintenanceTools& operator=(const TMaintenanceTools&) = delete;

    // The menu's handlers. None raises: a failure is logged and the command ends. A command
    // given while another one walks (its progress dialog lets events run) is ignored. "Verify
    // songs" returns once its check runs on a thread of its own; its message comes at the end.
    void Resetweight1Click();
    void Clearhistory1Click();
    void Verifysongs1Click();
    void LoadALLtags1Click();
    void SaveALLtags1Click();

    // Opens the log anew (truncating it) on its first line after CloseTagLog; raises when the
    // file cannot be written.
    void WriteTagLog(const std::string& Line);
    void CloseTagLog();

    // The progress dialog of the walk running now, null otherwise.
    TfoProgress* Progress() const { return FProgress.get(); }
    // True while a command runs (also a check on its thread).
    bool Busy() const { return FBusy; }

    std::string TagLogFileName;  // the program folder's "VedoVudevo.log"
    std::ofstream FTagLog;
    bool FTagLogOpen = false;

private:
    template <typename TCommand>
    void Guarded(TCommand Command);
    bool Ask(const char* Question);
    void EndCommand();
    void StartWalk(int Rows, const char* Caption, const char* Label);
    void VerifySongs();
    void VerifyEnded(int Removed, const std::string& Error);
    void TagWalk(bool Load);

    QWidget* FOwner;
    bool FBusy = false;
    std::unique_ptr<TfoProgress> FProgress;
    std::unique_ptr<TMissingSongCheck> FCheck;
};

}  // namespace kelvar
