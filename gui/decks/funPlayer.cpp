#include "gui/decks/funPlayer.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "controls/BoxButton.h"
#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "controls/KcResources.h"
#include "controls/KcSlider.h"
#include "controls/KcTrackBar.h"
#include "controls/ScrollLabel.h"
#include "core/KelvarApi.h"
#include "core/PlayerAccess.h"
#include "core/playlist/SongRows.h"
#include "foundation/Clock.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/dButils.h"
#include "gui/decks/DeckHooks.h"
#include "gui/decks/DeckSongDrop.h"
#include "gui/decks/funVUMeterBase.h"
#include "gui/engine/GUIcommon.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

namespace {

constexpr TColor DeckFace = 0xDBEAEE;     // RGB 238, 234, 219
constexpr TColor PressedFace = 0xB4D2DC;  // RGB 220, 210, 180
constexpr TColor RaisedFace = 0xC8D1D5;   // RGB 213, 209, 200
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clTeal = 0x808000;
constexpr int VolumeRange = 350;
constexpr int64_t StatusMs = 2000;
constexpr const char* IconMarker = "ICON";
constexpr const char* AlbumHint = "Click to view song information";
constexpr int PhasePlaying = static_cast<int>(TDeckPhase::Playing);
constexpr int PhaseEmpty = static_cast<int>(TDeckPhase::Empty);
constexpr int PhaseReady = static_cast<int>(TDeckPhase::Ready);

std::string Format(const char* Fmt, auto... Args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, Fmt, Args...);
    return buf;
}

std::string UpperAscii(std::string Text) {
    std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char c) { return std::toupper(c); });
    return Text;
}

void SetLabel(QLabel* Label, const std::string& Text) {
    const QString t = QString::fromStdString(Text);
    if (Label->text() != t) Label->setText(t);
}

QLabel* MakeLabel(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry, int PixelSize,
                  bool Bold = false, Qt::Alignment Align = Qt::AlignLeft) {
    auto* l = new QLabel(Text, Parent);
    l->setObjectName(Name);
    QFont f = l->font();
    f.setPixelSize(PixelSize);
    f.setBold(Bold);
    l->setFont(f);
    l->setAlignment(Align | Qt::AlignVCenter);
    l->setGeometry(Geometry);
    return l;
}

TFxFancyButton* MakeTransport(QWidget* Parent, const char* Name, const QString& Glyph, const char* Hint,
                              QRect Geometry) {
    auto* b = new TFxFancyButton(Glyph, Parent);
    b->setObjectName(Name);
    b->setToolTip(Hint);
    b->FancyEffects().SetFaceColor(RaisedFace);
    b->FancyEffects().SetShape(TBtnShape::btnCapsule);
    b->setGeometry(Geometry);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

TBoxButton* MakeBox(QWidget* Parent, const char* Name, const QString& Caption, const char* Hint, QRect Geometry) {
    auto* b = new TBoxButton(Caption, Parent);
    b->setObjectName(Name);
    b->setToolTip(Hint);
    b->SetColor(RaisedFace);
    b->setGeometry(Geometry);
    return b;
}

TKcDemoButton* MakeDemo(QWidget* Parent, const char* Name, const QString& Caption, const char* Hint, QRect Geometry) {
    auto* b = new TKcDemoButton(Parent);
    b->setObjectName(Name);
    b->SetCaption(Caption);
    b->setToolTip(Hint);
    b->SetFlat(true);
    b->SetColor(RaisedFace);
    QFont f = b->font();
    f.setPixelSize(10);
    f.setBold(true);
    SetDemoFont(*b, f);
    b->setGeometry(Geometry);
    return b;
}

// Pressed: shadow and highlight swapped; raised: the ordinary bevel.
void SetLit(TKcDemoButton* Button, bool Lit) {
    Button->SetShadowColor(Lit ? clBtnHighlight : clBtnShadow);
    Button->SetHighlightColor(Lit ? clBtnShadow : clBtnHighlight);
    Button->SetColor(Lit ? PressedFace : RaisedFace);
}

bool ShiftIn(QEvent* Event) { return static_cast<QInputEvent*>(Event)->modifiers().testFlag(Qt::ShiftModifier); }

void LogUnhandled(const std::string& What) {
    if (auto log = GetCoreLogger()) log->Log("Unhandled exception (" + What + ")", "GUI", 0);
}

ISongInfoPtr SongOfRow(IDataset& Row) { return TSongInfo::CreateFromDataset(Row, Row.FieldNames()); }

}  // namespace

template <class F>
void TfrmPlayer::Guarded(F&& Action) {
    try {
        Action();
    } catch (const std::exception& e) {
        LogUnhandled(e.what());
    } catch (...) {
        LogUnhandled("unknown");
    }
}

TfrmPlayer::TfrmPlayer(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmPlayer");
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(DeckFace));
    setPalette(pal);
    setAcceptDrops(true);
    BuildControls();
    resize(343, 178);
}

