#pragma once
// The fade control: a manual cross-fader between decks A and B, beat-matched tempo fades, a
// manual fade of one deck, and the two decks' tempos.
#include <QWidget>

class QLabel;

namespace kelvar {

class TBoxButton;
class TKcDemoButton;
class TKcTrackBar;
class TKcUpDown;
class TKelvarApi;
class TKelvarPlayer;
class TPlayerAccess;

class TfrmDJControl : public QWidget {
public:
    explicit TfrmDJControl(QWidget* Parent = nullptr);
    ~TfrmDJControl() override;

    void AttachCore();
    void DetachCore();
    void Refresh();

    TKcTrackBar* eXFade = nullptr;
    TKcTrackBar* eBeatXFade = nullptr;
    TKcTrackBar* eBeatFade = nullptr;
    TKcTrackBar* eFade = nullptr;
    TKcTrackBar* eTempoA = nullptr;
    TKcTrackBar* eTempoB = nullptr;
    TBoxButton* btFadeToNext = nullptr;
    TKcDemoButton* btXBeat1 = nullptr;
    TKcDemoButton* btXBeat2 = nullptr;
    TKcDemoButton* btBeat1 = nullptr;
    TKcDemoButton* btBeat2 = nullptr;
    TKcDemoButton* btBeat3 = nullptr;
    TKcDemoButton* KcDemoButton1 = nullptr;
    TKcDemoButton* btZeroA = nullptr;
    TKcDemoButton* btZeroB = nullptr;
    TKcUpDown* btTempoA = nullptr;
    TKcUpDown* btTempoB = nullptr;
    QLabel* lbTempoA = nullptr;
    QLabel* lbTempoB = nullptr;
    QLabel* lbBpmA = nullptr;
    QLabel* lbBpmB = nullptr;

    // The cross-fader's captured decks (null when none).
    TKelvarPlayer* From() const { return FFrom; }
    TKelvarPlayer* To() const { return FTo; }
    // Cross-fader handling as the mouse drives it.
    void XFadeDown();
    void XFadeUp();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void BuildControls();
    template <class F>
    void Guarded(F&& Action);

    void CaptureDecks();
    bool CrossfadeReady();
    void FinishCrossfade();
    void XFadeChange();
    void BeatXFadeChange();
    void BeatFadeChange();
    void FadeChange();
    void RestoreFadeVolumes();
    void SetDeckTempo(TKelvarPlayer* Deck, int Tempo);
    void NudgeTempo(TKelvarPlayer* Deck, int Delta);
    double SongBPM(TKelvarPlayer* Deck);
    void RampTempo(int Percent, TKelvarPlayer* Deck, double Target, double BPM);

    TKelvarPlayer* DeckA() const;
    TKelvarPlayer* DeckB() const;
    static TPlayerAccess Deck(TKelvarPlayer* Player);

    TKelvarApi* FApi = nullptr;
    bool FGuard = false;     // the frame is setting its own controls
    bool FXFadeTag = false;  // the cross-fader is being set by the frame
    bool FRegistered = false;
    TKelvarPlayer* FFrom = nullptr;
    TKelvarPlayer* FTo = nullptr;
    int FFromVolume = 0;
    int FToVolume = 0;
    double FTargetBPM = 0;
    double FBeatTargetA = 0;
    double FBeatTargetB = 0;
    int FFadeVolumeA = 0;
    int FFadeVolumeB = 0;
};

}  // namespace kelvar
