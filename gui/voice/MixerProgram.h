#pragma once
// The "Mixer" buttons: the desktop's mixer program for one sound card. The command is the key
// "Command" of the section "Mixer" in the GUI configuration, in which "%c" stands for the card
// number and "%v" for "capture" or "playback"; without one the first installed of pavucontrol
// and alsamixer (in a terminal) is run. When none is installed the operator is told so.
#include <QString>
#include <QStringList>
#include <functional>

namespace kelvar {

// Answers whether the program started.
using TProcessStarter = std::function<bool(const QString& Program, const QStringList& Arguments)>;

// Card -1 leaves the choice of card to the program.
void RunMixerProgram(int Card, bool Recording);
// Tests: start programs through Starter instead; an empty function restores the real start.
void SetProcessStarter(TProcessStarter Starter);

}  // namespace kelvar
