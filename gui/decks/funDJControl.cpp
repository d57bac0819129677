#include "gui/decks/funDJControl.h"

#include <QLabel>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "controls/BoxButton.h"
#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "controls/KcUpDown.h"
#include "core/KelvarApi.h"
#include "core/PlayerAccess.h"
#include "foundation/Logger.h"
#include "gui/engine/GUIcommon.h"

namespace kelvar {

namespace {

constexpr TColor FrameFace = 0xDBEAEE;  // RGB 238, 234, 219
constexpr TColor ButtonFace = 0xC8D1D5;

QLabel* Caption(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry, bool Bold = true,
                Qt::Alignment Align = Qt::AlignLeft) {
    auto* l = new QLabel(Text, Parent);
    l->setObjectName(Name);
    QFont f = l->font();
    f.setPixelSize(10);
    f.setBold(Bold);
    l->setFont(f);
    l->setAlignment(Align | Qt::AlignVCenter);
    l->setGeometry(Geometry);
    return l;
}

TKcTrackBar* Bar(QWidget* Parent, const char* Name, int Min, int Max, int Ticks, TKcOrientation Orientation,
                 QRect Geometry) {
    auto* b = new TKcTrackBar(Parent);
    b->setObjectName(Name);
    b->BeginLoading();
    b->SetOrientation(Orientation);
    b->SetMinValue(Min);
    b->SetMaxValue(Max);
    b->SetFrequency(Ticks);
    b->SetBorderWidth(8);
    b->SetTickMarks(TKcTickMarks::tmBottomRight);
    b->SetPosition(0);
    b->EndLoading();
    b->setGeometry(Geometry);
    UseWindowGutter(*b);
    return b;
}

TKcDemoButton* Button(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry) {
    auto* b = new TKcDemoButton(Parent);
    b->setObjectName(Name);
    b->SetCaption(Text);
    b->SetFlat(true);
    b->SetColor(ButtonFace);
    QFont f = b->font();
    f.setPixelSize(9);
    f.setBold(true);
    SetDemoFont(*b, f);
    b->setGeometry(Geometry);
    return b;
}

int Percent(int Volume, int Percent) { return static_cast<int>(std::lround(Volume * Percent / 100.0)); }

std::string Format(const char* Fmt, double Value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, Fmt, Value);
    return buf;
}

}  // namespace

template <class F>
void TfrmDJControl::Guarded(F&& Action) {
    try {
        Action();
    } catch (const std::exception& e) {
        if (auto log = GetCoreLogger()) log->Log(std::string("Unhandled exception (") + e.what() + ")", "GUI", 0);
    }
}

TfrmDJControl::TfrmDJControl(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmDJControl");
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(FrameFace));
    setPalette(pal);
    BuildControls();
    resize(343, 178);
}

TfrmDJControl::~TfrmDJControl() { DetachCore(); }

