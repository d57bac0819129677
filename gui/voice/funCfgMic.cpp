#include "gui/voice/funCfgMic.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <utility>
#include <vector>

#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "core/VoiceAccess.h"
#include "foundation/UrlCoding.h"
#include "gui/editors/EditorControls.h"
#include "gui/voice/MixerProgram.h"

namespace kelvar {

namespace {

QComboBox* TimeList(QWidget* Parent, const char* Name, const char* Caption, int Left, int Top) {
    MakeEditorLabel(Parent, "", Caption, QRect(Left, Top, 50, 18));
    auto* c = new QComboBox(Parent);
    c->setObjectName(Name);
    c->setGeometry(Left, Top + 18, 56, 24);
    return c;
}

}  // namespace

TfrmCfgMic::TfrmCfgMic(QWidget* Parent)
    : QWidget(Parent),
      FRecord(MakeRecordGroup(this, QPoint(10, 38), 56)),
      FBuffer(MakeBufferGroup(this, QPoint(10, 212))),
      FDevices(FRecord.eDriverType, FRecord.eDevice) {
    setObjectName("frmCfgMic");
    setFixedSize(380, 400);
    MakeEditorLabel(this, "lbDisplay", "Display", QRect(10, 8, 60, 22));
    eDisplay = new QLineEdit("Live recording", this);
    eDisplay->setObjectName("eDisplay");
    eDisplay->setGeometry(70, 6, 300, 24);

    eDriverType = FRecord.eDriverType;
    eDevice = FRecord.eDevice;
    btMixer = FRecord.btMixer;
    eAutoVol = new QCheckBox("Automatically select volume control", FRecord.pRecord);
    eAutoVol->setObjectName("eAutoVol");
    eAutoVol->setGeometry(10, 116, 300, 20);
    eVolCtrl = new QComboBox(FRecord.pRecord);
    eVolCtrl->setObjectName("eVolCtrl");
    eVolCtrl->setGeometry(10, 138, 280, 24);

    ePackets = FBuffer.ePackets;
    ePacketTime = FBuffer.ePacketTime;
    lbPackets = FBuffer.lbPackets;
    lbPacketTime = FBuffer.lbPacketTime;
    lbLatency = FBuffer.lbLatency;

    eDuration = new QCheckBox("Limit duration", this);
    eDuration->setObjectName("eDuration");
    eDuration->setGeometry(10, 336, 200, 20);
    eHour = TimeList(this, "eHour", "Hour", 30, 356);
    eMin = TimeList(this, "eMin", "Min", 96, 356);
    eSec = TimeList(this, "eSec", "Sec", 162, 356);

    connect(eDriverType, &QComboBox::currentIndexChanged, this, [this] {
        GuardedUi([this] {
            FillDevices();
            UpdateBufferLabels();
        });
    });
    connect(eDevice, &QComboBox::currentIndexChanged, this, [this] { GuardedUi([this] { RefreshVolumeControls(); }); });
    ePackets->OnChange = [this](TKcCustomControl&) { GuardedUi([this] { UpdateBufferLabels(); }); };
    ePacketTime->OnChange = [this](TKcCustomControl&) { GuardedUi([this] { UpdateBufferLabels(); }); };
    for (QComboBox* list : {eHour, eMin, eSec})
        connect(list, &QComboBox::currentIndexChanged, this, [this] { eDuration->setChecked(true); });
    btMixer->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { RunMixerProgram(GetMixerDeviceID(), true); }); };
}

TfrmCfgMic::~TfrmCfgMic() = default;

void TfrmCfgMic::Init() {
    for (QComboBox* list : {eHour, eMin, eSec}) {
        const QSignalBlocker quiet(list);
        list->clear();
        for (int i = 0; i < 60; ++i) list->addItem(QString("%1").arg(i, 2, 10, QChar('0')));
        list->setCurrentIndex(0);
    }
    ePackets->SetMinValue(3);
    ePackets->SetMaxValue(20);
    ePacketTime->SetMinValue(5);
    ePacketTime->SetMaxValue(50);
    SetDriverType(CaptureDriver::DirectSound);
    FillDevices();
    RefreshVolumeControls();
    UpdateBufferLabels();
}

void TfrmCfgMic::Done() {}

void TfrmCfgMic::SetDisplayName(const std::string& Name) { eDisplay->setText(QString::fromStdString(Name)); }

std::string TfrmCfgMic::GetDisplayName() const { return eDisplay->text().toStdString(); }

void TfrmCfgMic::FillDevices() {
    FDevices.FillDevices();
    RefreshVolumeControls();
}

void TfrmCfgMic::FillVolumeControls(int MixerID, int Preselect) {
    const std::vector<std::string> lines = MixerSourceLines(MixerID, 1);
    const QSignalBlocker quiet(eVolCtrl);
    eVolCtrl->clear();
    for (const std::string& line : lines) eVolCtrl->addItem(QString::fromStdString(line));
    int choice = LastMicrophoneLine(lines);
    if (Preselect != -1) choice = Preselect;
    if (!lines.empty() && choice >= 0 && choice < static_cast<int>(lines.size())) eVolCtrl->setCurrentIndex(choice);
}

void TfrmCfgMic::RefreshVolumeControls() { FillVolumeControls(GetMixerDeviceID(), -1); }

void TfrmCfgMic::UpdateBufferLabels() {
    if (FGuard != 0) return;
    ++FGuard;
    kelvar::UpdateBufferLabels(FBuffer);
    --FGuard;
}

std::string TfrmCfgMic::BuildSourceAddress() const {
    std::vector<std::pair<std::string, std::string>> pairs;
    pairs.emplace_back("driver", IsKernelStreaming() ? "KS" : "DS");
    pairs.emplace_back("sounddevice", URLEncode(GetDeviceID()));
    pairs.emplace_back("packets", std::to_string(ePackets->Position()));
    pairs.emplace_back("packettime", std::to_string(ePacketTime->Position()));
    if (eAutoVol->isChecked()) {
        pairs.emplace_back("deviceID", std::to_string(GetMixerDeviceID()));
        pairs.emplace_back("volctrl", std::to_string(eVolCtrl->currentIndex()));
    }
    if (eDuration->isChecked()) {
        pairs.emplace_back("duration", eHour->currentText().toStdString() + ":" + eMin->currentText().toStdString() +
                                           ":" + eSec->currentText().toStdString());
    }
    std::string address = "mic://?";
    for (const auto& [name, value] : pairs) {
        if (QString::fromStdString(value).trimmed().isEmpty()) continue;
        address += "&" + name + "=" + value;
    }
    return address;
}

}  // namespace kelvar