TfrmPlayer::~TfrmPlayer() { DetachPlayer(); }

void TfrmPlayer::BuildControls() {
    lbDisplay = new TScrollLabel(this);
    lbDisplay->setObjectName("lbDisplay");
    lbDisplay->SetColor(DeckFace);
    {
        QFont f = lbDisplay->font();
        f.setPixelSize(13);
        f.setBold(true);
        lbDisplay->setFont(f);
    }
    lbDisplay->setGeometry(4, 3, 236, 19);
    lbDisplay->SetActive(true);

    imAlbum = new QLabel(this);
    imAlbum->setObjectName("imAlbum");
    imAlbum->setGeometry(4, 25, 67, 67);
    imAlbum->setAlignment(Qt::AlignCenter);
    imAlbum->setFrameShape(QFrame::Box);

    lbCurrent = MakeLabel(this, "lbCurrent", ":", {76, 24, 82, 22}, 18, true);
    lbCurrent->setToolTip("Current time");
    lbRemaining = MakeLabel(this, "lbRemaining", ":", {158, 24, 82, 22}, 18, true, Qt::AlignRight);
    lbRemaining->setToolTip("Remaining time");
    lbIntro = MakeLabel(this, "lbIntro", "Intro", {76, 47, 34, 16}, 10);
    lbIntroTime = MakeLabel(this, "lbIntroTime", ":", {110, 47, 50, 16}, 11, true);
    lbIntroTime->setToolTip("Intro / Outro times");
    lbDuration = MakeLabel(this, "lbDuration", ":", {160, 47, 80, 16}, 11, true, Qt::AlignRight);
    lbDuration->setToolTip("Total duration");

    // Format row: value then unit, four pairs.
    lbKbs = MakeLabel(this, "lbKbs", "", {73, 67, 27, 14}, 10, true, Qt::AlignRight);
    lbKbs->setToolTip("Bitrate");
    MakeLabel(this, "lbKbsUnit", "kbps", {101, 67, 22, 14}, 9);
    lbKhz = MakeLabel(this, "lbKhz", "", {122, 67, 26, 14}, 10, true, Qt::AlignRight);
    lbKhz->setToolTip("Samplerate");
    MakeLabel(this, "lbKhzUnit", "kHz", {149, 67, 20, 14}, 9);
    lbStereo = MakeLabel(this, "lbStereo", "", {170, 67, 34, 14}, 10, true);
    lbStereo->setToolTip("Channel mode");
    lbBPM = MakeLabel(this, "lbBPM", "", {200, 81, 22, 12}, 10, true, Qt::AlignRight);
    lbBPM->setToolTip("Beats Per Minute");
    MakeLabel(this, "lbBPMUnit", "bpm", {223, 81, 18, 12}, 9);

    tbPosition = new TKcSlider(this);
    tbPosition->setObjectName("tbPosition");
    tbPosition->BeginLoading();
    tbPosition->SetOrientation(TKcOrientation::voHorizontal);
    tbPosition->SetOptions(soActiveClick | soMouseClip | soHandPoint | soThumbOpaque);
    tbPosition->SetPalette(TKcPalette(clGray, clSilver));
    tbPosition->SetMinValue(0);
    tbPosition->SetMaxValue(100);
    tbPosition->EndLoading();
    tbPosition->setGeometry(4, 96, 236, 16);
    tbPosition->setEnabled(false);

    btPlay = MakeTransport(this, "btPlay", QString::fromUtf8("\u25B6"), "Play", {4, 116, 44, 26});
    btPause = MakeTransport(this, "btPause", QString::fromUtf8("\u275A\u275A"), "Pause", {4, 116, 44, 26});
    btPause->hide();
    btStop = MakeTransport(this, "btStop", QString::fromUtf8("\u25A0"), "Stop", {50, 116, 44, 26});
    btNext = MakeTransport(this, "btNext", QString::fromUtf8("\u25B6\u25B6"), "Load next track", {96, 116, 44, 26});

    btEject = MakeBox(this, "btEject", QString::fromUtf8("\u23CF"), "Eject", {144, 116, 22, 26});
    btFadeout = MakeBox(this, "btFadeout", QString::fromUtf8("\u2198"), "Fade to next song", {168, 116, 22, 26});
    btEQ = MakeBox(this, "btEQ", "EQ", "Equalizer and player configuration", {192, 116, 24, 26});
    btCuePoints = MakeBox(this, "btCuePoints", "CP", "Seek to Cue Point", {218, 116, 22, 26});
    puCuePoints = new QMenu(this);
    puCuePoints->setObjectName("puCuePoints");

    btAir = MakeDemo(this, "btAir", "Air", "On-Air output", {4, 148, 40, 22});
    btCue = MakeDemo(this, "btCue", "Cue", "Preview output", {46, 148, 40, 22});
    btBeatMatch =
        MakeBox(this, "btBeatMatch", QString::fromUtf8("\u2248"), "Match Beat with other Deck", {92, 148, 24, 22});
    btLoop = MakeDemo(this, "btLoop", "Loop", "Loop track", {120, 148, 40, 22});
    btLoop->hide();

    lbTrackBar = MakeLabel(this, "lbTrackBar", "Volume", {244, 3, 50, 14}, 9, true, Qt::AlignHCenter);
    eTrackBar = new TKcTrackBar(this);
    eTrackBar->setObjectName("eTrackBar");
    eTrackBar->BeginLoading();
    eTrackBar->SetOrientation(TKcOrientation::voVertical);
    eTrackBar->SetBorderWidth(8);
    eTrackBar->SetTickMarks(TKcTickMarks::tmBottomRight);
    eTrackBar->EndLoading();
    eTrackBar->setGeometry(262, 18, 30, 126);
    UseWindowGutter(*eTrackBar);
    btZero = MakeDemo(this, "btZero", "", "Zero", {246, 0, 14, 10});
    btVolume = MakeDemo(this, "btVolume", "V", "Volume control", {244, 150, 16, 20});
    btPitch = MakeDemo(this, "btPitch", "P", "Pitch control", {261, 150, 16, 20});
    btTempo = MakeDemo(this, "btTempo", "T", "Tempo control", {278, 150, 16, 20});

    pVUMeter = new QWidget(this);
    pVUMeter->setObjectName("pVUMeter");
    pVUMeter->setGeometry(295, 0, 48, 178);
    frmVUMeter1 = new TfrmVUMeterBase(pVUMeter);
    frmVUMeter1->setObjectName("frmVUMeter1");
    frmVUMeter1->setGeometry(0, 0, 48, 178);

    // Buttons whose press (not click) acts are watched, as are the track bar and the slider.
    for (QWidget* w : std::initializer_list<QWidget*>{btPlay, btPause, btStop, btNext, eTrackBar, tbPosition, imAlbum})
        w->installEventFilter(this);
    // Every control of the frame takes drops for the deck.
    for (QWidget* w : findChildren<QWidget*>()) {
        w->setAcceptDrops(true);
        w->installEventFilter(this);
    }

    btEject->connect(btEject, &QToolButton::clicked, this, [this] { Guarded([this] { EjectClick(); }); });
    btFadeout->connect(btFadeout, &QToolButton::clicked, this, [this] { Guarded([this] { FadeoutClick(); }); });
    btEQ->connect(btEQ, &QToolButton::clicked, this, [this] { Guarded([this] { EQClick(); }); });
    btCuePoints->connect(btCuePoints, &QToolButton::clicked, this, [this] { Guarded([this] { CuePointsClick(); }); });
    btBeatMatch->connect(btBeatMatch, &QToolButton::clicked, this, [this] { Guarded([this] { BeatMatchClick(); }); });
    btAir->OnClick = [this](TKcCustomControl&) { Guarded([this] { AirClick(); }); };
    btCue->OnClick = [this](TKcCustomControl&) { Guarded([this] { CueClick(); }); };
    btVolume->OnClick = [this](TKcCustomControl&) { Guarded([this] { SelectControl(DeckControl::Volume); }); };
    btPitch->OnClick = [this](TKcCustomControl&) { Guarded([this] { SelectControl(DeckControl::Pitch); }); };
    btTempo->OnClick = [this](TKcCustomControl&) { Guarded([this] { SelectControl(DeckControl::Tempo); }); };
    btZero->OnClick = [this](TKcCustomControl&) { Guarded([this] { ZeroClick(); }); };
    btLoop->OnClick = [this](TKcCustomControl&) { Guarded([this] { LoopClick(); }); };
    eTrackBar->OnChange = [this](TKcCustomControl&) { Guarded([this] { TrackBarChange(); }); };
    tbPosition->OnChange = [this](TKcCustomControl&) { Guarded([this] { PositionChange(); }); };
}

