#include "gui/editors/funSongSettings.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "controls/BoxShape.h"
#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "controls/KcNavigator.h"
#include "controls/KcSysUtils.h"
#include "controls/KcTrackBar.h"
#include "controls/KcUpDown.h"
#include "core/KelvarApi.h"
#include "core/PreviewDeck.h"
#include "foundation/Clock.h"
#include "foundation/MiscFunc.h"
#include "foundation/dButils.h"
#include "gui/decks/funPlayer.h"
#include "gui/editors/EditorControls.h"
#include "gui/editors/funFadeSettings.h"
#include "gui/editors/funXFade.h"
#include "gui/editors/unBPMDetect.h"
#include "gui/editors/unEditTime.h"
#include "gui/engine/GUIcommon.h"

namespace kelvar {

namespace {

constexpr TDeckId PreviewDeckId = TDeckId::Aux3;
constexpr double MinBPM = 45;
constexpr double MaxBPM = 220;
constexpr double MetronomeLimit = 225;
constexpr int64_t TapWindowMs = 13200;
constexpr int MaxTaps = 10;
constexpr TColor PanelColor = 0xDBEAEE;  // RGB 238, 234, 219
constexpr TColor BoxColor = 0xA7CCD6;    // RGB 214, 204, 167

std::string Format1(const char* Fmt, double Value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, Fmt, Value);
    return buf;
}

QLabel* MakeTimeBox(QWidget* Parent, const char* Name, QRect Geometry) {
    auto* box = new TBoxShape(Parent);
    box->setGeometry(Geometry);
    box->SetStyle(TBoxStyle::bsLowered);
    box->SetBrush(QBrush(ToQColor(BoxColor)));
    box->SetPen(QPen(ToQColor(BoxColor)));
    auto* l = new QLabel(Parent);
    l->setObjectName(Name);
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(Geometry.adjusted(2, 2, -2, -2));
    l->setToolTip("Double-click to manually edit time");
    return l;
}

TKcMediaButton* MakeMedia(QWidget* Parent, const QString& Name, TKcButtonType Type, const char* Hint, QRect Geometry) {
    auto* b = new TKcMediaButton(Parent);
    b->setObjectName(Name);
    b->SetButtonType(Type);
    b->setToolTip(Hint);
    b->setGeometry(Geometry);
    return b;
}

QLabel* Caption(QWidget* Parent, const QString& Text, QRect Geometry) {
    auto* l = MakeEditorLabel(Parent, "", Text, Geometry);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

std::string CueTimeText(int64_t Ms) {
    const int32_t low = Low32(Ms);
    return low > 0 ? FormatTimeMs(3, low) : ":";
}

std::string GainText(int32_t Gain) {
    if (Gain == 0) return "0 dB";
    const double d = std::fabs(LinearToDb100(100.0 - std::abs(Gain) / 255.0 * 100.0));
    return Format1(Gain > 0 ? "+%0.1f dB" : "-%0.1f dB", d);
}

TfrmSongSettings::TfrmSongSettings(QWidget* Parent) : QWidget(Parent) {
    TickSource = [] { return MsSinceStart(); };
    BuildControls();
}

TfrmSongSettings::~TfrmSongSettings() { Done(); }

void TfrmSongSettings::BuildControls() {
    setFixedSize(740, 330);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(PanelColor));
    setPalette(pal);

    Caption(this, "Standard cue points", QRect(4, 2, 180, 20));
    const char* names[] = {"Start", "Intro", "Fade", "End", "Outro", "XFade"};
    for (int i = 0; i < CueRow::Custom; ++i) {
        const int y = 24 + i * 26;
        const QString n = names[i];
        btSet[i] = MakeEditorButton(this, "", n, "Set cue point", QRect(4, y, 56, 22));
        btSet[i]->setObjectName("bt" + n);
        lbTime[i] = MakeTimeBox(this, "", QRect(64, y, 74, 22));
        lbTime[i]->setObjectName("lb" + n);
        btClear[i] = MakeMedia(this, "bt" + n + "Clear", TKcButtonType::btPower, "Reset", QRect(142, y + 1, 20, 20));
        btSeek[i] =
            MakeMedia(this, "bt" + n + "Seek", TKcButtonType::btStep, "Seek to time", QRect(164, y + 1, 20, 20));
    }
    Caption(this, "Custom cue points", QRect(4, 184, 180, 20));
    eCueIndex = new QComboBox(this);
    eCueIndex->setObjectName("eCueIndex");
    for (int i = 0; i < 10; ++i) eCueIndex->addItem(QString::number(i));
    eCueIndex->setGeometry(4, 206, 50, 22);
    eCueName = new QLineEdit(this);
    eCueName->setObjectName("eCueName");
    eCueName->setGeometry(58, 206, 126, 22);
    btSet[CueRow::Custom] = MakeEditorButton(this, "btCueSet", "Set", "Set cue point", QRect(4, 234, 56, 22));
    lbTime[CueRow::Custom] = MakeTimeBox(this, "lbCue", QRect(64, 234, 74, 22));
    btClear[CueRow::Custom] = MakeMedia(this, "btCueClear", TKcButtonType::btPower, "Reset", QRect(142, 235, 20, 20));
    btSeek[CueRow::Custom] =
        MakeMedia(this, "btCueSeek", TKcButtonType::btStep, "Seek to time", QRect(164, 235, 20, 20));

    Caption(this, "Gain", QRect(196, 2, 180, 20));
    eGain = MakeEditorTrackBar(this, "eGain", -127, 127, QRect(196, 24, 150, 26));
    MakeEditorLabel(this, "", "-6 dB", QRect(196, 50, 50, 16));
    MakeEditorLabel(this, "", "+6 dB", QRect(296, 50, 50, 16), Qt::AlignRight);
    lbGain = MakeEditorLabel(this, "lbGain", "", QRect(312, 66, 70, 18), Qt::AlignRight);
    btZero = MakeEditorButton(this, "btZero", "0", "Zero", QRect(350, 26, 30, 22));
    Caption(this, "Gap killer", QRect(196, 86, 180, 20));
    eGapKiller = new QComboBox(this);
    eGapKiller->setObjectName("eGapKiller");
    eGapKiller->addItems({"Default", "Disabled", "Enabled"});
    eGapKiller->setGeometry(196, 108, 184, 22);

    Caption(this, "Beats Per Minute", QRect(196, 138, 180, 20));
    lbBPM = MakeTimeBox(this, "lbBPM", QRect(196, 160, 64, 24));
    lbBPM->setToolTip("");
    MakeEditorLabel(this, "", "BPM", QRect(264, 160, 30, 24));
    bpmBigSteps = new TKcUpDown(this);
    bpmBigSteps->setObjectName("bpmBigSteps");
    bpmBigSteps->setToolTip("Adjust Beats Per Minute (Big steps)");
    bpmBigSteps->setGeometry(300, 158, 18, 28);
    bpmSmallSteps = new TKcUpDown(this);
    bpmSmallSteps->setObjectName("bpmSmallSteps");
    bpmSmallSteps->setToolTip("Adjust Beats Per Minute (Small steps)");
    bpmSmallSteps->setGeometry(322, 158, 18, 28);
    btManualTap =
        MakeEditorButton(this, "btManualTap", "Tap beats", "Manually tap beats of song", QRect(196, 192, 90, 22));
    btBPMDetect =
        MakeEditorButton(this, "btBPMDetect", "Auto detect", "Auto detect Beats Per Minute", QRect(290, 192, 90, 22));
    btMetronome = new TKcPowerButton(this);
    btMetronome->setObjectName("btMetronome");
    btMetronome->SetCaption("Metronome");
    btMetronome->setGeometry(196, 220, 184, 24);
    pBPM = new QWidget(this);
    pBPM->setObjectName("pBPM");
    pBPM->setGeometry(196, 250, 184, 34);
    btBeat = MakeEditorButton(pBPM, "btBeat", "Tap on beat", "", QRect(0, 2, 184, 30));
    btBeat->setFocusPolicy(Qt::StrongFocus);
    puBPM = new QMenu(this);
    Beat1 = puBPM->addAction("Beat");
    Beat1->setObjectName("Beat1");
    Beat1->setShortcut(QKeySequence(Qt::Key_Space));
    Beat1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    pBPM->addAction(Beat1);
    btBeat->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(btBeat, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& At) { puBPM->popup(btBeat->mapToGlobal(At)); });
    pBPM->hide();

