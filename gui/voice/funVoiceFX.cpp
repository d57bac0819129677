#include "gui/voice/funVoiceFX.h"

#include <QLabel>
#include <cmath>
#include <cstdio>

#include "controls/BoxButton.h"
#include "controls/KcButtons.h"
#include "controls/KcLabel.h"
#include "controls/KcTrackBar.h"
#include "core/KelvarApi.h"
#include "core/VoiceAccess.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/dButils.h"
#include "gui/audioconfig/unCfgPlayer.h"
#include "gui/decks/funVUMeterBase.h"
#include "gui/editors/EditorControls.h"
#include "gui/engine/GUIcommon.h"
#include "gui/voice/VoiceUi.h"
#include "gui/voice/unCfgVoiceFX.h"

namespace kelvar {

namespace {

constexpr TColor FrameFace = 0xDBEAEE;     // RGB 238, 234, 219
constexpr TColor RaisedFace = 0xC8D1D5;    // RGB 213, 208, 200
constexpr TColor TalkShadow = 13756397;    // #EDE7D1
constexpr TColor TalkHighlight = 4885661;  // #9D8C4A
constexpr int VolumeRange = 350;

std::string Format(const char* Fmt, auto... Args) {
    char buf[128];
    std::snprintf(buf, sizeof buf, Fmt, Args...);
    return buf;
}

// "+" only above 0 dB.
std::string DbText(const char* Prefix, int Position) {
    const double db = LinearToDb100(Position / 255.0 * 100);
    return Format("%s%s%0.1f dB", Prefix, db > 0 ? "+" : "", db);
}

QLabel* Caption(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry) {
    auto* l = new QLabel(Text, Parent);
    l->setObjectName(Name);
    QFont f = l->font();
    f.setPixelSize(10);
    f.setBold(true);
    l->setFont(f);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    l->setGeometry(Geometry);
    return l;
}

TKcPowerButton* Power(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry) {
    auto* b = new TKcPowerButton(Parent);
    b->setObjectName(Name);
    b->SetCaption(Text);
    b->SetColor(RaisedFace);
    QFont f = b->font();
    f.setPixelSize(10);
    f.setBold(true);
    b->setFont(f);
    b->SetLedWidth(8);
    b->SetLedHeight(8);
    b->setGeometry(Geometry);
    return b;
}

TKcTrackBar* VerticalBar(QWidget* Parent, const char* Name, QRect Geometry) {
    auto* b = new TKcTrackBar(Parent);
    b->setObjectName(Name);
    b->BeginLoading();
    b->SetOrientation(TKcOrientation::voVertical);
    b->SetBorderWidth(8);
    b->SetTickMarks(TKcTickMarks::tmBottomRight);
    b->EndLoading();
    b->setGeometry(Geometry);
    UseWindowGutter(*b);
    return b;
}

TBoxButton* Box(QWidget* Parent, const char* Name, const QString& Text, const QString& Hint, QRect Geometry) {
    auto* b = new TBoxButton(Text, Parent);
    b->setObjectName(Name);
    b->setToolTip(Hint);
    b->SetColor(RaisedFace);
    b->setGeometry(Geometry);
    return b;
}

// The top of a zero button of height Height beside Value of a vertical bar from Min to Max.
int ZeroTop(const TKcTrackBar* Bar, int Value, int Min, int Max, int Height) {
    const double fraction = static_cast<double>(Max - Value) / (Max - Min);
    return Bar->y() + 8 + static_cast<int>(std::lround(fraction * (Bar->height() - 16))) - Height / 2;
}

}  // namespace

TfrmVoiceFX::TfrmVoiceFX(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmVoiceFX");
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(FrameFace));
    setPalette(pal);
    BuildControls();
    setFixedSize(300, 196);
}

TfrmVoiceFX::~TfrmVoiceFX() { Done(); }

