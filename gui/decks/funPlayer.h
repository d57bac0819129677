#pragma once
// The deck frame: shows one player and drives it. It keeps only what it last displayed; each
// refresh reads the player afresh and touches only the controls whose value changed.
#include <QWidget>
#include <cstdint>
#include <string>

#include "media/SongInfo.h"
#include "media/SongSettings.h"

class QLabel;
class QMenu;

namespace kelvar {

class TBoxButton;
class TFxFancyButton;
class TKcCustomControl;
class TKcDemoButton;
class TKcSlider;
class TKcTrackBar;
class TKelvarPlayer;
class TPlayerAccess;
class TScrollLabel;
class TfrmVUMeterBase;

// Track-bar controls.
namespace DeckControl {
constexpr int Volume = 0;
constexpr int Pitch = 1;
constexpr int Tempo = 2;
}  // namespace DeckControl

// Position slider modes.
namespace SliderMode {
constexpr int NoDuration = 0;
constexpr int Normal = 1;
constexpr int Refreshing = 2;
constexpr int Dragging = 3;
}  // namespace SliderMode

class TfrmPlayer : public QWidget {
public:
    explicit TfrmPlayer(QWidget* Parent = nullptr);
    ~TfrmPlayer() override;

    void AttachPlayer(TKelvarPlayer* Player);
    void DetachPlayer();
    TKelvarPlayer* Player() const { return FPlayer; }

    void Tick();
    void RefreshVU();
    void Refresh();
    void ShowText(const std::string& Text);
    void ShowStatus(const std::string& Text);
    void SetAuxMode();
    void SetEditorMode();
    void SongChanged(const ISongInfoPtr& Song);
    void ShowPicture(const std::string& Path);
    void ShowIcon();

    // Builds the cue point menu from the song settings copy (without showing it).
    void BuildCuePointMenu();
    int SelectedControl() const { return FControl; }
    int SliderModeNow() const { return FSliderMode; }
    // The picture last shown: a path, "ICON", or empty before the first.
    const std::string& PictureShown() const { return FPictureShown; }
    const std::string& StatusPending() const { return FStatus; }

    TScrollLabel* lbDisplay = nullptr;
    QLabel* imAlbum = nullptr;
    QLabel* lbCurrent = nullptr;
    QLabel* lbDuration = nullptr;
    QLabel* lbRemaining = nullptr;
    QLabel* lbIntro = nullptr;
    QLabel* lbIntroTime = nullptr;
    QLabel* lbKbs = nullptr;
    QLabel* lbKhz = nullptr;
    QLabel* lbStereo = nullptr;
    QLabel* lbBPM = nullptr;
    QLabel* lbTrackBar = nullptr;
    TFxFancyButton* btPlay = nullptr;
    TFxFancyButton* btPause = nullptr;
    TFxFancyButton* btStop = nullptr;
    TFxFancyButton* btNext = nullptr;
    TBoxButton* btEject = nullptr;
    TBoxButton* btFadeout = nullptr;
    TBoxButton* btEQ = nullptr;
    TBoxButton* btCuePoints = nullptr;
    TBoxButton* btBeatMatch = nullptr;
    TKcDemoButton* btAir = nullptr;
    TKcDemoButton* btCue = nullptr;
    TKcDemoButton* btVolume = nullptr;
    TKcDemoButton* btPitch = nullptr;
    TKcDemoButton* btTempo = nullptr;
    TKcDemoButton* btZero = nullptr;
    TKcDemoButton* btLoop = nullptr;
    TKcTrackBar* eTrackBar = nullptr;
    TKcSlider* tbPosition = nullptr;
    QWidget* pVUMeter = nullptr;
    TfrmVUMeterBase* frmVUMeter1 = nullptr;
    QMenu* puCuePoints = nullptr;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    struct TSnapshot {
        int Volume = 0;
        int Pitch = 0;
        int Tempo = 0;
        int MixMode = 0;
        int State = 1;
        TSongSettings Settings;
        double BPM = 0;
        int Rate = 0;
        int Bitrate = 0;
        int Channels = 0;
        bool Seekable = false;
        int Buffer = 100;
        bool Loop = false;
        int64_t Duration = 0;
        int64_t Position = 0;
    };

    void BuildControls();
    void ClearMemory();
    TPlayerAccess Deck() const;
    // Runs Action, catching what the player raises: logged, the frame goes on.
    template <class F>
    void Guarded(F&& Action);

    void PlayDown(bool Shift);
    void PauseDown(bool Shift);
    void PlayPauseUp();
    void StopDown(bool Shift);
    void NextDown(bool Shift);
    void EjectClick();
    void FadeoutClick();
    void EQClick();
    void AirClick();
    void CueClick();
    void SelectControl(int Control);
    void ZeroClick();
    void BeatMatchClick();
    void LoopClick();
    void TrackBarChange();
    void PositionDown();
    void PositionUp();
    void PositionChange();
    void CuePointsClick();
    void AlbumClick();
    void AddCuePointEntry(const std::string& Name, int64_t Time);
    bool AcceptsDrag(QObject* Source) const;
    void DropSongs(QObject* Source);

    void RefreshControlMode();
    void RefreshTrackBar();
    void RefreshMixButtons();
    void RefreshPositionRange();
    void RefreshLoop();
    void RefreshState();
    void RefreshTimes();
    void SetTrackBarSilently(int Position);
    void ShowPlayOrPause(bool Playing);

    TKelvarPlayer* FPlayer = nullptr;
    bool FEditorMode = false;
    int FControl = DeckControl::Volume;
    bool FTrackDragging = false;
    bool FTrackGuard = false;  // the change event is detached
    int FSliderMode = SliderMode::NoDuration;
    int FSliderReturn = SliderMode::NoDuration;
    bool FPlayPressed = false;
    bool FRegistered = false;

    TSnapshot FNow;
    // The values last displayed; -1 style markers force the first refresh to draw everything.
    int FShownControl = -1;
    int FShownValue = INT32_MIN;
    int FShownMix = -1;
    int FShownState = -1;
    int FShownBuffer = 100;
    int FShownLoop = -1;
    int64_t FShownDuration = -1;
    int64_t FShownPosition = -1;
    bool FShownSongKnown = false;
    std::string FSongKey;
    std::string FPictureShown;
    std::string FTitle;
    std::string FStatus;
    std::string FStatusShown;
    int64_t FStatusSince = 0;
    std::string FTitleShown;
};

}  // namespace kelvar