void TfrmPlayer::ClearMemory() {
    FNow = TSnapshot{};
    FControl = DeckControl::Volume;
    FShownControl = -1;
    FShownValue = INT32_MIN;
    FShownMix = -1;
    FShownState = -1;
    FShownBuffer = 100;
    FShownLoop = -1;
    FShownDuration = -1;
    FShownPosition = -1;
    FSliderMode = SliderMode::NoDuration;
    FSliderReturn = SliderMode::NoDuration;
    FTrackDragging = false;
    FPlayPressed = false;
    // Marks that no song and no picture has been shown yet.
    FSongKey = "\x01";
    FPictureShown.clear();
    FTitle = "Deck idle...";
    FStatus.clear();
    FStatusShown.clear();
    FTitleShown.clear();
}

void TfrmPlayer::AttachPlayer(TKelvarPlayer* Player) {
    FPlayer = Player;
    ClearMemory();
    frmVUMeter1->Init();
    Refresh();
    if (GuiHeartBeat && !FRegistered) {
        GuiHeartBeat->Add(25, this, 1, [this](THeartBeat&) { Guarded([this] { RefreshVU(); }); });
        GuiHeartBeat->Add(30, this, 2, [this](THeartBeat&) { Guarded([this] { Tick(); }); });
        FRegistered = true;
    }
}