void TfrmVoiceFX::BuildControls() {
    Caption(this, "lbMic", "Mic", {4, 2, 84, 14});
    btMicOnOff = Power(this, "btMicOnOff", "Mic off", {4, 18, 84, 24});
    btTalk = MakeFlatButton(this, "btTalk", "Press to Talk", "", {4, 46, 84, 46});
    btTalk->SetFlat(false);
    btLock = Power(this, "btLock", "Lock talk", {4, 96, 84, 24});
    btAutoFade = Power(this, "btAutoFade", "Auto", {4, 124, 84, 24});

    lbTrackBar = Caption(this, "lbTrackBar", "Volume", {94, 2, 56, 14});
    eTrackBar = VerticalBar(this, "eTrackBar", {104, 18, 30, 128});
    btZero = MakeFlatButton(this, "btZero", "", "Zero", {136, 0, 14, 10});
    btVolume = MakeFlatButton(this, "btVolume", "V", "Volume control", {100, 150, 18, 18});
    btSpeed = MakeFlatButton(this, "btSpeed", "S", "Speed control", {120, 150, 18, 18});

    Caption(this, "lbMusic", "Music", {152, 2, 56, 14});
    eMusicVol = VerticalBar(this, "eMusicVol", {162, 18, 30, 128});
    eMusicVol->BeginLoading();
    eMusicVol->SetMinValue(0);
    eMusicVol->SetMaxValue(VolumeRange);
    eMusicVol->SetFrequency(25);
    eMusicVol->SetPosition(255);
    eMusicVol->EndLoading();
    btZeroMusic =
        MakeFlatButton(this, "btZeroMusic", "", "Zero", {194, ZeroTop(eMusicVol, 255, 0, VolumeRange, 10), 14, 10});

    btAir = MakeFlatButton(this, "btAir", "Air", "On-Air output", {152, 150, 28, 18});
    btCue = MakeFlatButton(this, "btCue", "Cue", "Preview output", {182, 150, 28, 18});

    pVUMeter = new QWidget(this);
    pVUMeter->setObjectName("pVUMeter");
    pVUMeter->setGeometry(214, 0, 84, 150);
    frmVUMeter1 = new TfrmVUMeterBase(pVUMeter);
    frmVUMeter1->setObjectName("frmVUMeter1");
    frmVUMeter1->setGeometry(18, 0, 48, 150);
    lbVU = new TKcLabel(pVUMeter);
    lbVU->setObjectName("lbVU");
    lbVU->SetCaption("VU data not available");
    lbVU->SetAngle(90);
    lbVU->setGeometry(26, 4, 32, 142);
    lbVU->hide();

    btConfig = Box(this, "btConfig", "Config", "", {214, 152, 40, 18});
    btEQ = Box(this, "btEQ", "EQ", "Equalizer and DSP Effects", {256, 152, 40, 18});

    lbDisplay = new QLabel("Idle...", this);
    lbDisplay->setObjectName("lbDisplay");
    lbDisplay->setFrameShape(QFrame::Panel);
    lbDisplay->setFrameShadow(QFrame::Sunken);
    lbDisplay->setGeometry(4, 174, 292, 18);

    btMicOnOff->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { MicOnOffClick(); }); };
    btTalk->OnMouseDown = [this](TKcCustomControl&, Qt::MouseButton Button, Qt::KeyboardModifiers, int, int) {
        if (Button == Qt::LeftButton) GuardedUi([this] { TalkDown(); });
    };
    btTalk->OnMouseUp = [this](TKcCustomControl&, Qt::MouseButton Button, Qt::KeyboardModifiers, int, int) {
        if (Button == Qt::LeftButton) GuardedUi([this] { TalkUp(); });
    };
    btLock->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { LockClick(); }); };
    btAutoFade->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { AutoFadeClick(); }); };
    eTrackBar->OnChange = [this](TKcCustomControl&) { GuardedUi([this] { TrackBarChange(); }); };
    eMusicVol->OnChange = [this](TKcCustomControl&) { GuardedUi([this] { MusicVolChange(); }); };
    btZero->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { ZeroClick(); }); };
    btZeroMusic->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { ZeroMusicClick(); }); };
    btVolume->OnClick = [this](TKcCustomControl&) {
        GuardedUi([this] {
            FSelected = VoiceControl::Volume;
            ShowText("Volume control selected");
            Refresh();
        });
    };
    btSpeed->OnClick = [this](TKcCustomControl&) {
        GuardedUi([this] {
            FSelected = VoiceControl::Speed;
            ShowText("Speed control selected");
            Refresh();
        });
    };
    btAir->OnClick = [this](TKcCustomControl&) {
        GuardedUi([this] { RouteClick(ChannelMix::OnAir, "On-Air output disabled", "On-Air output active"); });
    };
    btCue->OnClick = [this](TKcCustomControl&) {
        GuardedUi([this] { RouteClick(ChannelMix::Preview, "Preview output disabled", "Preview output active"); });
    };
    connect(btConfig, &QToolButton::clicked, this, [this] { GuardedUi([this] { ConfigClick(); }); });
    connect(btEQ, &QToolButton::clicked, this, [this] { GuardedUi([this] { EQClick(); }); });
}

