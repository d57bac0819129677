#pragma once
// The audio settings window: one audio object at a time (a player, the talk-over voice, the
// mixer or the output pair) with its equaliser, processor, DSP chain or output pages. There is
// at most one such window.
#include <QDialog>
#include <string>
#include <variant>

namespace kelvar {

class TKelvarPlayer;
class TVoiceFX;
class TMixer;
class TAudioPipe;
class TfrmCfgPlayer;
class TfrmOKCancel;

// The object the window edits: a player (deck, sound effects or auxiliary player), the voice,
// the mixer (its master channel), or an audio pipe standing for its output pair.
using TAudioObject = std::variant<std::monostate, TKelvarPlayer*, TVoiceFX*, TMixer*, TAudioPipe*>;

class TfoCfgPlayer : public QDialog {
public:
    explicit TfoCfgPlayer(QWidget* Parent = nullptr);
    ~TfoCfgPlayer() override;

    TfrmCfgPlayer* frmCfgPlayer1 = nullptr;
    TfrmOKCancel* frmOKCancel1 = nullptr;

protected:
    void closeEvent(QCloseEvent* Event) override;
    void done(int Result) override;

private:
    void Closing();
    bool FClosed = false;
};

// Creates the window when none exists, choosing Object and Page ("EQ", "AGC", "DSP" or
// "OUTPUT", any case) only then; shows it modally (returning once it closed) or on top.
void ShowAudioSettings(const TAudioObject& Object, const std::string& Page, bool Modal);
// Closes and frees the window when one exists.
void CloseAudioSettings();
// The window, or none.
TfoCfgPlayer* AudioSettingsWindow();

}  // namespace kelvar