void TfrmPlayer::DetachPlayer() {
    if (FRegistered && GuiHeartBeat) {
        GuiHeartBeat->Remove(this, 1);
        GuiHeartBeat->Remove(this, 2);
    }
    FRegistered = false;
    if (FPlayer) frmVUMeter1->Done();
    FPlayer = nullptr;
}

TPlayerAccess TfrmPlayer::Deck() const { return TPlayerAccess(FPlayer); }

void TfrmPlayer::Tick() {
    lbDisplay->Tick();
    Refresh();
}

void TfrmPlayer::RefreshVU() {
    double left = 0, right = 0;
    if (!Deck().Levels(left, right)) return;
    frmVUMeter1->SetLevels(1, right, left);
}

void TfrmPlayer::ShowText(const std::string& Text) {
    const QString t = QString::fromStdString(Text);
    lbDisplay->SetCaption(t);
    lbDisplay->setToolTip(t);
}

void TfrmPlayer::ShowStatus(const std::string& Text) {
    ShowText(Text);
    FStatus = Text;
}

void TfrmPlayer::SetAuxMode() {
    btNext->hide();
    btBeatMatch->hide();
    btFadeout->setToolTip("Fade to end");
    btLoop->show();
    FShownLoop = -1;
}

void TfrmPlayer::SetEditorMode() {
    FEditorMode = true;
    btEject->setEnabled(false);
    btNext->hide();
    btBeatMatch->hide();
    btLoop->hide();
    imAlbum->setCursor(Qt::ArrowCursor);
    imAlbum->setToolTip("Album cover");
    btFadeout->setToolTip("Fade to end");
    btEject->setToolTip("Eject (Disabled)");
}

void TfrmPlayer::Refresh() {
    if (!FPlayer) return;
    TPlayerAccess p = Deck();
    FNow.Volume = p.Volume();
    FNow.Pitch = p.Pitch();
    FNow.Tempo = p.Tempo();
    FNow.MixMode = p.MixMode();
    FNow.State = static_cast<int>(p.State());
    FNow.Settings = p.SongSettings();
    FNow.BPM = p.EffectiveBPM();
    FNow.Rate = p.Rate();
    FNow.Bitrate = p.Bitrate();
    FNow.Channels = p.Channels();
    FNow.Seekable = p.Seekable();
    FNow.Buffer = p.BufferPercent();
    FNow.Loop = p.Loop();

    if (ISongInfoPtr song = p.Song()) {
        const std::string key = std::to_string(song->GetID()) + UpperAscii(song->GetFilename());
        if (key != FSongKey) {
            FSongKey = key;
            SongChanged(song);
        }
    } else if (!FSongKey.empty()) {
        FSongKey.clear();
        SongChanged(nullptr);
    }

    if (FNow.Buffer != FShownBuffer) {
        FShownBuffer = FNow.Buffer;
        ShowStatus(Format("Buffering (%d%%)", FNow.Buffer));
    }

    const std::string streamTitle = p.StreamTitle();
    if (!streamTitle.empty()) FTitle = streamTitle;

    const int64_t now = GetClock().MsSinceStart();
    if (FStatus.empty()) {
        if (FTitle != FTitleShown || lbDisplay->Caption() != QString::fromStdString(FTitle)) {
            FTitleShown = FTitle;
            ShowText(FTitle);
        }
    } else if (FStatus != FStatusShown) {
        FStatusShown = FStatus;
        FStatusSince = now;
        ShowText(FStatus);
    } else if (now - FStatusSince > StatusMs) {
        FStatus.clear();
        FStatusShown.clear();
        ShowText(FTitleShown);
    }

    FNow.Duration = p.Duration();
    FNow.Position = FSliderMode == SliderMode::Dragging ? tbPosition->Position() : p.Position();

    RefreshControlMode();
    RefreshMixButtons();
    RefreshPositionRange();
    RefreshLoop();
    RefreshState();
    RefreshTimes();
    RefreshTrackBar();
}

void TfrmPlayer::SetTrackBarSilently(int Position) {
    FTrackGuard = true;
    eTrackBar->SetPosition(Position);
    FTrackGuard = false;
}