TVoiceAccess TfrmVoiceFX::Access() const { return TVoiceAccess(FVoice); }

void TfrmVoiceFX::Init(TVoiceFX* Voice) {
    FVoice = Voice;
    ShowText("");
    if (FVoice) {
        // Every value shown counts as different, so that the first refresh sets every control.
        FShown.Mode = Access().Mode() - 1;
        FShown.MixPoint = Access().MixPoint() - 1;
        FShown.VoiceVolume = Access().VoiceVolume() - 1;
        FShown.Speed = Access().Speed() - 1;
        FShown.MusicVolume = Access().MusicVolume() - 1;
        FShown.MixFlags = 0;
        FShown.Active = !Access().Active();
        FShown.Talking = !Access().Talking();
        FShown.AutoFade = !Access().AutoFade();
        FShown.Selected = FSelected - 1;
        // The mix flags start from 0: make sure the buttons' looks are set once.
        SetPressedLook(btAir, false);
        SetPressedLook(btCue, false);
    }
    frmVUMeter1->Init();
    Refresh();
    if (GuiHeartBeat && !FRegistered) {
        GuiHeartBeat->Add(25, this, 1, [this](THeartBeat&) { GuardedUi([this] { UpdateVU(); }); });
        GuiHeartBeat->Add(30, this, 2, [this](THeartBeat&) { GuardedUi([this] { Refresh(); }); });
        FRegistered = true;
    }
}

void TfrmVoiceFX::Done() {
    if (FRegistered && GuiHeartBeat) {
        GuiHeartBeat->Remove(this, 1);
        GuiHeartBeat->Remove(this, 2);
    }
    FRegistered = false;
    if (FVoice) {
        Access().SetTalking(false);
        Access().SetActive(false);
    }
    FVoice = nullptr;
}

void TfrmVoiceFX::ShowText(const std::string& Text) { SetLabelText(lbDisplay, Text); }

void TfrmVoiceFX::SetTrackBarSilently(TKcTrackBar* Bar, int Position) {
    FTrackGuard = true;
    Bar->SetPosition(Position);
    FTrackGuard = false;
}

void TfrmVoiceFX::SetTalkLook(bool Talking) {
    btTalk->SetShadowColor(Talking ? TalkShadow : TalkHighlight);
    btTalk->SetHighlightColor(Talking ? TalkHighlight : TalkShadow);
}

