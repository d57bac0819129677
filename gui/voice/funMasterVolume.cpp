#include "gui/voice/funMasterVolume.h"

#include <QLabel>

#include "audio/mix/AudioPipe_imp.h"
#include "audio/mix/DualOutput_Combo.h"
#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "core/Kelvar.h"
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
        Handler([this] { FOutput->SetMainVolume(static_cast<uint8_t>(eMainVol->Position())); });
    };
    eCueVol->OnChange = [this](TKcCustomControl&) {
        Handler([this] { FOutput->SetPreviewVolume(static_cast<uint8_t>(eCueVol->Position())); });
    };
    btMainZero->OnClick = [this](TKcCustomControl&) { Handler([this] { FOutput->SetMainVolume(255); }); };
    btCueZero->OnClick = [this](TKcCustomControl&) { Handler([this] { FOutput->SetPreviewVolume(255); }); };
    btMain->OnClick = [this](TKcCustomControl&) { Handler([this] { FOutput->SetMainMute(!FOutput->GetMainMute()); }); };
    btCue->OnClick = [this](TKcCustomControl&) {
        Handler([this] { FOutput->SetPreviewMute(!FOutput->GetPreviewMute()); });
    };
}

TfrmMasterVolume::~TfrmMasterVolume() { Done(); }

template <class F>
void TfrmMasterVolume::Handler(F&& Action) {
    if (FTag != 0 || !FOutput) return;
    ++FTag;
    GuardedUi([&] {
        Action();
        Refresh();
    });
    --FTag;
}

void TfrmMasterVolume::Init(TDualOutput_Combo* Output) {
    FOutput = Output;
    Refresh();
    if (GuiHeartBeat && !FRegistered) {
        GuiHeartBeat->Add(300, this, 1, [this](THeartBeat&) { GuardedUi([this] { Refresh(); }); });
        FRegistered = true;
    }
}

void TfrmMasterVolume::Done() {
    if (FRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, 1);
    FRegistered = false;
    FOutput = nullptr;
}

void TfrmMasterVolume::Refresh() {
    if (!FOutput) return;
    eMainVol->SetPosition(FOutput->GetMainVolume());
    eCueVol->SetPosition(FOutput->GetPreviewVolume());
    btMain->SetActive(!FOutput->GetMainMute());
    btCue->SetActive(!FOutput->GetPreviewMute());
    eCueVol->setEnabled(FOutput->GetSettings().PreviewStyle == PreviewStyle::SecondDevice);
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
    FFrame->Init(GuiKelvar && GuiKelvar->AudioPipe ? &GuiKelvar->AudioPipe->GetOutput() : nullptr);
}

void TwiMasterVolume::Deactivate() {
    if (FFrame) FFrame->Done();
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiMasterVolume::GetFrame() { return FFrame.get(); }

}  // namespace kelvar