void TfrmDJControl::BuildControls() {
    const auto H = TKcOrientation::voHorizontal;
    Caption(this, "lbXFade", "Manual Crossfade", {6, 2, 150, 13});
    eXFade = Bar(this, "eXFade", -100, 100, 20, H, {4, 15, 156, 26});
    btFadeToNext = new TBoxButton("Auto", this);
    btFadeToNext->setObjectName("btFadeToNext");
    btFadeToNext->SetColor(ButtonFace);
    btFadeToNext->setGeometry(164, 17, 40, 22);

    Caption(this, "lbBeatXFade", "Smooth Beat Fade", {6, 45, 150, 13});
    eBeatXFade = Bar(this, "eBeatXFade", 0, 100, 10, H, {4, 58, 156, 26});
    btXBeat1 = Button(this, "btXBeat1", "0", {164, 60, 16, 20});
    btXBeat2 = Button(this, "btXBeat2", "100", {181, 60, 23, 20});

    Caption(this, "lbBeatFade", "Beat Fade", {6, 88, 150, 13});
    eBeatFade = Bar(this, "eBeatFade", -100, 100, 20, H, {4, 101, 156, 26});
    btBeat1 = Button(this, "btBeat1", "A", {164, 103, 13, 20});
    btBeat2 = Button(this, "btBeat2", "0", {178, 103, 13, 20});
    btBeat3 = Button(this, "btBeat3", "B", {192, 103, 13, 20});

    Caption(this, "lbFade", "Manual Fade", {6, 131, 150, 13});
    eFade = Bar(this, "eFade", -100, 100, 20, H, {4, 144, 156, 26});
    KcDemoButton1 = Button(this, "KcDemoButton1", "0", {164, 146, 40, 20});

    const auto V = TKcOrientation::voVertical;
    Caption(this, "lbDeckA", "Deck A", {210, 2, 62, 13}, true, Qt::AlignHCenter);
    Caption(this, "lbDeckB", "Deck B", {276, 2, 62, 13}, true, Qt::AlignHCenter);
    eTempoA = Bar(this, "eTempoA", -25, 25, 5, V, {214, 16, 28, 96});
    eTempoB = Bar(this, "eTempoB", -25, 25, 5, V, {280, 16, 28, 96});
    btZeroA = Button(this, "btZeroA", "0", {244, 56, 20, 16});
    btZeroB = Button(this, "btZeroB", "0", {310, 56, 20, 16});
    lbTempoA = Caption(this, "lbTempoA", "0%", {210, 114, 62, 13}, true, Qt::AlignHCenter);
    lbTempoB = Caption(this, "lbTempoB", "0%", {276, 114, 62, 13}, true, Qt::AlignHCenter);
    lbBpmA = Caption(this, "lbBpmA", "0.0 Bpm", {210, 128, 62, 13}, false, Qt::AlignHCenter);
    lbBpmB = Caption(this, "lbBpmB", "0.0 Bpm", {276, 128, 62, 13}, false, Qt::AlignHCenter);
    btTempoA = new TKcUpDown(this);
    btTempoA->setObjectName("btTempoA");
    btTempoA->SetOrientation(H);
    btTempoA->setGeometry(221, 146, 40, 20);
    btTempoB = new TKcUpDown(this);
    btTempoB->setObjectName("btTempoB");
    btTempoB->SetOrientation(H);
    btTempoB->setGeometry(287, 146, 40, 20);

    eXFade->installEventFilter(this);
    eXFade->OnChange = [this](TKcCustomControl&) { Guarded([this] { XFadeChange(); }); };
    eBeatXFade->OnChange = [this](TKcCustomControl&) { Guarded([this] { BeatXFadeChange(); }); };
    eBeatFade->OnChange = [this](TKcCustomControl&) { Guarded([this] { BeatFadeChange(); }); };
    eFade->OnChange = [this](TKcCustomControl&) { Guarded([this] { FadeChange(); }); };
    connect(btFadeToNext, &QToolButton::clicked, this, [this] {
        Guarded([this] {
            if (FApi) FApi->PlayNext(true);
        });
    });
    btXBeat1->OnClick = [this](TKcCustomControl&) { eBeatXFade->SetPosition(0); };
    btXBeat2->OnClick = [this](TKcCustomControl&) { eBeatXFade->SetPosition(100); };
    btBeat1->OnClick = [this](TKcCustomControl&) { eBeatFade->SetPosition(-100); };
    btBeat2->OnClick = [this](TKcCustomControl&) { eBeatFade->SetPosition(0); };
    btBeat3->OnClick = [this](TKcCustomControl&) { eBeatFade->SetPosition(100); };
    KcDemoButton1->OnClick = [this](TKcCustomControl&) { eFade->SetPosition(0); };

    auto deckA = [this] { return DeckA(); };
    auto deckB = [this] { return DeckB(); };
    eTempoA->OnChange = [=, this](TKcCustomControl&) { Guarded([&] { SetDeckTempo(deckA(), eTempoA->Position()); }); };
    eTempoB->OnChange = [=, this](TKcCustomControl&) { Guarded([&] { SetDeckTempo(deckB(), eTempoB->Position()); }); };
    btZeroA->OnClick = [=, this](TKcCustomControl&) { Guarded([&] { SetDeckTempo(deckA(), 0); }); };
    btZeroB->OnClick = [=, this](TKcCustomControl&) { Guarded([&] { SetDeckTempo(deckB(), 0); }); };
    btTempoA->OnUpClick = [=, this](TKcCustomControl&) { Guarded([&] { NudgeTempo(deckA(), -1); }); };
    btTempoA->OnDownClick = [=, this](TKcCustomControl&) { Guarded([&] { NudgeTempo(deckA(), +1); }); };
    btTempoB->OnUpClick = [=, this](TKcCustomControl&) { Guarded([&] { NudgeTempo(deckB(), -1); }); };
    btTempoB->OnDownClick = [=, this](TKcCustomControl&) { Guarded([&] { NudgeTempo(deckB(), +1); }); };
}