void TfrmVoiceFX::SetupTrackBar() {
    FTrackGuard = true;
    int zeroTop;
    if (FSelected == VoiceControl::Speed) {
        lbTrackBar->setText("Speed");
        eTrackBar->SetMinValue(-12);
        eTrackBar->SetMaxValue(12);
        eTrackBar->SetFrequency(2);
        eTrackBar->SetPosition(FShown.Speed);
        zeroTop = ZeroTop(eTrackBar, 0, -12, 12, btZero->height());
    } else if (FShown.Mode == VoiceSource::Record) {
        lbTrackBar->setText("Volume");
        eTrackBar->SetMinValue(0);
        eTrackBar->SetMaxValue(VolumeRange);
        eTrackBar->SetFrequency(25);
        eTrackBar->SetPosition(FShown.VoiceVolume);
        zeroTop = ZeroTop(eTrackBar, 255, 0, VolumeRange, btZero->height());
    } else {
        lbTrackBar->setText("Volume");
        eTrackBar->SetMinValue(0);
        eTrackBar->SetMaxValue(100);
        eTrackBar->SetFrequency(10);
        eTrackBar->SetPosition(FShown.VoiceVolume);
        zeroTop = ZeroTop(eTrackBar, 100, 0, 100, btZero->height());
    }
    FTrackGuard = false;
    btZero->move(btZero->x(), zeroTop);
    SetPressedLook(btVolume, FSelected == VoiceControl::Volume);
    SetPressedLook(btSpeed, FSelected == VoiceControl::Speed);
}

void TfrmVoiceFX::Refresh() {
    if (!FVoice) return;
    const int mode = Access().Mode();
    const int mixPoint = Access().MixPoint();
    const int volume = Access().VoiceVolume();
    const int speed = Access().Speed();
    const int music = Access().MusicVolume();
    const bool active = Access().Active();
    const bool talking = Access().Talking();
    const bool autoFade = Access().AutoFade();
    const int flags = Access().MixMode();

    // The values the track bar is set up with.
    const int shownVolume = FShown.VoiceVolume;
    const int shownSpeed = FShown.Speed;
    FShown.VoiceVolume = volume;
    FShown.Speed = speed;

    bool setup = false;
    if (mode != FShown.Mode || mixPoint != FShown.MixPoint) {
        FShown.Mode = mode;
        FShown.MixPoint = mixPoint;
        const bool some = mode < VoiceSource::None;
        eTrackBar->setEnabled(some);
        btZero->setEnabled(some);
        btVolume->setEnabled(some);
        btSpeed->setEnabled(mode == VoiceSource::Record);
        btAir->setEnabled(mode == VoiceSource::Record && mixPoint == 0);
        btCue->setEnabled(btAir->isEnabled());
        frmVUMeter1->setVisible(mode == VoiceSource::Record);
        lbVU->setVisible(mode != VoiceSource::Record);
        if (!btSpeed->isEnabled()) FSelected = VoiceControl::Volume;
        setup = true;
    }
    if (setup || FSelected != FShown.Selected) {
        FShown.Selected = FSelected;
        SetupTrackBar();
    } else if (FSelected == VoiceControl::Volume ? volume != shownVolume : speed != shownSpeed) {
        SetTrackBarSilently(eTrackBar, FSelected == VoiceControl::Volume ? volume : speed);
    }
    if (flags != FShown.MixFlags) {
        FShown.MixFlags = flags;
        SetPressedLook(btAir, (flags & ChannelMix::OnAir) != 0);
        SetPressedLook(btCue, (flags & ChannelMix::Preview) != 0);
    }
    if (autoFade != FShown.AutoFade) {
        FShown.AutoFade = autoFade;
        btAutoFade->SetActive(autoFade);
    }
    if (active != FShown.Active) {
        FShown.Active = active;
        btMicOnOff->SetActive(active);
        btMicOnOff->SetCaption(active ? "Mic on" : "Mic off");
        btConfig->setEnabled(!active);
        btTalk->setEnabled(active);
        btLock->setEnabled(active);
    }
    if (talking != FShown.Talking) {
        FShown.Talking = talking;
        btLock->SetActive(talking);
        SetTalkLook(talking);
        btAutoFade->setEnabled(!talking);
    }
    if (music != FShown.MusicVolume) {
        FShown.MusicVolume = music;
        SetTrackBarSilently(eMusicVol, music);
    }
}

void TfrmVoiceFX::UpdateVU() {
    if (!FVoice) return;
    double left = -100, right = -100;
    if (Access().Talking()) Access().Levels(left, right);
    frmVUMeter1->SetLevels(1, right, left);
}