    frmPlayer1 = new TfrmPlayer(this);
    frmPlayer1->setObjectName("frmPlayer1");
    frmPlayer1->move(392, 4);
    btApply = MakeEditorButton(this, "btApply", "Apply", "Apply custom settings to player", QRect(392, 296, 100, 24));
    btReset = MakeEditorButton(this, "btReset", "Reset", "Reset default song settings inside player",
                               QRect(512, 296, 100, 24));
    btRestore = MakeEditorButton(this, "btRestore", "Restore", "Restore original song settings inside player",
                                 QRect(632, 296, 100, 24));

    for (int i = 0; i < CueRow::Count; ++i) {
        btSet[i]->OnClick = [this, i](TKcCustomControl&) { GuardedUi([this, i] { SetCue(i); }); };
        btClear[i]->OnClick = [this, i](TKcCustomControl&) { GuardedUi([this, i] { ResetCue(i); }); };
        btSeek[i]->OnClick = [this, i](TKcCustomControl&) { GuardedUi([this, i] { SeekCue(i); }); };
        lbTime[i]->installEventFilter(this);
    }
    connect(eCueIndex, &QComboBox::currentIndexChanged, this, [this](int) { GuardedUi([this] { Refresh(); }); });
    connect(eCueName, &QLineEdit::textEdited, this, [this](const QString& Text) {
        FSettings.CuePoints[static_cast<size_t>(CustomIndex())].Name = Text.toStdString();
    });
    eGain->OnChange = [this](TKcCustomControl&) {
        GuardedUi([this] {
            FSettings.Gain = eGain->Position();
            Refresh();
        });
    };
    btZero->OnClick = [this](TKcCustomControl&) {
        GuardedUi([this] {
            FSettings.Gain = 0;
            Refresh();
        });
    };
    connect(eGapKiller, &QComboBox::currentIndexChanged, this, [this](int Index) {
        if (Index >= 0) FSettings.GapKiller = Index - 1;
    });
    bpmBigSteps->OnUpClick = [this](TKcCustomControl&) { GuardedUi([this] { StepBPM(1); }); };
    bpmBigSteps->OnDownClick = [this](TKcCustomControl&) { GuardedUi([this] { StepBPM(-1); }); };
    bpmSmallSteps->OnUpClick = [this](TKcCustomControl&) { GuardedUi([this] { StepBPM(0.1); }); };
    bpmSmallSteps->OnDownClick = [this](TKcCustomControl&) { GuardedUi([this] { StepBPM(-0.1); }); };
    btManualTap->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { StartTapping(); }); };
    btBeat->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { TapBeat(); }); };
    connect(Beat1, &QAction::triggered, this, [this] { GuardedUi([this] { TapBeat(); }); });
    btBPMDetect->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { DetectTempo(); }); };
    btMetronome->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { MetronomeClick(); }); };
    btApply->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { Apply(); }); };
    btReset->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { ResetToDefaults(); }); };
    btRestore->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { RestoreLoaded(); }); };
    // Seen before the deck frame's own handling of its play button.
    frmPlayer1->btPlay->installEventFilter(this);
}