TKelvarPlayer* TfrmDJControl::DeckA() const { return FApi ? FApi->DeckPlayer(TDeckId::DeckA) : nullptr; }
TKelvarPlayer* TfrmDJControl::DeckB() const { return FApi ? FApi->DeckPlayer(TDeckId::DeckB) : nullptr; }
TPlayerAccess TfrmDJControl::Deck(TKelvarPlayer* Player) { return TPlayerAccess(Player); }

void TfrmDJControl::AttachCore() {
    FApi = ProgramKelvarApi();
    FTargetBPM = FBeatTargetA = FBeatTargetB = 0;
    FFadeVolumeA = FFadeVolumeB = 0;
    if (GuiHeartBeat && !FRegistered) {
        GuiHeartBeat->Add(200, this, 1, [this](THeartBeat&) { Guarded([this] { Refresh(); }); });
        FRegistered = true;
    }
    Refresh();
}

void TfrmDJControl::DetachCore() {
    if (FRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, 1);
    FRegistered = false;
    if (FApi) Guarded([this] { RestoreFadeVolumes(); });
    FApi = nullptr;
}

void TfrmDJControl::Refresh() {
    FGuard = true;
    try {
        if (DeckA() && DeckB()) {
            const int a = Deck(DeckA()).Tempo(), b = Deck(DeckB()).Tempo();
            eTempoA->SetPosition(a);
            eTempoB->SetPosition(b);
            lbTempoA->setText(QString("%1%").arg(a));
            lbTempoB->setText(QString("%1%").arg(b));
            lbBpmA->setText(QString::fromStdString(Format("%0.1f", Deck(DeckA()).EffectiveBPM()) + " Bpm"));
            lbBpmB->setText(QString::fromStdString(Format("%0.1f", Deck(DeckB()).EffectiveBPM()) + " Bpm"));
        }
    } catch (...) {
        FGuard = false;
        throw;
    }
    FGuard = false;
}

// --- cross-fader ---

void TfrmDJControl::CaptureDecks() {
    FFrom = FApi ? FApi->PlayingDeck() : nullptr;
    if (!FFrom) return;
    FTo = FFrom == DeckA() ? DeckB() : DeckA();
    FFromVolume = std::max(Deck(FFrom).Volume(), FFromVolume);
    FToVolume = std::max(Deck(FTo).Volume(), FToVolume);
}

void TfrmDJControl::XFadeDown() {
    if (!FApi) return;
    if (!FFrom) CaptureDecks();
    for (TKelvarPlayer* deck : {DeckA(), DeckB()})
        if (deck && Deck(deck).State() == TDeckPhase::Empty) FApi->QueueNext(deck);
    if (!FFrom) CaptureDecks();
    Deck(FTo).SetVolume(0);
}

bool TfrmDJControl::CrossfadeReady() {
    if (!FFrom || !FTo) return false;
    if (Deck(FTo).State() == TDeckPhase::Ready) Deck(FTo).Play();
    return true;
}

void TfrmDJControl::XFadeChange() {
    if (FXFadeTag) return;
    int pos = eXFade->Position();
    if (pos >= -2 && pos <= 2) pos = 0;
    if (pos == 0 || !CrossfadeReady()) return;
    FXFadeTag = true;
    int from;
    if (pos > 0) {
        Deck(FTo).SetVolume(FToVolume);
        from = Percent(FFromVolume, 100 - pos);
    } else {
        const int a = pos + eXFade->MaxValue();
        Deck(FTo).SetVolume(Percent(FToVolume, 100 - a));
        from = Percent(FFromVolume, a);
    }
    Deck(FFrom).SetVolume(from);
    if (from == 0) FinishCrossfade();
    FXFadeTag = false;
}

void TfrmDJControl::FinishCrossfade() {
    if (!FFrom) return;
    TPlayerAccess from = Deck(FFrom);
    from.SetVolume(FFromVolume);
    Deck(FTo).SetVolume(FToVolume);
    from.Unload();
    FFrom = FTo = nullptr;
    FFromVolume = FToVolume = 0;
}

void TfrmDJControl::XFadeUp() {
    FinishCrossfade();
    FXFadeTag = true;
    eXFade->SetPosition(0);
    FXFadeTag = false;
}

