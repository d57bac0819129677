#pragma once
// What the player does without its main window: the "KelvarAPI" commands other programs send,
// a second instance's "ShowKelvar", and the switch from Auto DJ to Queue when the core could
// not queue a song.
#include <functional>
#include <string>

#include "core/MessageAPI.h"

namespace kelvar {

class IStartupUi;

struct TRemoteCommandHooks {
    std::function<void()> Exit;              // command 100
    std::function<void(bool visible)> Show;  // command 101 and "ShowKelvar"; empty: no window
};

// The handlers of the "KelvarAPI" commands: the hooks' exit and show, the rest on the core.
TKelvarAPIHandlers RemoteCommandHandlers(const TRemoteCommandHooks& hooks);

// Installs the receivers of the commands and of "ShowKelvar" alone (the main window's own).
void InstallRemoteReceivers(TKelvarAPIHandlers handlers, std::function<void()> showKelvar);

// Installs the receivers and the core's OnQueueFailed; Dialogs shows the queue warning.
void InstallRemoteCommands(TRemoteCommandHooks hooks, IStartupUi& dialogs);
// Takes them away again (shutdown, before the core goes).
void RemoveRemoteCommands();
// Keeps the receivers but no longer answers a queue failure (service mode: nobody reads the
// warning and nobody could set Auto DJ again).
void IgnoreQueueFailures();

// The warning shown when the core could not queue a song.
std::string QueueFailedText();

// The core's OnQueueFailed: in Auto DJ mode switch to Queue mode and warn.
void QueueFailed(IStartupUi& dialogs);

}  // namespace kelvar