void TfrmPlayer::RefreshControlMode() {
    if (FControl == FShownControl) return;
    FShownControl = FControl;
    FTrackGuard = true;
    const int barTop = eTrackBar->y();
    const int barHeight = eTrackBar->height();
    int zeroTop;
    if (FControl == DeckControl::Volume) {
        lbTrackBar->setText("Volume");
        eTrackBar->SetMinValue(0);
        eTrackBar->SetMaxValue(VolumeRange);
        eTrackBar->SetFrequency(25);
        eTrackBar->SetPosition(FNow.Volume);
        FShownValue = FNow.Volume;
        zeroTop =
            static_cast<int>(std::lround((1 - 255.0 / VolumeRange) * barHeight)) + barTop - btZero->height() / 2 + 4;
    } else {
        const bool pitch = FControl == DeckControl::Pitch;
        lbTrackBar->setText(pitch ? "Pitch" : "Tempo");
        eTrackBar->SetMinValue(-25);
        eTrackBar->SetMaxValue(25);
        eTrackBar->SetFrequency(2);
        FShownValue = pitch ? FNow.Pitch : FNow.Tempo;
        eTrackBar->SetPosition(FShownValue);
        zeroTop = barTop + barHeight / 2 - btZero->height() / 2;
    }
    FTrackGuard = false;
    btZero->move(btZero->x(), zeroTop);
    SetLit(btVolume, FControl == DeckControl::Volume);
    SetLit(btPitch, FControl == DeckControl::Pitch);
    SetLit(btTempo, FControl == DeckControl::Tempo);
}

void TfrmPlayer::RefreshTrackBar() {
    if (FTrackDragging) return;
    const int value = FControl == DeckControl::Volume  ? FNow.Volume
                      : FControl == DeckControl::Pitch ? FNow.Pitch
                                                       : FNow.Tempo;
    if (value == FShownValue) return;
    FShownValue = value;
    SetTrackBarSilently(value);
}

void TfrmPlayer::ShowPlayOrPause(bool Playing) {
    btPause->setVisible(Playing);
    btPlay->setVisible(!Playing);
}

void TfrmPlayer::RefreshMixButtons() {
    if (FNow.MixMode == FShownMix) return;
    FShownMix = FNow.MixMode;
    SetLit(btAir, FNow.MixMode & ChannelMix::OnAir);
    SetLit(btCue, FNow.MixMode & ChannelMix::Preview);
    if (!FPlayPressed) ShowPlayOrPause(FNow.MixMode & ChannelMix::Playing);
}

void TfrmPlayer::RefreshPositionRange() {
    if (FNow.Duration == FShownDuration && FNow.Position == FShownPosition) return;
    if (FSliderMode != SliderMode::NoDuration && FSliderMode != SliderMode::Normal) return;
    FShownDuration = FNow.Duration;
    FShownPosition = FNow.Position;
    FSliderMode = SliderMode::Refreshing;
    if (FNow.Duration < 1) {
        tbPosition->setEnabled(false);
        tbPosition->SetPosition(0);
        FSliderReturn = SliderMode::NoDuration;
    } else {
        tbPosition->setEnabled(FNow.Seekable);
        const int duration = static_cast<int>(std::min<int64_t>(FNow.Duration, INT32_MAX));
        tbPosition->SetMaxValue(duration);
        tbPosition->SetPosition(static_cast<int>(std::clamp<int64_t>(FNow.Position, 0, duration)));
        FSliderReturn = SliderMode::Normal;
    }
    FSliderMode = FSliderReturn;
}

void TfrmPlayer::RefreshLoop() {
    if (btLoop->isHidden()) return;
    if (int(FNow.Loop) == FShownLoop) return;
    FShownLoop = FNow.Loop;
    SetLit(btLoop, FNow.Loop);
}

void TfrmPlayer::RefreshState() {
    if (FNow.State == FShownState) return;
    FShownState = FNow.State;
    const bool active = FNow.State != PhaseEmpty;
    if (FNow.State == PhasePlaying) {
        tbPosition->SetPalette(TKcPalette(clTeal, clAqua));
    } else if (FNow.State == PhaseReady) {
        tbPosition->SetPalette(TKcPalette(clGreen, clLime));
    } else {
        tbPosition->SetPalette(TKcPalette(clGray, clSilver));
        // Only the display: the title ("Deck empty" after an unload) returns at the next refresh.
        if (FStatus.empty()) ShowText("Deck idle...");
        tbPosition->setEnabled(false);
        FSliderMode = SliderMode::Refreshing;
        tbPosition->SetPosition(0);
        FSliderMode = FSliderReturn;
        for (QLabel* l : {lbCurrent, lbDuration, lbRemaining, lbIntroTime}) SetLabel(l, ":");
        SetLabel(lbIntro, "Intro");
        for (QLabel* l : {lbKhz, lbKbs, lbStereo, lbBPM}) SetLabel(l, "");
        ShowPlayOrPause(false);
    }
    btCuePoints->setEnabled(active);
    const bool clickable = active && !FEditorMode;
    imAlbum->setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (!FEditorMode) imAlbum->setToolTip(clickable ? AlbumHint : "");
    btFadeout->setEnabled(active);
    btBeatMatch->setEnabled(active);
    btEject->setEnabled(active && !FEditorMode);
}