bool TfrmSongSettings::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == frmPlayer1->btPlay) {
        const bool press =
            Event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton;
        bool key = false;
        if (Event->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(Event);
            key = !k->isAutoRepeat() &&
                  (k->key() == Qt::Key_Space || k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter);
        }
        if (press || key) GuardedUi([this] { PlayPressed(); });
        return false;
    }
    if (Event->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < CueRow::Count; ++i)
            if (Watched == lbTime[i]) {
                GuardedUi([this, i] { EditCue(i); });
                return true;
            }
    }
    return QWidget::eventFilter(Watched, Event);
}

// The preview deck loads the song being edited, never a song of the queue.
void TfrmSongSettings::PlayPressed() {
    if (FPlayer && FSong && TPreviewDeck(*FPlayer).IsEmpty()) TPreviewDeck(*FPlayer).LoadSong(FSong);
}

void TfrmSongSettings::Init(const ISongInfoPtr& Song, const TSongSettings& Settings, TfrmFadeSettings* FadeFrame) {
    Done();
    FSettings = Settings;
    FAsLoaded = Settings;
    eGapKiller->setCurrentIndex(-1);
    FFadeFrame = FadeFrame;
    FSong = Song;
    FPlayer = ProgramKelvarApi() ? ProgramKelvarApi()->DeckPlayer(PreviewDeckId) : nullptr;
    frmPlayer1->SetEditorMode();
    frmPlayer1->AttachPlayer(FPlayer);
    UpdateMetronome();
    Refresh();
}

void TfrmSongSettings::Done() {
    StopTapping();
    if (!FPlayer) return;
    TKelvarPlayer* p = FPlayer;
    FPlayer = nullptr;
    frmPlayer1->DetachPlayer();
    TPreviewDeck(*p).Unload();
}

void TfrmSongSettings::GetSettings(TSongSettings& Settings) const {
    Settings = FSettings;
    if (FFadeFrame) FFadeFrame->SaveTo(Settings);
}

int TfrmSongSettings::CustomIndex() const { return std::clamp(eCueIndex->currentIndex(), 0, 9); }

int64_t& TfrmSongSettings::CueTime(int Row) {
    switch (Row) {
        case CueRow::Start: return FSettings.Start;
        case CueRow::Intro: return FSettings.Intro;
        case CueRow::Fade: return FSettings.Fade;
        case CueRow::End: return FSettings.End;
        case CueRow::Outro: return FSettings.Outro;
        case CueRow::XFade: return FSettings.XFade;
        default: return FSettings.CuePoints[static_cast<size_t>(CustomIndex())].Time;
    }
}

