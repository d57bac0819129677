#include "gui/audioconfig/funDualOutput_combo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <exception>

#include "controls/FxFancyButton.h"
#include "controls/KcTrackBar.h"
#include "core/AudioSettingsAccess.h"
#include "foundation/Logger.h"
#include "gui/editors/EditorControls.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar {

namespace {

TKcTrackBar* Bar(QWidget* Parent, const char* Name, int Min, int Max, QRect Geometry) {
    auto* bar = MakeEditorTrackBar(Parent, Name, Min, Max, Geometry);
    bar->BeginLoading();
    bar->SetOrientation(TKcOrientation::voHorizontal);
    bar->SetFrequency(1);
    bar->SetTickMarks(TKcTickMarks::tmBottomRight);
    bar->EndLoading();
    return bar;
}

QComboBox* Combo(QWidget* Parent, const char* Name, QRect Geometry) {
    auto* c = new QComboBox(Parent);
    c->setObjectName(Name);
    c->setGeometry(Geometry);
    return c;
}

QRadioButton* Radio(QWidget* Parent, const char* Name, const char* Caption, QRect Geometry) {
    auto* r = new QRadioButton(Caption, Parent);
    r->setObjectName(Name);
    r->setGeometry(Geometry);
    return r;
}

}  // namespace

TfrmDualOutput_combo::TfrmDualOutput_combo(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmDualOutput_combo");
    auto* buffer = new QGroupBox("Buffer settings", this);
    buffer->setGeometry(4, 4, 480, 110);
    MakeEditorLabel(buffer, "lbPacketsMin", "3", QRect(8, 22, 40, 16), Qt::AlignRight);
    ePackets = Bar(buffer, "ePackets", 3, 20, QRect(52, 18, 260, 28));
    MakeEditorLabel(buffer, "lbPacketsMax", "20", QRect(316, 22, 40, 16));
    lbPackets = MakeEditorLabel(buffer, "lbPackets", "", QRect(360, 22, 100, 16));
    MakeEditorLabel(buffer, "lbPacketTimeMin", "5 ms", QRect(8, 52, 40, 16), Qt::AlignRight);
    ePacketTime = Bar(buffer, "ePacketTime", 5, 50, QRect(52, 48, 260, 28));
    MakeEditorLabel(buffer, "lbPacketTimeMax", "50 ms", QRect(316, 52, 40, 16));
    lbPacketTime = MakeEditorLabel(buffer, "lbPacketTime", "", QRect(360, 52, 100, 16));
    MakeEditorLabel(buffer, "lbLatencyCaption", "Maximum latency: ", QRect(52, 84, 120, 16));
    lbLatency = MakeEditorLabel(buffer, "lbLatency", "", QRect(172, 84, 100, 16));

    auto* air = new QGroupBox("Air output settings ", this);
    air->setGeometry(4, 118, 480, 100);
    MakeEditorLabel(air, "lbOutputType1", "Output driver", QRect(8, 24, 100, 18));
    eOutputType1 = Combo(air, "eOutputType1", QRect(112, 22, 250, 22));
    eOutputType1->addItems({"Silent output", "DirectSound output", "Kernel Streaming output"});
    MakeEditorLabel(air, "lbDevice1", "Output device", QRect(8, 50, 100, 18));
    eDevice1 = Combo(air, "eDevice1", QRect(112, 48, 360, 22));
    eMono = new QCheckBox("Force mono output", air);
    eMono->setObjectName("eMono");
    eMono->setGeometry(112, 74, 200, 20);

    // The four cue choices in two columns keep the page inside the audio settings window.
    auto* cue = new QGroupBox("Cue output settings", this);
    cue->setGeometry(4, 222, 480, 116);
    ePreview0 = Radio(cue, "ePreview0", "Disable cue output", QRect(8, 20, 200, 20));
    ePreview1 = Radio(cue, "ePreview1", "Right channel", QRect(8, 40, 200, 20));
    ePreview2 = Radio(cue, "ePreview2", "Rear channels", QRect(240, 20, 200, 20));
    ePreview3 = Radio(cue, "ePreview3", "Seperate sound device", QRect(240, 40, 200, 20));
    MakeEditorLabel(cue, "lbOutputType2", "Cue output driver", QRect(8, 66, 110, 18));
    eOutputType2 = Combo(cue, "eOutputType2", QRect(120, 64, 250, 22));
    eOutputType2->addItems({"DirectSound output", "Kernel Streaming output"});
    MakeEditorLabel(cue, "lbDevice2", "Cue device", QRect(8, 90, 110, 18));
    eDevice2 = Combo(cue, "eDevice2", QRect(120, 88, 350, 22));

    FxFancyButton1 = new TFxFancyButton("Apply now", this);
    FxFancyButton1->setObjectName("FxFancyButton1");
    FxFancyButton1->setGeometry(384, 342, 100, 25);
    setMinimumSize(490, 372);

    auto guarded = [](auto action) { return [action] { GuardedUi(action); }; };
    auto tracked = [this](TKcCustomControl&) {
        if (FBusy) return;
        SetChanged();
        UpdateControls();
    };
    ePackets->OnChange = tracked;
    ePacketTime->OnChange = tracked;
    for (auto* radio : {ePreview0, ePreview1, ePreview2, ePreview3})
        connect(radio, &QRadioButton::clicked, this, guarded([this] {
                    SetChanged();
                    UpdateControls();
                }));
    connect(eOutputType1, &QComboBox::activated, this, guarded([this] {
                SetChanged();
                FillMainDevices();
                UpdateControls();
                if ((ePreview1->isChecked() && !ePreview1->isEnabled()) ||
                    (ePreview2->isChecked() && !ePreview2->isEnabled()))
                    ePreview0->setChecked(true);
                UpdateControls();
            }));
    connect(eOutputType2, &QComboBox::activated, this, guarded([this] {
                SetChanged();
                FillPreviewDevices();
            }));
    connect(eDevice1, &QComboBox::activated, this, [this] { SetChanged(); });
    connect(eDevice2, &QComboBox::activated, this, [this] { SetChanged(); });
    connect(eMono, &QCheckBox::clicked, this, [this] { SetChanged(); });
    FxFancyButton1->OnClick = [this](TFxFancyButton&) { GuardedUi([this] { ApplyNow(); }); };
}