void TfrmPlayer::RefreshTimes() {
    if (FNow.State != PhasePlaying && FNow.State != PhaseReady) return;
    const int64_t pos = FNow.Position, dur = FNow.Duration;
    SetLabel(lbCurrent, FormatTimeMs(3, pos));
    SetLabel(lbDuration, FormatTimeMs(3, dur));
    SetLabel(lbRemaining, FormatTimeMs(3, pos - dur));
    const int64_t intro = FNow.Settings.Intro, outro = FNow.Settings.Outro;
    if (intro < pos && pos <= outro && outro > 0) {
        SetLabel(lbIntro, "Outro");
        SetLabel(lbIntroTime, FormatTimeMs(3, pos - outro));
    } else if (intro > 0 && intro >= pos) {
        SetLabel(lbIntro, "Intro");
        SetLabel(lbIntroTime, FormatTimeMs(3, pos - intro));
    } else {
        SetLabel(lbIntroTime, ":");
    }
    SetLabel(lbKhz, Format("%0.1f", FNow.Rate / 1000.0));
    SetLabel(lbKbs, Format("%d", FNow.Bitrate));
    SetLabel(lbStereo, FNow.Channels == 0 ? "" : FNow.Channels == 1 ? "Mono" : FNow.Channels == 2 ? "Stereo" : "Multi");
    SetLabel(lbBPM, FNow.BPM > 45 ? Format("%0.1f", FNow.BPM) : "");
}

// --- commands ---

void TfrmPlayer::PlayDown(bool Shift) {
    if (!FPlayer) return;
    FPlayPressed = true;
    if (Deck().State() == TDeckPhase::Empty)
        if (TKelvarApi* api = ProgramKelvarApi()) api->QueueNext(FPlayer);
    if (Shift) {
        Deck().FadeInAndPlay();
        ShowStatus("Fade to play");
    } else {
        Deck().Play();
        ShowStatus("Play started");
    }
    Refresh();
}

void TfrmPlayer::PauseDown(bool Shift) {
    if (!FPlayer) return;
    FPlayPressed = true;
    if (Shift) {
        Deck().FadeOutAndPause();
        ShowStatus("Fade to pause");
    } else {
        Deck().Pause();
        ShowStatus("Paused");
    }
    Refresh();
}

void TfrmPlayer::PlayPauseUp() {
    FPlayPressed = false;
    FShownMix = -1;
    Refresh();
}

void TfrmPlayer::StopDown(bool Shift) {
    if (!FPlayer) return;
    if (Shift) {
        Deck().FadeOutAndPause();
        ShowStatus("Fade to pause");
    } else {
        Deck().Pause();
        Deck().Seek(0);
        ShowStatus("Stopped");
    }
    Refresh();
}

void TfrmPlayer::NextDown(bool Shift) {
    if (!FPlayer) return;
    if (Shift)
        Deck().FadeToNext();
    else if (TKelvarApi* api = ProgramKelvarApi())
        api->QueueNextAndPlay(FPlayer);
}

void TfrmPlayer::EjectClick() { Deck().Unload(); }

void TfrmPlayer::FadeoutClick() {
    if (!FPlayer) return;
    Deck().SetLoop(false);
    Deck().FadeToNext();
}

void TfrmPlayer::EQClick() {
    if (FPlayer && ShowAudioSettingsHook) ShowAudioSettingsHook(FPlayer, "EQ");
    Refresh();
}

void TfrmPlayer::AirClick() {
    if (!Deck().ToggleMix(ChannelMix::OnAir)) return;
    ShowStatus(Deck().MixMode() & ChannelMix::OnAir ? "On-Air output active" : "On-Air output disabled");
    Refresh();
}

void TfrmPlayer::CueClick() {
    if (!Deck().ToggleMix(ChannelMix::Preview)) return;
    ShowStatus(Deck().MixMode() & ChannelMix::Preview ? "Preview output active" : "Preview output disabled");
    Refresh();
}

void TfrmPlayer::SelectControl(int Control) {
    FControl = Control;
    static const char* const Texts[] = {"Volume control selected", "Pitch control selected", "Tempo control selected"};
    ShowStatus(Texts[Control]);
    Refresh();
}

void TfrmPlayer::ZeroClick() {
    if (!FPlayer) return;
    if (FControl == DeckControl::Volume) {
        Deck().SetVolume(255);
        ShowStatus("Volume: 0.0 dB");
    } else if (FControl == DeckControl::Pitch) {
        Deck().SetPitch(0);
        ShowStatus("Pitch: 0.0%");
    } else {
        Deck().SetTempo(0);
        ShowStatus("Tempo: 0.0%");
    }
    Refresh();
}

void TfrmPlayer::BeatMatchClick() {
    if (!FPlayer) return;
    FControl = DeckControl::Tempo;
    if (TKelvarApi* api = ProgramKelvarApi()) {
        TKelvarPlayer* a = api->DeckPlayer(TDeckId::DeckA);
        TKelvarPlayer* other = FPlayer == a ? api->DeckPlayer(TDeckId::DeckB) : a;
        if (other) Deck().SyncTempo(TPlayerAccess(other).EffectiveBPM());
    }
    ShowStatus("Beat matched with deck");
    Refresh();
}

void TfrmPlayer::LoopClick() {
    if (FPlayer) Deck().SetLoop(!Deck().Loop());
}

