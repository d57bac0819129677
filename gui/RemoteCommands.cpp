#include "gui/RemoteCommands.h"

#include "core/KelvarApi.h"
#include "core/MessageAPI.h"
#include "gui/StartupUi.h"

namespace kelvar {

namespace {

constexpr int QueueTries = 20;

// The remote commands' own listener on the core's queue failure.
TEventLink QueueFailedLink;

// Runs Command on the program's door when there is one.
template <class F>
void OnCore(F Command) {
    if (TKelvarApi* api = ProgramKelvarApi()) Command(*api);
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
    TKelvarApi* api = ProgramKelvarApi();
    if (!api || api->DJMode() != DJModes::AutoDJ) return;
    api->SetDJMode(DJModes::Queue);
    dialogs.ErrorDialog(QueueFailedText());
}

TKelvarAPIHandlers RemoteCommandHandlers(const TRemoteCommandHooks& hooks) {
    TKelvarAPIHandlers handlers;
    handlers.Exit = hooks.Exit;
    handlers.Show = hooks.Show;
    handlers.SetNotifySongChange = [](bool on) { OnCore([on](TKelvarApi& api) { api.SetNotifySongChange(on); }); };
    handlers.Play = [] { OnCore([](TKelvarApi& api) { api.Play(); }); };
    handlers.Stop = [] { OnCore([](TKelvarApi& api) { api.Stop(); }); };
    handlers.Pause = [] { OnCore([](TKelvarApi& api) { api.PauseOrPlay(); }); };
    handlers.Next = [](bool fade) { OnCore([fade](TKelvarApi& api) { api.PlayNext(fade); }); };
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
    QueueFailedLink.Reset();
    OnCore(
        [&dialogs](TKelvarApi& api) { QueueFailedLink = api.ListenQueueFailed([&dialogs] { QueueFailed(dialogs); }); });
}

void IgnoreQueueFailures() { QueueFailedLink.Reset(); }

void RemoveRemoteCommands() {
    SetKelvarAPIReceiver(nullptr);
    SetShowKelvarReceiver(nullptr);
    QueueFailedLink.Reset();
}

}  // namespace kelvar
