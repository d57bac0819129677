#pragma once
// The playout settings of one song: six standard and ten named cue points, extra gain, the gap
// killer switch and the tempo with a metronome to check it by ear. The frame plays the song on
// the preview player through its own deck so that a cue can be taken at the playing position.
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "media/SongInfo.h"
#include "media/SongSettings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;

namespace kelvar {

class TBoxShape;
class TKcDemoButton;
class TKcMediaButton;
class TKcPowerButton;
class TKcTrackBar;
class TKcUpDown;
class TKelvarPlayer;
class TfrmFadeSettings;
class TfrmPlayer;

// Cue rows of the frame: the six standard cues, then the selected custom cue.
namespace CueRow {
constexpr int Start = 0;
constexpr int Intro = 1;
constexpr int Fade = 2;
constexpr int End = 3;
constexpr int Outro = 4;
constexpr int XFade = 5;
constexpr int Custom = 6;
constexpr int Count = 7;
}  // namespace CueRow

// The text of a cue time: m:ss.t when set, ":" otherwise.
std::string CueTimeText(int64_t Ms);
// The gain label: "0 dB", "+6.0 dB", "-6.0 dB".
std::string GainText(int32_t Gain);

class TfrmSongSettings : public QWidget {
public:
    // Monotonic milliseconds for tap timing.
    using TTickSource = std::function<int64_t()>;

    explicit TfrmSongSettings(QWidget* Parent = nullptr);
    ~TfrmSongSettings() override;

    // Runs Done first when a song is still held.
    void Init(const ISongInfoPtr& Song, const TSongSettings& Settings, TfrmFadeSettings* FadeFrame);
    // Unloads the preview player and switches its metronome off; safe when nothing is held.
    void Done();
    // The working copy with the fade frame's fields over it.
    void GetSettings(TSongSettings& Settings) const;
    void Refresh();

    // Cue actions of one row (CueRow).
    void SetCue(int Row);
    void ResetCue(int Row);
    void SeekCue(int Row);
    void EditCue(int Row);
    // Tempo steps: +-1 (big) or +-0.1 (small).
    void StepBPM(double Delta);
    void StartTapping();
    void TapBeat();
    void StopTapping();
    void DetectTempo();
    void MetronomeClick();
    void UpdateMetronome();
    // Hand a record to the preview player and the song's "xfade" value.
    void Apply();
    void ResetToDefaults();
    void RestoreLoaded();

    const TSongSettings& Working() const { return FSettings; }
    TKelvarPlayer* Player() const { return FPlayer; }
    bool Tapping() const { return FTapping; }

    TTickSource TickSource;

    std::array<TKcDemoButton*, CueRow::Count> btSet{};
    std::array<QLabel*, CueRow::Count> lbTime{};
    std::array<TKcMediaButton*, CueRow::Count> btClear{};
    std::array<TKcMediaButton*, CueRow::Count> btSeek{};
    QComboBox* eCueIndex = nullptr;
    QLineEdit* eCueName = nullptr;
    TKcTrackBar* eGain = nullptr;
    QLabel* lbGain = nullptr;
    TKcDemoButton* btZero = nullptr;
    QComboBox* eGapKiller = nullptr;
    QLabel* lbBPM = nullptr;
    TKcUpDown* bpmBigSteps = nullptr;
    TKcUpDown* bpmSmallSteps = nullptr;
    TKcDemoButton* btManualTap = nullptr;
    QWidget* pBPM = nullptr;
    TKcDemoButton* btBeat = nullptr;
    QMenu* puBPM = nullptr;
    QAction* Beat1 = nullptr;
    TKcDemoButton* btBPMDetect = nullptr;
    TKcPowerButton* btMetronome = nullptr;
    TKcDemoButton* btApply = nullptr;
    TKcDemoButton* btReset = nullptr;
    TKcDemoButton* btRestore = nullptr;
    TfrmPlayer* frmPlayer1 = nullptr;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void BuildControls();
    int64_t& CueTime(int Row);
    int CustomIndex() const;
    void HandTo(const TSongSettings& Settings);
    void PlayPressed();

    ISongInfoPtr FSong;
    TKelvarPlayer* FPlayer = nullptr;
    TSongSettings FSettings;
    TSongSettings FAsLoaded;
    TfrmFadeSettings* FFadeFrame = nullptr;
    bool FTapping = false;
    int64_t FTapStart = 0;
    int FTapCount = 0;
};

}  // namespace kelvar
