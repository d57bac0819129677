#pragma once
// The body of the audio settings window: the object buttons and the pages of the chosen object.
#include <QWidget>
#include <array>
#include <string>

#include "gui/audioconfig/unCfgPlayer.h"

class QComboBox;
class QLabel;
class QTabWidget;

namespace kelvar {

class TChannel_base;
class TKcDemoButton;
class TfrmEQ;
class TfrmAGC;
class TfrmWinampDSP;
class TfrmDualOutput_combo;

class TfrmCfgPlayer : public QWidget {
public:
    explicit TfrmCfgPlayer(QWidget* Parent = nullptr);
    ~TfrmCfgPlayer() override;

    void SelectObject(const TAudioObject& Object);
    // Attaches the equaliser, processor and DSP pages to Channel's nodes (none: detaches them).
    void SetChannel(TChannel_base* Channel);
    // "EQ", "AGC", "DSP" or "OUTPUT" in any case; another name keeps the page shown.
    void SetPage(const std::string& Name);
    // Applies pending output changes and detaches every page.
    void DetachAll();

    TKcDemoButton* btDeckA = nullptr;
    TKcDemoButton* btDeckB = nullptr;
    TKcDemoButton* btSoundFX = nullptr;
    TKcDemoButton* btAux = nullptr;
    QComboBox* eAux = nullptr;
    TKcDemoButton* btVoiceFX = nullptr;
    TKcDemoButton* btMixer = nullptr;
    TKcDemoButton* btOutput = nullptr;
    QTabWidget* pcSection = nullptr;
    QWidget* tsEQ = nullptr;
    QWidget* tsAGC = nullptr;
    QWidget* tsDSP = nullptr;
    QWidget* tsOutput = nullptr;
    TfrmEQ* frmEQ1 = nullptr;
    TfrmAGC* frmAGC1 = nullptr;
    TfrmWinampDSP* frmWinampDSP1 = nullptr;
    TfrmDualOutput_combo* frmDualOutput_combo1 = nullptr;

    static constexpr int ButtonColor = 12770530;
    static constexpr int LitColor = 10865363;

private:
    void Light(TKcDemoButton* Button);
    void AuxChosen();
    void SetAuxCaption();
};

}  // namespace kelvar