TfrmDualOutput_combo::~TfrmDualOutput_combo() = default;

void TfrmDualOutput_combo::Attach(TAudioPipe* Pipe) {
    if (FPipe || !Pipe) return;
    FPipe = Pipe;
    FDSDevices = {};
    FKSDevices = {};
    FDSFilled = false;
    FKSFilled = false;
    ++FBusy;
    const TDualOutputSettings s = TOutputAccess(*Pipe).GetSettings();
    ePackets->SetPosition(s.Packets);
    ePacketTime->SetPosition(s.PacketTime);
    eMono->setChecked(s.Mono);
    FDevice1ID = s.SoundDevice1;
    FDevice1Name = s.DeviceName1;
    FDevice2ID = s.SoundDevice2;
    FDevice2Name = s.DeviceName2;
    QRadioButton* radios[4] = {ePreview0, ePreview1, ePreview2, ePreview3};
    radios[std::min<int>(s.PreviewStyle, 3)]->setChecked(true);
    eOutputType1->setCurrentIndex(std::min<int>(s.OutputType1, 2));
    eOutputType2->setCurrentIndex(s.OutputType2 == OutputType::KernelStreaming ? 1 : 0);
    FillMainDevices();
    FillPreviewDevices();
    --FBusy;
    UpdateControls();
    FChanged = false;
}

void TfrmDualOutput_combo::Detach() {
    if (FPipe) {
        FDSDevices = {};
        FKSDevices = {};
    }
    FChanged = false;
    FPipe = nullptr;
}

const TOutputDeviceList& TfrmDualOutput_combo::Devices(int OutputType) {
    bool& filled = OutputType == OutputType::KernelStreaming ? FKSFilled : FDSFilled;
    TOutputDeviceList& list = OutputType == OutputType::KernelStreaming ? FKSDevices : FDSDevices;
    if (!filled) {
        filled = true;
        try {
            list = ListOutputDevices(OutputType);
        } catch (const std::exception& e) {
            // No sound card or no ALSA: nothing to choose, not a failure of the window.
            list = {};
            LogMessage(std::string("Unable to list the sound devices: ") + e.what(), "AUDIO", LogKind::Warning);
        }
        if (list.IDs.size() != list.Names.size()) list = {};
    }
    return list;
}