void TfrmPlayer::TrackBarChange() {
    if (FTrackGuard || !FPlayer) return;
    int pos = eTrackBar->Position();
    if (FControl == DeckControl::Volume) {
        if (pos >= 251 && pos <= 259) pos = 255;
        Deck().SetVolume(pos);
        const double db = LinearToDb100(pos / 255.0 * 100);
        ShowStatus(Format("Volume: %s%0.1f dB", db > 0 ? "+" : "", db));
    } else {
        if (pos >= -1 && pos <= 1) pos = 0;
        const bool pitch = FControl == DeckControl::Pitch;
        if (pitch)
            Deck().SetPitch(pos);
        else
            Deck().SetTempo(pos);
        ShowStatus(Format(pitch ? "Pitch: %s%0.1f%%" : "Tempo: %s%0.1f%%", pos > 0 ? "+" : "", double(pos)));
    }
    Refresh();
}

void TfrmPlayer::PositionDown() {
    if (FSliderMode == SliderMode::Dragging) return;
    FSliderReturn = FSliderMode;
    FSliderMode = SliderMode::Dragging;
}

void TfrmPlayer::PositionUp() {
    if (FSliderMode != SliderMode::Dragging) return;
    FSliderMode = FSliderReturn;
    if (FSliderMode == SliderMode::Normal && FPlayer) Deck().Seek(tbPosition->Position());
    Refresh();
}

void TfrmPlayer::PositionChange() {
    if (FSliderMode == SliderMode::Refreshing) return;
    const int64_t pos = tbPosition->Position();
    const double percent = FNow.Duration > 0 ? pos * 100.0 / FNow.Duration : 0;
    ShowStatus(Format("Seeking: %s (%0.1f%%)", FormatTimeMs(3, pos).c_str(), percent));
}

void TfrmPlayer::AddCuePointEntry(const std::string& Name, int64_t Time) {
    if (Time == 0 || Time == -1) return;
    const int64_t duration = Deck().Duration();
    if (Time < 0) Time += duration;
    // A cue that resolves before the start or past the end is no place to seek to.
    if (Time < 0 || (duration > 0 && Time > duration) || (duration <= 0 && Time < 0)) return;
    QAction* a =
        puCuePoints->addAction(QString::fromStdString(Format("%s (%s)", Name.c_str(), FormatTimeMs(3, Time).c_str())));
    a->setData(QVariant::fromValue<qint64>(Time));
    connect(a, &QAction::triggered, this, [this, Time] {
        Guarded([&] {
            if (FPlayer) Deck().Seek(Time);
        });
    });
}

void TfrmPlayer::BuildCuePointMenu() {
    puCuePoints->clear();
    const TSongSettings& s = FNow.Settings;
    AddCuePointEntry("Start", s.Start);
    AddCuePointEntry("End", s.End);
    AddCuePointEntry("Intro", s.Intro);
    AddCuePointEntry("Outro", s.Outro);
    AddCuePointEntry("Fade", s.Fade);
    AddCuePointEntry("XFade", s.XFade);
    for (const TCuePoint& cue : s.CuePoints) AddCuePointEntry(cue.Name, cue.Time);
    if (puCuePoints->actions().isEmpty()) AddCuePointEntry("Start", 1);
}

void TfrmPlayer::CuePointsClick() {
    BuildCuePointMenu();
    puCuePoints->popup(btCuePoints->mapToGlobal(btCuePoints->rect().bottomLeft()));
}

void TfrmPlayer::AlbumClick() {
    if (FEditorMode || !FPlayer) return;
    ISongInfoPtr song = Deck().Song();
    if (!song) return;
    IDatasetPtr data = OpenSongForEdit(song->GetID());
    if (!data || !EditSongsHook || !EditSongsHook(data)) return;
    ISongInfoPtr fresh = SongOfRow(*data);
    if (Deck().State() == TDeckPhase::Empty) return;
    ISongInfoPtr now = Deck().Song();
    if (now && now->GetID() == song->GetID()) SongChanged(fresh);
}

void TfrmPlayer::SongChanged(const ISongInfoPtr& Song) {
    FTitle = Song ? JoinArtistTitleTrimmed(Song->GetArtist(), Song->GetTitle()) : "Deck empty";
    if (!Song) {
        ShowIcon();
        return;
    }
    const std::string picture = Song->GetValue("picture");
    TKelvarApi* api = ProgramKelvarApi();
    if (!picture.empty())
        ShowPicture((api ? api->PictureFolder() : std::string()) + picture);
    else
        ShowIcon();
}