void TfrmVoiceFX::TrackBarChange() {
    if (FTrackGuard || !FVoice) return;
    int pos = eTrackBar->Position();
    if (FSelected == VoiceControl::Volume) {
        if (Access().Mode() == VoiceSource::Record) {
            if (pos >= 251 && pos <= 259) pos = 255;
            ShowText(DbText("Volume: ", pos));
        } else {
            ShowText(Format("Volume: %d%%", pos));
        }
        Access().SetVoiceVolume(pos);
    } else {
        if (pos >= -1 && pos <= 1) pos = 0;
        Access().SetSpeed(pos);
        ShowText(Format("Speed: %s%0.1f", pos > 0 ? "+" : "", static_cast<double>(pos)));
    }
    Refresh();
}

void TfrmVoiceFX::MusicVolChange() {
    if (FTrackGuard || !FVoice) return;
    int pos = eMusicVol->Position();
    if (pos >= 251 && pos <= 259) pos = 255;
    Access().SetMusicVolume(pos);
    ShowText(DbText("Music volume: ", pos));
    Refresh();
}

void TfrmVoiceFX::ZeroClick() {
    if (!FVoice) return;
    if (FSelected == VoiceControl::Volume) {
        Access().SetVoiceVolume(255);
        ShowText("Volume: 0.0 dB");
    } else {
        Access().SetSpeed(0);
        ShowText("Speed: 0.0");
    }
    Refresh();
}

void TfrmVoiceFX::ZeroMusicClick() {
    if (!FVoice) return;
    Access().SetMusicVolume(255);
    ShowText("Music volume: 0.0 dB");
    Refresh();
}

void TfrmVoiceFX::TalkDown() {
    if (!FVoice) return;
    if (!Access().Talking()) Access().SetTalking(true);
    Refresh();
    // With the button's own pressed bevel the swapped colours look pushed in.
    SetTalkLook(false);
}

void TfrmVoiceFX::TalkUp() {
    if (!FVoice) return;
    Access().SetTalking(false);
    Refresh();
}

void TfrmVoiceFX::LockClick() {
    if (!FVoice) return;
    Access().SetTalking(!Access().Talking());
    Refresh();
}

void TfrmVoiceFX::MicOnOffClick() {
    if (!FVoice) return;
    Access().SetActive(!Access().Active());
    Refresh();
}

void TfrmVoiceFX::AutoFadeClick() {
    if (!FVoice) return;
    // Through the voice's setter: the output thread reads the flag under the voice's lock.
    const bool was = Access().AutoFade();
    Access().SetAutoFade(!was);
    ShowText(was ? "Auto music fade disabled" : "Auto music fade active");
    Refresh();
}

void TfrmVoiceFX::RouteClick(uint8_t Flag, const char* Disabled, const char* Active) {
    if (!FVoice) return;
    const bool on = (Access().MixMode() & Flag) != 0;
    if (!Access().SetMix(Flag, !on)) return;
    ShowText(on ? Disabled : Active);
    Refresh();
}

void TfrmVoiceFX::ConfigClick() {
    if (!FVoice) return;
    auto doc = TConfigDoc_XML::Create("");
    Access().SaveConfig(*doc);
    if (VoiceFXConfigDialog(*doc)) {
        Access().SetActive(false);
        doc->SetLiveApply(false);
        Access().LoadConfig(*doc);
    }
    Refresh();
}

void TfrmVoiceFX::EQClick() {
    if (FVoice) ShowAudioSettings(TAudioObject(FVoice), "EQ", false);
}

// ---- TwiVoiceFX

TwiVoiceFX::TwiVoiceFX() : TWindowItem("VoiceFX", "Voice FX", false) {}

TwiVoiceFX::~TwiVoiceFX() {
    if (FFrame) FFrame->Done();
}

void TwiVoiceFX::Activate() {
    TWindowItem::Activate();
    FFrame = std::make_unique<TfrmVoiceFX>();
    TKelvarApi* api = ProgramKelvarApi();
    FFrame->Init(api ? api->Voice() : nullptr);
}

void TwiVoiceFX::Deactivate() {
    if (FFrame) FFrame->Done();
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiVoiceFX::GetFrame() { return FFrame.get(); }

}  // namespace kelvar
