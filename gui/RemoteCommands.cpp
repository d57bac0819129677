#include "gui/RemoteCommands.h"

#include "core/AutoRecovery.h"
#include "core/CoreCommon.h"
#include "core/Kelvar.h"
#include "core/MessageAPI.h"
#include "gui/StartupUi.h"

namespace kelvar {

namespace {

constexpr int QueueTries = 20;

void PauseOrPlay() {
    if (CoreKelvar) CoreKelvar->PauseOrPlay();
}

}  // namespace

std::string QueueFailedText() {
    return "Kelvar was unable to queue a song after " + std::to_string(QueueTries) +
           " tries. This can be caused by incorrect playlist rotation rules or having too few files in "
           "your media library. Zeziror IV mode has been set to \"Queue mode\" so you can fix this "
           "problem. (Remember to set the Zeziror IV back to \"Auto DJ\" mode after you have fixed the "
           "problem.)";
}

void QueueFailed(IStartupUi& dialogs) {
    if (!CoreKelvar || !CoreKelvar->AutoRecovery || CoreKelvar->AutoRecovery->DJMode != 0) return;
    CoreKelvar->AutoRecovery->DJMode = 1;
    dialogs.ErrorDialog(QueueFailedText());
}

TKelvarAPIHandlers RemoteCommandHandlers(const TRemoteCommandHooks& hooks) {
    TKelvarAPIHandlers handlers;
    handlers.Exit = hooks.Exit;
    handlers.Show = hooks.Show;
    handlers.SetNotifySongChange = [](bool on) {
        if (CoreKelvar) CoreKelvar->NotifySongChange = on ? 1 : 0;
    };
    handlers.Play = [] {
        if (CoreKelvar) CoreKelvar->Play();
    };
    handlers.Stop = [] {
        if (CoreKelvar) CoreKelvar->StopAll();
    };
    handlers.Pause = PauseOrPlay;
    handlers.Next = [](bool fade) {
        if (CoreKelvar) CoreKelvar->PlayNext(fade);
    };
    return handlers;
}

void InstallRemoteReceivers(TKelvarAPIHandlers handlers, std::function<void()> showKelvar) {
    SetKelvarAPIReceiver([handlers](uint32_t code, int64_t value) { DispatchKelvarAPI(code, value, handlers); });
    SetShowKelvarReceiver([showKelvar](uint32_t) {
        if (showKelvar) showKelvar();
    });
}

void InstallRemoteCommands(TRemoteCommandHooks hooks, IStartupUi& dialogs) {
    auto show = hooks.Show;
    InstallRemoteReceivers(RemoteCommandHandlers(hooks), [show] {
        if (show) show(true);
    });
    if (CoreKelvar) CoreKelvar->OnQueueFailed = [&dialogs](auto&&...) { QueueFailed(dialogs); };
}

void RemoveRemoteCommands() {
    SetKelvarAPIReceiver(nullptr);
    SetShowKelvarReceiver(nullptr);
    if (CoreKelvar) CoreKelvar->OnQueueFailed = nullptr;
}

}  // namespace kelvar
