#pragma once
// The talk-over window: switches the voice source on and off, talks while a button is held or
// locked, sets the voice volume or speed and the music volume under the voice, routes the voice
// to the outputs and shows its level. It reads the voice afresh on every refresh and touches
// only the controls whose value changed.
#include <QWidget>
#include <memory>
#include <string>

#include "gui/engine/WindowList_imp.h"

class QLabel;

namespace kelvar {

class TBoxButton;
class TKcDemoButton;
class TKcLabel;
class TKcPowerButton;
class TKcTrackBar;
class TVoiceAccess;
class TVoiceFX;
class TfrmVUMeterBase;

// What the vertical track bar edits.
namespace VoiceControl {
constexpr int Volume = 0;
constexpr int Speed = 1;
}  // namespace VoiceControl

class TfrmVoiceFX : public QWidget {
public:
    explicit TfrmVoiceFX(QWidget* Parent = nullptr);
    ~TfrmVoiceFX() override;

    // Refreshes every control and registers the level (25 ms) and refresh (30 ms) callbacks.
    void Init(TVoiceFX* Voice);
    // Unregisters them, ends talking and closes the voice source.
    void Done();
    void Refresh();
    void UpdateVU();
    void ShowText(const std::string& Text);
    int SelectedControl() const { return FSelected; }
    TVoiceFX* Voice() const { return FVoice; }

    TKcPowerButton* btMicOnOff = nullptr;
    TKcDemoButton* btTalk = nullptr;
    TKcPowerButton* btLock = nullptr;
    TKcPowerButton* btAutoFade = nullptr;
    TKcTrackBar* eTrackBar = nullptr;
    QLabel* lbTrackBar = nullptr;
    TKcDemoButton* btVolume = nullptr;
    TKcDemoButton* btSpeed = nullptr;
    TKcDemoButton* btZero = nullptr;
    TKcTrackBar* eMusicVol = nullptr;
    TKcDemoButton* btZeroMusic = nullptr;
    TKcDemoButton* btAir = nullptr;
    TKcDemoButton* btCue = nullptr;
    TBoxButton* btConfig = nullptr;
    TBoxButton* btEQ = nullptr;
    QLabel* lbDisplay = nullptr;
    QWidget* pVUMeter = nullptr;
    TfrmVUMeterBase* frmVUMeter1 = nullptr;
    TKcLabel* lbVU = nullptr;

private:
    TVoiceAccess Access() const;

    struct TShown {
        int Mode = 0;
        int MixPoint = 0;
        int VoiceVolume = 0;
        int Speed = 0;
        int MusicVolume = 0;
        int MixFlags = 0;
        bool Active = false;
        bool Talking = false;
        bool AutoFade = false;
        int Selected = 0;
    };

    void BuildControls();
    void SetupTrackBar();
    void SetTrackBarSilently(TKcTrackBar* Bar, int Position);
    void SetTalkLook(bool Talking);
    void TrackBarChange();
    void MusicVolChange();
    void ZeroClick();
    void ZeroMusicClick();
    void TalkDown();
    void TalkUp();
    void LockClick();
    void MicOnOffClick();
    void AutoFadeClick();
    void RouteClick(uint8_t Flag, const char* Disabled, const char* Active);
    void ConfigClick();
    void EQClick();

    TVoiceFX* FVoice = nullptr;
    int FSelected = VoiceControl::Volume;
    TShown FShown;
    bool FTrackGuard = false;
    bool FRegistered = false;
};

// The dockable window "VoiceFX" ("Voice FX", not sizeable) over the core's voice.
class TwiVoiceFX : public TWindowItem {
public:
    TwiVoiceFX();
    ~TwiVoiceFX() override;
    void Activate() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfrmVoiceFX* Frame() const { return FFrame.get(); }

private:
    std::unique_ptr<TfrmVoiceFX> FFrame;
};

}  // namespace kelvar
