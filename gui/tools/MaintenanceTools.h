#pragma once
// The Tools menu's operations on the whole song library: resetting the weight balance,
// removing songs whose files are gone, clearing the play history, and copying tags between the
// library and the music files in both directions. Each asks first; the walks run on threads of
// their own and show a progress dialog that can cancel them, and the mass tagger logs what it
// could not do to "VedoVudevo.log" beside the program.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace kelvar {

class TMassTagger;
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
    // given while another one walks is ignored. "Verify songs" and the two tag commands return
    // once their walk runs on a thread of its own; their message comes at the end.
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
    // True while a command runs (also a walk on its thread).
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
    void TagLines(const std::vector<std::string>& Lines);
    void TagWalkEnded(bool Load, int Tagged, int Failed, int Skipped, std::string Error);

    QWidget* FOwner;
    bool FBusy = false;
    std::unique_ptr<TfoProgress> FProgress;
    std::unique_ptr<TMissingSongCheck> FCheck;
    std::unique_ptr<TMassTagger> FTagger;
    std::string FTagLogError;  // the tag log could not be written: the walk is cancelled
};

}  // namespace kelvar
