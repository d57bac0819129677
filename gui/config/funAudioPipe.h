#pragma once
// The audio path of the player as a diagram: buttons into every object's equaliser, processor
// and DSP settings, the outputs, where the talk-over voice goes, and the process priority.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <vector>

#include "controls/BoxButton.h"
#include "controls/BoxShape.h"
#include "gui/audioconfig/unCfgPlayer.h"

namespace kelvar {

class TKcTrackBar;

class TfrmCfgAudioPipe : public QFrame {
public:
    explicit TfrmCfgAudioPipe(QWidget* Parent = nullptr);

    void Init();
    // Shows the running voice's destination.
    void ShowVoiceMode();
    // Shows and applies the destination chosen in eVoiceMode to the running voice.
    void ApplyVoiceDestination();
    // The cue path only while the output pair has a preview.
    void ShowCuePath();
    void ShowPriorityLabel();

    // Slider position 1 to 4 of a stored priority class, and back.
    static int PriorityPosition(int64_t PriorityClass);
    static int64_t PriorityOfPosition(int Position);

    // The object of a button row: 0 deck A, 1 deck B, 2 sound FX, 3 auxiliary (by eAux), 4 voice,
    // 5 mixer.
    TAudioObject RowObject(int Row) const;

    // The buttons of each row: EQ, AGC, DSP.
    std::vector<std::array<TBoxButton*, 3>> Rows;

    TBoxButton* btReaders = nullptr;
    TBoxButton* btDecoders = nullptr;
    TBoxButton* btDSP = nullptr;
    TBoxButton* BoxButton5 = nullptr;
    TBoxButton* BoxButton6 = nullptr;
    TBoxButton* BoxButton7 = nullptr;
    TBoxButton* BoxButton9 = nullptr;
    TBoxButton* BoxButton10 = nullptr;
    TBoxButton* BoxButton11 = nullptr;
    QLabel* lbAux = nullptr;
    QComboBox* eAux = nullptr;
    TBoxButton* BoxButton3 = nullptr;
    TBoxButton* BoxButton4 = nullptr;
    TBoxButton* BoxButton8 = nullptr;
    TBoxButton* BoxButton13 = nullptr;
    TBoxButton* BoxButton14 = nullptr;
    TBoxButton* BoxButton15 = nullptr;
    TBoxButton* BoxButton2 = nullptr;
    TBoxButton* BoxButton1 = nullptr;
    TBoxButton* btMixerDSP = nullptr;
    TBoxButton* btMixerOutput = nullptr;
    TBoxButton* iCue0 = nullptr;
    QLabel* Image1 = nullptr;
    std::vector<QWidget*> iCue;  // iCue0 .. iCue5
    QComboBox* eVoiceMode = nullptr;
    std::vector<QWidget*> iFX;  // iFX0 .. iFX6
    QWidget* iFXLine = nullptr;
    std::vector<QWidget*> iEncoders;  // iEncoders1 .. iEncoders3
    TBoxButton* btEncoders = nullptr;
    TKcTrackBar* eProcessPriority = nullptr;
    QLabel* lbProcessPriority = nullptr;

private:
    void OpenOutput();
};

}  // namespace kelvar