void TfrmSongSettings::Refresh() {
    if (eGapKiller->currentIndex() < 0) eGapKiller->setCurrentIndex(std::clamp(FSettings.GapKiller + 1, 0, 2));
    if (eCueIndex->currentIndex() < 0) eCueIndex->setCurrentIndex(0);
    for (int i = 0; i < CueRow::Count; ++i) {
        const int64_t t = CueTime(i);
        SetLabelText(lbTime[i], CueTimeText(t));
        btClear[i]->setEnabled(t > 0);
        btSeek[i]->setEnabled(t > 0);
    }
    const QString name = QString::fromStdString(FSettings.CuePoints[static_cast<size_t>(CustomIndex())].Name);
    if (eCueName->text() != name) eCueName->setText(name);
    eGain->SetPosition(FSettings.Gain);
    if (FFadeFrame) FFadeFrame->frmXFade1->SetXFadePoint(Low32(FSettings.XFade));
    SetLabelText(lbBPM, Format1("%0.1f", FSettings.BPM));
    btMetronome->setEnabled(FSettings.BPM > 0 && FSettings.BPM < MetronomeLimit);
    const bool on = FPlayer && TPreviewDeck(*FPlayer).GetMetronome();
    if (btMetronome->Active() != on) btMetronome->SetActive(on);
    SetLabelText(lbGain, GainText(FSettings.Gain));
}

void TfrmSongSettings::SetCue(int Row) {
    if (!FPlayer) return;
    CueTime(Row) = TPreviewDeck(*FPlayer).GetPosition();
    Refresh();
}

void TfrmSongSettings::ResetCue(int Row) {
    CueTime(Row) = -1;
    Refresh();
}

void TfrmSongSettings::SeekCue(int Row) {
    if (FPlayer) TPreviewDeck(*FPlayer).Seek(Low32(CueTime(Row)));
}

void TfrmSongSettings::EditCue(int Row) {
    if (EditTime(CueTime(Row))) Refresh();
}

void TfrmSongSettings::StepBPM(double Delta) {
    double bpm = FSettings.BPM + Delta;
    if (Delta > 0) {
        bpm = std::clamp(bpm, MinBPM, MaxBPM);
    } else if (bpm < MinBPM) {
        bpm = 0;  // no tempo
    }
    FSettings.BPM = bpm;
    UpdateMetronome();
    Refresh();
}

void TfrmSongSettings::StartTapping() {
    FTapping = false;
    FTapStart = 0;
    FTapCount = 0;
    pBPM->show();
    btBeat->setFocus();
}

void TfrmSongSettings::TapBeat() {
    const int64_t now = TickSource();
    if (!FTapping) {
        // The first tap only starts the clock.
        FTapping = true;
        FTapStart = now;
    } else {
        ++FTapCount;
    }
    int64_t elapsed = now - FTapStart;
    if (elapsed == 0) elapsed = 1;
    FSettings.BPM = FTapCount / (static_cast<double>(elapsed) / 1000.0) * 60.0;
    if (elapsed > TapWindowMs || FTapCount > MaxTaps) StopTapping();
    Refresh();
}

void TfrmSongSettings::StopTapping() {
    FTapping = false;
    FTapStart = 0;
    FTapCount = 0;
    pBPM->hide();
}

void TfrmSongSettings::DetectTempo() {
    if (!FSong) return;
    FSettings.BPM = DetectBPM(FSong->GetValue("filename"));
    Refresh();
}

void TfrmSongSettings::UpdateMetronome() {
    if (!(FSettings.BPM > 0 && FSettings.BPM < MetronomeLimit)) return;
    if (FPlayer)
        TPreviewDeck(*FPlayer).TimeMetronome(FSettings.BPM,
                                             ProgramKelvarApi() ? ProgramKelvarApi()->AudioPipe() : nullptr);
}

void TfrmSongSettings::MetronomeClick() {
    if (!FPlayer) return;
    TPreviewDeck deck(*FPlayer);
    if (IsShiftDown() && deck.IsReady()) deck.Play();
    deck.SetMetronome(!deck.GetMetronome());
    UpdateMetronome();
    Refresh();
}

void TfrmSongSettings::HandTo(const TSongSettings& Settings) {
    if (FSong) FSong->SetValue("xfade", SongSettingsToString(Settings));
    if (FPlayer) TPreviewDeck(*FPlayer).SetSongSettings(Settings);
}

void TfrmSongSettings::Apply() { HandTo(FSettings); }

void TfrmSongSettings::ResetToDefaults() {
    TSongSettings defaults;
    InitSongSettings(defaults);
    HandTo(defaults);
}

void TfrmSongSettings::RestoreLoaded() { HandTo(FAsLoaded); }

}  // namespace kelvar
