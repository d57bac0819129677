#include "gui/voice/funCfgVoiceFX.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "core/VoiceAccess.h"
#include "gui/editors/EditorControls.h"
#include "gui/editors/funFade.h"
#include "gui/editors/funXFadeGraph.h"
#include "gui/voice/MixerProgram.h"

namespace kelvar {

namespace {

// The destination item of a mode and mix point; -1 when the list has none for them.
int ItemOf(int VoiceMode, int MixPoint) {
    switch (VoiceMode) {
        case VoiceSource::Record: return MixPoint == 1 ? -1 : VoiceDestination::Mixer;
        case VoiceSource::MixerLine: return VoiceDestination::Soundcard;
        case VoiceSource::None: return VoiceDestination::None;
        default: return -2;
    }
}

QGroupBox* FadeBox(QWidget* Parent, const char* Name, const char* Caption, QRect Geometry, TfrmFade*& Frame) {
    auto* box = new QGroupBox(Caption, Parent);
    box->setObjectName(Name);
    box->setGeometry(Geometry);
    Frame = new TfrmFade(box);
    Frame->move(10, 18);
    return box;
}

}  // namespace

TfrmCfgVoiceFX::TfrmCfgVoiceFX(QWidget* Parent)
    : QWidget(Parent),
      FRecord(MakeRecordGroup(this, QPoint(380, 8), 0)),
      FBuffer(MakeBufferGroup(this, QPoint(380, 124))),
      FDevices(FRecord.eDriverType, FRecord.eDevice) {
    setObjectName("frmCfgVoiceFX");
    setFixedSize(750, 556);

    eMode = new QGroupBox("Voice FX destination (Recording mode)", this);
    eMode->setObjectName("eMode");
    eMode->setGeometry(10, 8, 360, 104);
    FModeGroup = new QButtonGroup(this);
    const char* items[] = {"None (Auto fade only)", "Mixer (Record to pipeline)", "Soundcard (Skip audio pipeline)"};
    for (int i = 0; i < 3; ++i) {
        eModeItems[i] = new QRadioButton(items[i], eMode);
        eModeItems[i]->setObjectName(QString("eMode%1").arg(i));
        eModeItems[i]->setGeometry(12, 22 + i * 26, 330, 22);
        FModeGroup->addButton(eModeItems[i], i);
    }
    eModeItems[VoiceDestination::Mixer]->setChecked(true);

    eAutoFade = new QCheckBox("Automatically fade music", this);
    eAutoFade->setObjectName("eAutoFade");
    eAutoFade->setChecked(true);
    eAutoFade->setGeometry(14, 116, 300, 20);
    FadeBox(this, "pFadeOut", "Music fade out", QRect(10, 140, 360, 144), frmFadeOut);
    FadeBox(this, "pFadeIn", "Music fade in", QRect(10, 290, 360, 144), frmFadeIn);
    frmXFadeGraph1 = new TfrmXFadeGraph(this);
    frmXFadeGraph1->setGeometry(10, 442, 730, 106);
    DrawTimer = new QTimer(this);
    DrawTimer->setInterval(150);

    pRecord = FRecord.pRecord;
    eDriverType = FRecord.eDriverType;
    eDevice = FRecord.eDevice;
    btMixer = FRecord.btMixer;
    pRecordBuffer = FBuffer.pRecordBuffer;
    ePackets = FBuffer.ePackets;
    ePacketTime = FBuffer.ePacketTime;
    lbLatency = FBuffer.lbLatency;

    pPlayback = new QGroupBox("Playback device", this);
    pPlayback->setObjectName("pPlayback");
    pPlayback->setGeometry(380, 248, 360, 140);
    MakeEditorLabel(pPlayback, "lbPlaybackDevice", "Soundcard device", QRect(10, 20, 200, 20));
    ePlaybackDevice = new QComboBox(pPlayback);
    ePlaybackDevice->setObjectName("ePlaybackDevice");
    ePlaybackDevice->setGeometry(10, 40, 280, 24);
    MakeEditorLabel(pPlayback, "lbPlaybackVolCtrl", "Volume control", QRect(10, 64, 200, 20));
    ePlaybackVolCtrl = new QComboBox(pPlayback);
    ePlaybackVolCtrl->setObjectName("ePlaybackVolCtrl");
    ePlaybackVolCtrl->setGeometry(10, 84, 280, 24);
    eAutoMute = new QCheckBox("Automatically mute volume control", pPlayback);
    eAutoMute->setObjectName("eAutoMute");
    eAutoMute->setChecked(true);
    eAutoMute->setGeometry(10, 112, 300, 20);

    connect(FModeGroup, &QButtonGroup::idClicked, this,
            [this](int Item) { GuardedUi([=, this] { PickDestination(Item); }); });
    connect(DrawTimer, &QTimer::timeout, this, [this] { GuardedUi([this] { DrawTimerTimer(); }); });
    connect(eDriverType, &QComboBox::currentIndexChanged, this, [this] {
        GuardedUi([this] {
            FillDevices();
            UpdateBufferLabels();
        });
    });
    ePackets->OnChange = [this](TKcCustomControl&) { GuardedUi([this] { UpdateBufferLabels(); }); };
    ePacketTime->OnChange = [this](TKcCustomControl&) { GuardedUi([this] { UpdateBufferLabels(); }); };
    connect(ePlaybackDevice, &QComboBox::currentIndexChanged, this,
            [this](int Index) { GuardedUi([=, this] { FillPlaybackVolumeControls(Index, -1); }); });
    btMixer->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { RunMixerProgram(GetMixerIndex(), true); }); };
}

