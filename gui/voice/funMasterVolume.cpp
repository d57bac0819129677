#include "gui/voice/funMasterVolume.h"

#include <QLabel>

#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "core/KelvarApi.h"
#include "gui/editors/EditorControls.h"
#include "gui/engine/GUIcommon.h"
#include "gui/voice/VoiceUi.h"

namespace kelvar {

namespace {

constexpr TColor FrameFace = 0xDBEAEE;   // RGB 238, 234, 219
constexpr TColor RaisedFace = 0xC8D1D5;  // RGB 213, 208, 200

TKcTrackBar* VolumeBar(QWidget* Parent, const char* Name, QRect Geometry) {
    auto* b = new TKcTrackBar(Parent);
    b->setObjectName(Name);
    b->BeginLoading();
    b->SetOrientation(TKcOrientation::voVertical);
    b->SetMinValue(0);
    b->SetMaxValue(255);
    b->SetFrequency(35);
    b->SetBorderWidth(8);
    b->SetTickMarks(TKcTickMarks::tmBottomRight);
    b->SetPosition(255);
    b->EndLoading();
    b->setGeometry(Geometry);
    UseWindowGutter(*b);
    return b;
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

}  // namespace

TfrmMasterVolume::TfrmMasterVolume(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmMasterVolume");
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(FrameFace));
    setPalette(pal);
    eMainVol = VolumeBar(this, "eMainVol", {8, 4, 30, 128});
    eCueVol = VolumeBar(this, "eCueVol", {62, 4, 30, 128});
    btMainZero = MakeFlatButton(this, "btMainZero", "", "Zero", {40, 7, 14, 10});
    btCueZero = MakeFlatButton(this, "btCueZero", "", "Zero", {94, 7, 14, 10});
    btMain = Power(this, "btMain", "Air", {4, 136, 50, 22});
    btCue = Power(this, "btCue", "Cue", {58, 136, 50, 22});
    setFixedSize(112, 162);

    eMainVol->OnChange = [this](TKcCustomControl&) {
        Handler([this] { FApi->SetMainVolume(static_cast<uint8_t>(eMainVol->Position())); });
    };
    eCueVol->OnChange = [this](TKcCustomControl&) {
        Handler([this] { FApi->SetPreviewVolume(static_cast<uint8_t>(eCueVol->Position())); });
    };
    btMainZero->OnClick = [this](TKcCustomControl&) { Handler([this] { FApi->SetMainVolume(255); }); };
    btCueZero->OnClick = [this](TKcCustomControl&) { Handler([this] { FApi->SetPreviewVolume(255); }); };
    btMain->OnClick = [this](TKcCustomControl&) { Handler([this] { FApi->SetMainMute(!FApi->Levels().MainMute); }); };
    btCue->OnClick = [this](TKcCustomControl&) {
        Handler([this] { FApi->SetPreviewMute(!FApi->Levels().PreviewMute); });
    };
}

TfrmMasterVolume::~TfrmMasterVolume() { Done(); }

template <class F>
void TfrmMasterVolume::Handler(F&& Action) {
    if (FTag != 0 || !FApi) return;
    ++FTag;
    GuardedUi([&] {
        Action();
        Refresh();
    });
    --FTag;
}

void TfrmMasterVolume::Init(TKelvarApi* Api) {
    FApi = Api;
    Refresh();
    if (GuiHeartBeat && !FRegistered) {
        GuiHeartBeat->Add(300, this, 1, [this](THeartBeat&) { GuardedUi([this] { Refresh(); }); });
        FRegistered = true;
    }
}

void TfrmMasterVolume::Done() {
    if (FRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, 1);
    FRegistered = false;
    FApi = nullptr;
}

void TfrmMasterVolume::Refresh() {
    if (!FApi) return;
    const TLevelsSnapshot levels = FApi->Levels();
    eMainVol->SetPosition(levels.MainVolume);
    eCueVol->SetPosition(levels.PreviewVolume);
    btMain->SetActive(!levels.MainMute);
    btCue->SetActive(!levels.PreviewMute);
    eCueVol->setEnabled(levels.PreviewOwnDevice);
    btCue->setEnabled(eCueVol->isEnabled());
    btCueZero->setEnabled(eCueVol->isEnabled());
}

// ---- TwiMasterVolume

TwiMasterVolume::TwiMasterVolume() : TWindowItem("MasterVolume", "Volume", false) {}

TwiMasterVolume::~TwiMasterVolume() {
    if (FFrame) FFrame->Done();
}

void TwiMasterVolume::Activate() {
    TWindowItem::Activate();
    FFrame = std::make_unique<TfrmMasterVolume>();
    FFrame->Init(ProgramKelvarApi());
}

void TwiMasterVolume::Deactivate() {
    if (FFrame) FFrame->Done();
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiMasterVolume::GetFrame() { return FFrame.get(); }

}  // namespace kelvar