void TfrmDualOutput_combo::FillCombo(QComboBox* Target, const TOutputDeviceList& List, std::string& ID,
                                     std::string& Name) {
    for (const auto& name : List.Names) Target->addItem(QString::fromStdString(name));
    int index = -1;
    for (size_t i = 0; i < List.IDs.size() && index < 0; ++i)
        if (List.IDs[i] == ID) index = static_cast<int>(i);
    for (size_t i = 0; i < List.Names.size() && index < 0; ++i)
        if (List.Names[i] == Name) index = static_cast<int>(i);
    if (index >= 0) {
        ID = List.IDs[static_cast<size_t>(index)];
        Name = List.Names[static_cast<size_t>(index)];
    } else if (Target->count() > 0) {
        index = 0;
    }
    Target->setCurrentIndex(index);
}

void TfrmDualOutput_combo::FillMainDevices() {
    eDevice1->clear();
    const int type = eOutputType1->currentIndex();
    if (type <= OutputType::Silent) {
        eDevice1->addItem("No sound device required");
        eDevice1->setCurrentIndex(0);
        return;
    }
    FillCombo(eDevice1, Devices(type), FDevice1ID, FDevice1Name);
    eOutputType2->setCurrentIndex(type == OutputType::KernelStreaming ? 1 : 0);
    FillPreviewDevices();
}

void TfrmDualOutput_combo::FillPreviewDevices() {
    eDevice2->clear();
    const int type = eOutputType2->currentIndex() == 1 ? OutputType::KernelStreaming : OutputType::DirectSound;
    FillCombo(eDevice2, Devices(type), FDevice2ID, FDevice2Name);
}

int TfrmDualOutput_combo::PreviewStyle() const {
    if (ePreview1->isChecked()) return 1;
    if (ePreview2->isChecked()) return 2;
    if (ePreview3->isChecked()) return 3;
    return 0;
}

void TfrmDualOutput_combo::UpdateControls() {
    if (FBusy != 0) return;
    ++FBusy;
    SetLabelText(lbPacketTime, std::to_string(ePacketTime->Position()) + " ms");
    SetLabelText(lbPackets, std::to_string(ePackets->Position()));
    SetLabelText(lbLatency, std::to_string(ePackets->Position() * ePacketTime->Position()) + " ms");
    const bool device = eOutputType1->currentIndex() == OutputType::DirectSound ||
                        eOutputType1->currentIndex() == OutputType::KernelStreaming;
    ePreview1->setEnabled(device);
    ePreview2->setEnabled(device);
    const int style = PreviewStyle();
    eMono->setVisible(style == 0 || style == 3);
    eOutputType2->setEnabled(style == 3 && eOutputType1->currentIndex() == OutputType::Silent);
    eDevice2->setEnabled(style == 3);
    --FBusy;
}

bool TfrmDualOutput_combo::ApplyNow() {
    if (!FPipe || !FChanged) return true;
    TOutputAccess output(*FPipe);
    output.Close();
    TDualOutputSettings s = output.GetSettings();
    s.PacketTime = ePacketTime->Position();
    s.Packets = ePackets->Position();
    s.PreviewStyle = static_cast<uint8_t>(PreviewStyle());
    s.OutputType1 = static_cast<TOutputType>(std::max(0, eOutputType1->currentIndex()));
    s.OutputType2 = eOutputType2->currentIndex() == 1 ? OutputType::KernelStreaming : OutputType::DirectSound;
    s.Mono = eMono->isChecked();
    auto pick = [](int Type, int Index, const TOutputDeviceList& List, std::string& ID, std::string& Name) {
        ID.clear();
        Name.clear();
        if (Type == OutputType::Silent || Index < 0 || static_cast<size_t>(Index) >= List.IDs.size()) return;
        ID = List.IDs[static_cast<size_t>(Index)];
        Name = List.Names[static_cast<size_t>(Index)];
    };
    pick(s.OutputType1, eDevice1->currentIndex(),
         s.OutputType1 == OutputType::Silent ? TOutputDeviceList{} : Devices(s.OutputType1), s.SoundDevice1,
         s.DeviceName1);
    pick(s.OutputType2, eDevice2->currentIndex(), Devices(s.OutputType2), s.SoundDevice2, s.DeviceName2);
    if (output.Open(s)) {
        FChanged = false;
        return true;
    }
    int32_t code = 0;
    std::string text;
    output.GetLastError(code, text);
    LogMessage("Unable to apply the output settings: " + text, "AUDIO", LogKind::Error);
    MessageDlg("Unable to apply settings.\nError: " + text + "\n" +
                   QString::asprintf("Code: $%08x", static_cast<unsigned>(code)).toStdString() +
                   "\nMake sure that the soundcard is not being used by another application.",
               TMsgDlgType::Error, MsgButton::OK, this);
    return false;
}

}  // namespace kelvar