TfrmCfgVoiceFX::~TfrmCfgVoiceFX() = default;

void TfrmCfgVoiceFX::Init() {
    ePackets->SetMinValue(3);
    ePackets->SetMaxValue(20);
    ePacketTime->SetMinValue(5);
    ePacketTime->SetMaxValue(50);
    FillPlaybackDevices();

    FSettings.FadeOut = {1, 1000, 90, 2};
    FSettings.FadeIn = {1, 2000, 90, 2};
    FSettings.Fade = 0;
    FSettings.XFade = 0;
    FSettings.XFadeMode = 0;
    FSettings.XFadeLevel = 0;

    frmXFadeGraph1->Init();
    frmFadeIn->Init(true, false, FSettings, FSettings);
    frmFadeOut->Init(false, false, FSettings, FSettings);
    frmFadeIn->OnChange = [this](QWidget&) { Invalidate(); };
    frmFadeOut->OnChange = [this](QWidget&) { Invalidate(); };
    frmFadeIn->eEnabled->hide();
    frmFadeOut->eEnabled->hide();
    // One depth serves both directions: the fade-out's.
    frmFadeIn->eLevel->hide();
    frmFadeIn->lbLevel->hide();
    if (auto* caption = frmFadeIn->findChild<QLabel*>("lbLevelCaption")) caption->hide();
    Invalidate();
}

void TfrmCfgVoiceFX::LoadFrom(IConfigDoc& Doc) {
    const int mode = static_cast<int>(Doc.ReadInteger("VoiceMode", 0));
    const int mixPoint = static_cast<int>(Doc.ReadInteger("MixPoint", 0));
    eAutoFade->setChecked(Doc.ReadBool("AutoFade", eAutoFade->isChecked()));
    SetMode(mode, mixPoint);

    if (auto fade = Doc.Section("FadeOut")) FSettings.FadeOut = LoadVoiceFadeSection(*fade);
    if (auto fade = Doc.Section("FadeIn")) FSettings.FadeIn = LoadVoiceFadeSection(*fade);

    if (auto record = Doc.Section("Record")) {
        const int driver = static_cast<int>(record->ReadInteger(
            "DriverType", IsKernelStreaming() ? CaptureDriver::KernelStreaming : CaptureDriver::DirectSound));
        SetDriverType(driver);
        FDevices.PreselectID = record->ReadString("SoundDevice", FDevices.PreselectID);
        FDevices.PreselectName = record->ReadString("DeviceName", FDevices.PreselectName);
        ePackets->SetPosition(static_cast<int>(record->ReadInteger("Packets", ePackets->Position())));
        ePacketTime->SetPosition(static_cast<int>(record->ReadInteger("PacketTime", ePacketTime->Position())));
    }
    if (auto playback = Doc.Section("Playback")) {
        FStoredPlayDevice = static_cast<int>(playback->ReadInteger("PlayDeviceID", 0));
        FStoredPlayVolCtrl = static_cast<int>(playback->ReadInteger("PlayVolCtrlID", -1));
        {
            const QSignalBlocker quiet(ePlaybackDevice);
            ePlaybackDevice->setCurrentIndex(FStoredPlayDevice < ePlaybackDevice->count() ? FStoredPlayDevice : -1);
        }
        FillPlaybackVolumeControls(FStoredPlayDevice, FStoredPlayVolCtrl);
        eAutoMute->setChecked(playback->ReadBool("AutoMute", eAutoMute->isChecked()));
    }

    frmFadeIn->Init(true, false, FSettings, FSettings);
    frmFadeOut->Init(false, false, FSettings, FSettings);
    FillDevices();
    UpdateBufferLabels();
    ModeClick();
    Invalidate();
}