bool TfrmDJControl::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == eXFade) {
        if (Event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton)
            Guarded([this] { XFadeDown(); });
        else if (Event->type() == QEvent::MouseButtonRelease &&
                 static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton)
            // After the track bar has taken its own release.
            QMetaObject::invokeMethod(
                this, [this] { Guarded([this] { XFadeUp(); }); }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(Watched, Event);
}

// --- tempo fades ---

double TfrmDJControl::SongBPM(TKelvarPlayer* Deck) {
    if (!Deck || TPlayerAccess(Deck).State() == TDeckPhase::Empty) return 0;
    return TPlayerAccess(Deck).SongSettings().BPM;
}

void TfrmDJControl::RampTempo(int Percent, TKelvarPlayer* Deck, double Target, double BPM) {
    if (!Deck) return;
    if (Target != 0 && BPM != 0) {
        const double tempo = std::clamp(Percent / 100.0 * (Target - BPM) / BPM * 100, -50.0, 100.0);
        TPlayerAccess(Deck).SetTempo(static_cast<int>(std::lround(tempo)));
    } else {
        TPlayerAccess(Deck).SetTempo(0);
    }
}

void TfrmDJControl::BeatXFadeChange() {
    if (!FApi) return;
    const int pos = eBeatXFade->Position();
    if (pos == 0) FTargetBPM = 0;
    const double a = SongBPM(DeckA()), b = SongBPM(DeckB());
    if (FTargetBPM == 0 && a != 0 && b != 0) FTargetBPM = (a + b) / 2;
    RampTempo(pos, DeckA(), FTargetBPM, a);
    RampTempo(pos, DeckB(), FTargetBPM, b);
    Refresh();
}

void TfrmDJControl::BeatFadeChange() {
    if (!DeckA() || !DeckB()) return;
    const int pos = eBeatFade->Position();
    const double a = SongBPM(DeckA()), b = SongBPM(DeckB());
    if (pos < 0) {
        if (FBeatTargetA == 0) FBeatTargetA = a;
        FBeatTargetB = 0;
        Deck(DeckA()).SetTempo(0);
        if (FBeatTargetA != 0 && b != 0)
            RampTempo(-pos, DeckB(), FBeatTargetA, b);
        else
            Deck(DeckA()).SetTempo(0);
    } else if (pos > 0) {
        if (FBeatTargetB == 0) FBeatTargetB = b;
        FBeatTargetA = 0;
        Deck(DeckB()).SetTempo(0);
        if (FBeatTargetB != 0 && a != 0)
            RampTempo(pos, DeckA(), FBeatTargetB, a);
        else
            Deck(DeckB()).SetTempo(0);
    } else {
        Deck(DeckA()).SetTempo(0);
        Deck(DeckB()).SetTempo(0);
        FBeatTargetA = FBeatTargetB = 0;
    }
    Refresh();
}

// --- manual fade ---

void TfrmDJControl::RestoreFadeVolumes() {
    if (FFadeVolumeA > 0 && DeckA()) Deck(DeckA()).SetVolume(FFadeVolumeA);
    if (FFadeVolumeB > 0 && DeckB()) Deck(DeckB()).SetVolume(FFadeVolumeB);
    FFadeVolumeA = FFadeVolumeB = 0;
}

void TfrmDJControl::FadeChange() {
    if (!DeckA() || !DeckB()) return;
    int pos = eFade->Position();
    if (pos >= -2 && pos <= 2) pos = 0;
    if (pos == 0) {
        RestoreFadeVolumes();
    } else if (pos < 0) {
        if (FFadeVolumeA > 0) {
            Deck(DeckA()).SetVolume(FFadeVolumeA);
            FFadeVolumeA = 0;
        }
        if (FFadeVolumeB == 0) FFadeVolumeB = Deck(DeckB()).Volume();
        Deck(DeckB()).SetVolume(Percent(FFadeVolumeB, 100 + pos));
    } else {
        if (FFadeVolumeB > 0) {
            Deck(DeckB()).SetVolume(FFadeVolumeB);
            FFadeVolumeB = 0;
        }
        if (FFadeVolumeA == 0) FFadeVolumeA = Deck(DeckA()).Volume();
        Deck(DeckA()).SetVolume(Percent(FFadeVolumeA, 100 - pos));
    }
}

// --- tempo controls ---

void TfrmDJControl::SetDeckTempo(TKelvarPlayer* Deck, int Tempo) {
    if (FGuard || !Deck) return;
    FGuard = true;
    TPlayerAccess(Deck).SetTempo(Tempo);
    Refresh();
    FGuard = false;
}

void TfrmDJControl::NudgeTempo(TKelvarPlayer* Deck, int Delta) {
    if (FGuard || !Deck) return;
    FGuard = true;
    TPlayerAccess(Deck).SetTempo(TPlayerAccess(Deck).Tempo() + Delta);
    Refresh();
    FGuard = false;
}

}  // namespace kelvar