void TfrmPlayer::ShowPicture(const std::string& Path) {
    if (Path == FPictureShown) return;
    try {
        FPictureShown = Path;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(Path, ec)) {
            ShowIcon();
            return;
        }
        QImageReader reader(QString::fromStdString(Path));
        reader.setAutoTransform(true);
        // First frame only: an animated picture stands still.
        const QImage image = reader.read();
        if (image.isNull()) {
            std::string error = reader.errorString().toStdString();
            if (TKelvarApi* api = ProgramKelvarApi())
                api->Log(Format("%s (%s)", error.c_str(), Path.c_str()), "DECK", 1);
            imAlbum->clear();
            return;
        }
        imAlbum->setScaledContents(true);
        imAlbum->setAutoFillBackground(true);
        imAlbum->setPixmap(
            QPixmap::fromImage(image.scaled(imAlbum->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    } catch (...) {}
}

void TfrmPlayer::ShowIcon() {
    if (FPictureShown == IconMarker) return;
    try {
        FPictureShown = IconMarker;
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull()) icon = KcProgramIcon();
        imAlbum->setScaledContents(false);
        imAlbum->setAutoFillBackground(false);
        imAlbum->setAlignment(Qt::AlignCenter);
        imAlbum->setPixmap(icon.pixmap(32, 32));
    } catch (...) {}
}

// --- events ---

bool TfrmPlayer::eventFilter(QObject* Watched, QEvent* Event) {
    switch (Event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            if (static_cast<QMouseEvent*>(Event)->button() != Qt::LeftButton) break;
            const bool shift = ShiftIn(Event);
            if (Watched == btPlay)
                Guarded([&] { PlayDown(shift); });
            else if (Watched == btPause)
                Guarded([&] { PauseDown(shift); });
            else if (Watched == btStop)
                Guarded([&] { StopDown(shift); });
            else if (Watched == btNext)
                Guarded([&] { NextDown(shift); });
            else if (Watched == eTrackBar)
                FTrackDragging = true;
            else if (Watched == tbPosition && tbPosition->isEnabled())
                PositionDown();
            else if (Watched == imAlbum)
                Guarded([&] { AlbumClick(); });
            break;
        }
        case QEvent::MouseButtonRelease: {
            if (static_cast<QMouseEvent*>(Event)->button() != Qt::LeftButton) break;
            if (Watched == btPlay || Watched == btPause) {
                // Let the button see its release first so that it is drawn up again.
                QMetaObject::invokeMethod(
                    this, [this] { Guarded([this] { PlayPauseUp(); }); }, Qt::QueuedConnection);
            } else if (Watched == eTrackBar) {
                FTrackDragging = false;
            } else if (Watched == tbPosition) {
                QMetaObject::invokeMethod(
                    this, [this] { Guarded([this] { PositionUp(); }); }, Qt::QueuedConnection);
            }
            break;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(Event);
            const bool press =
                (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !key->isAutoRepeat();
            const bool shift = ShiftIn(Event);
            if (press && Watched == btPlay) {
                Guarded([&] { PlayDown(shift); });
                return true;
            }
            if (press && Watched == btPause) {
                Guarded([&] { PauseDown(shift); });
                return true;
            }
            if (press && Watched == btStop) {
                Guarded([&] { StopDown(shift); });
                return true;
            }
            if (press && Watched == btNext) {
                Guarded([&] { NextDown(shift); });
                return true;
            }
            // The slider's keys move it like a drag; the release seeks.
            if (Watched == tbPosition && tbPosition->isEnabled()) PositionDown();
            break;
        }
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(Event);
            if (key->isAutoRepeat()) break;
            if (Watched == btPlay || Watched == btPause) {
                if (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                    Guarded([this] { PlayPauseUp(); });
                    return true;
                }
            } else if (Watched == tbPosition) {
                Guarded([this] { PositionUp(); });
            }
            break;
        }
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(Event);
            if (AcceptsDrag(drag->source()))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(Event);
            if (!AcceptsDrag(drop->source())) return true;
            drop->acceptProposedAction();
            QObject* source = drop->source();
            Guarded([&] { DropSongs(source); });
            return true;
        }
        default: break;
    }
    return QWidget::eventFilter(Watched, Event);
}

void TfrmPlayer::mousePressEvent(QMouseEvent* Event) { QWidget::mousePressEvent(Event); }

void TfrmPlayer::dragEnterEvent(QDragEnterEvent* Event) {
    if (AcceptsDrag(Event->source())) Event->acceptProposedAction();
}

void TfrmPlayer::dragMoveEvent(QDragMoveEvent* Event) {
    if (AcceptsDrag(Event->source())) Event->acceptProposedAction();
}

void TfrmPlayer::dropEvent(QDropEvent* Event) {
    if (!AcceptsDrag(Event->source())) return;
    Event->acceptProposedAction();
    QObject* source = Event->source();
    Guarded([&] { DropSongs(source); });
}

bool TfrmPlayer::AcceptsDrag(QObject* Source) const { return DeckDropSourceTag(Source) != 0; }

void TfrmPlayer::DropSongs(QObject* Source) {
    TKelvarApi* api = ProgramKelvarApi();
    if (!FPlayer || !api) return;
    DropSongsOnDeck(*api, FPlayer, Source);
    Refresh();
}

}  // namespace kelvar