void TfrmCfgVoiceFX::SaveTo(IConfigDoc& Doc) {
    int mode = 0, mixPoint = 0;
    GetMode(mode, mixPoint);
    Doc.WriteInteger("VoiceMode", mode);
    Doc.WriteInteger("MixPoint", mixPoint);
    Doc.WriteBool("AutoFade", eAutoFade->isChecked());

    ReadFades();
    if (auto fade = Doc.Section("FadeOut")) SaveVoiceFadeSection(*fade, FSettings.FadeOut);
    if (auto fade = Doc.Section("FadeIn")) SaveVoiceFadeSection(*fade, FSettings.FadeIn);

    if (auto record = Doc.Section("Record")) {
        record->WriteInteger("DriverType",
                             IsKernelStreaming() ? CaptureDriver::KernelStreaming : CaptureDriver::DirectSound);
        // With nothing to choose from (no card for the driver) the stored device stays.
        if (FDevices.DeviceCount() > 0) {
            record->WriteString("SoundDevice", GetDeviceID());
            record->WriteString("DeviceName", GetDeviceName());
        }
        record->WriteInteger("Packets", ePackets->Position());
        record->WriteInteger("PacketTime", ePacketTime->Position());
    }
    if (auto playback = Doc.Section("Playback")) {
        // The same for the mixer line: a machine without cards keeps the stored choice.
        playback->WriteInteger("PlayDeviceID",
                               ePlaybackDevice->count() > 0 ? ePlaybackDevice->currentIndex() : FStoredPlayDevice);
        playback->WriteInteger("PlayVolCtrlID",
                               ePlaybackVolCtrl->count() > 0 ? ePlaybackVolCtrl->currentIndex() : FStoredPlayVolCtrl);
        playback->WriteBool("AutoMute", eAutoMute->isChecked());
    }
}

void TfrmCfgVoiceFX::Done() {
    DrawTimer->stop();
    frmFadeIn->ClearOnChange();
    frmFadeOut->ClearOnChange();
    frmXFadeGraph1->Done();
}

void TfrmCfgVoiceFX::GetMode(int& VoiceMode, int& MixPoint) const {
    if (!FModePicked) {
        VoiceMode = FStoredMode;
        MixPoint = FStoredMixPoint;
        return;
    }
    MixPoint = 0;
    switch (SelectedDestination()) {
        case VoiceDestination::None: VoiceMode = VoiceSource::None; break;
        case VoiceDestination::Soundcard: VoiceMode = VoiceSource::MixerLine; break;
        default: VoiceMode = VoiceSource::Record; break;
    }
}

void TfrmCfgVoiceFX::SetMode(int VoiceMode, int MixPoint) {
    FStoredMode = VoiceMode;
    FStoredMixPoint = MixPoint;
    FModePicked = false;
    const int item = ItemOf(VoiceMode, MixPoint);
    if (item == -2) return;
    if (item >= 0) {
        eModeItems[item]->setChecked(true);
        return;
    }
    // A destination the list no longer offers: none is shown checked.
    FModeGroup->setExclusive(false);
    for (QRadioButton* b : eModeItems) b->setChecked(false);
    FModeGroup->setExclusive(true);
}

int TfrmCfgVoiceFX::SelectedDestination() const { return FModeGroup->checkedId(); }

void TfrmCfgVoiceFX::PickDestination(int Item) {
    if (Item < 0 || Item > 2) return;
    if (!eModeItems[Item]->isChecked()) eModeItems[Item]->setChecked(true);
    FModePicked = true;
    ModeClick();
}

void TfrmCfgVoiceFX::ModeClick() {
    int mode = 0, mixPoint = 0;
    GetMode(mode, mixPoint);
    pRecord->setVisible(mode == VoiceSource::Record);
    pRecordBuffer->setVisible(mode == VoiceSource::Record);
    pPlayback->setVisible(mode == VoiceSource::MixerLine);
}

void TfrmCfgVoiceFX::FillPlaybackDevices() {
    const QSignalBlocker quiet(ePlaybackDevice);
    ePlaybackDevice->clear();
    for (const std::string& name : MixerDeviceNames()) ePlaybackDevice->addItem(QString::fromStdString(name));
    if (ePlaybackDevice->count() > 0) ePlaybackDevice->setCurrentIndex(0);
}

void TfrmCfgVoiceFX::FillPlaybackVolumeControls(int Device, int Preselect) {
    const std::vector<std::string> lines = MixerSourceLines(Device, 0);
    const QSignalBlocker quiet(ePlaybackVolCtrl);
    ePlaybackVolCtrl->clear();
    for (const std::string& line : lines) ePlaybackVolCtrl->addItem(QString::fromStdString(line));
    int choice = LastMicrophoneLine(lines);
    if (Preselect != -1) choice = Preselect;
    if (!lines.empty()) ePlaybackVolCtrl->setCurrentIndex(choice < static_cast<int>(lines.size()) ? choice : -1);
}

int TfrmCfgVoiceFX::GetMixerIndex() const {
    const QString name = QString::fromStdString(GetDeviceName());
    const int index = ePlaybackDevice->findText(name);
    return index < 0 ? 0 : index;
}

void TfrmCfgVoiceFX::ReadFades() {
    frmFadeOut->SaveTo(FSettings.FadeOut);
    frmFadeIn->SaveTo(FSettings.FadeIn);
    FSettings.FadeIn.Level = FSettings.FadeOut.Level;
}

void TfrmCfgVoiceFX::Invalidate() { DrawTimer->start(); }

void TfrmCfgVoiceFX::DrawTimerTimer() {
    DrawTimer->stop();
    ReadFades();
    frmXFadeGraph1->Draw(FSettings);
}

}  // namespace kelvar
