#include "gui/voice/MixerProgram.h"

#include <QProcess>
#include <QStandardPaths>

#include "foundation/Logger.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar {

namespace {

TProcessStarter& Starter() {
    static TProcessStarter starter;
    return starter;
}

bool Start(const QString& Program, const QStringList& Arguments) {
    if (Starter()) return Starter()(Program, Arguments);
    return QProcess::startDetached(Program, Arguments);
}

QString Substitute(QString Text, int Card, bool Recording) {
    Text.replace("%c", QString::number(Card < 0 ? 0 : Card));
    Text.replace("%v", Recording ? "capture" : "playback");
    return Text;
}

}  // namespace

void SetProcessStarter(TProcessStarter Value) { Starter() = std::move(Value); }

void RunMixerProgram(int Card, bool Recording) {
    QStringList command;
    if (GuiConfig) {
        if (auto section = GuiConfig->Section("Mixer"))
            command = QProcess::splitCommand(QString::fromStdString(section->ReadString("Command", "")));
    }
    if (command.isEmpty()) {
        if (!QStandardPaths::findExecutable("pavucontrol").isEmpty()) {
            // Its tabs: 4 input devices, 3 output devices.
            command = {"pavucontrol", Recording ? "--tab=4" : "--tab=3"};
        } else if (!QStandardPaths::findExecutable("alsamixer").isEmpty() &&
                   !QStandardPaths::findExecutable("x-terminal-emulator").isEmpty()) {
            command = {"x-terminal-emulator", "-e", "alsamixer", "-V", "%v"};
            if (Card >= 0)
                command << "-c"
                        << "%c";
        }
    }
    if (command.isEmpty()) {
        MessageDlg("No mixer program is installed (pavucontrol or alsamixer).", TMsgDlgType::Information,
                   MsgButton::OK);
        return;
    }
    for (QString& part : command) part = Substitute(part, Card, Recording);
    const QString program = command.takeFirst();
    if (QStandardPaths::findExecutable(program).isEmpty() || !Start(program, command)) {
        LogMessage("Mixer program could not be started (" + program.toStdString() + ")", "GUI", LogKind::Warning);
        MessageDlg("The mixer program " + program.toStdString() + " could not be started.", TMsgDlgType::Warning,
                   MsgButton::OK);
    }
}

}  // namespace kelvar
