#pragma once
// The output page: drivers, devices, buffer and cue style of the running output pair. "Apply
// now" (or closing the window with changes) closes the pair, stores the settings and reopens it.
#include <QWidget>
#include <string>

#include "core/AlsaDeviceList.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

namespace kelvar {

class TAudioPipe;
class TKcTrackBar;
class TFxFancyButton;

class TfrmDualOutput_combo : public QWidget {
public:
    explicit TfrmDualOutput_combo(QWidget* Parent = nullptr);
    ~TfrmDualOutput_combo() override;

    void Attach(TAudioPipe* Pipe);
    void Detach();
    // Applies the controls to the pair when attached and changed; false when it failed to open.
    bool ApplyNow();
    bool Changed() const { return FChanged; }
    TAudioPipe* Pipe() const { return FPipe; }

    TKcTrackBar* ePackets = nullptr;
    TKcTrackBar* ePacketTime = nullptr;
    QLabel* lbPackets = nullptr;
    QLabel* lbPacketTime = nullptr;
    QLabel* lbLatency = nullptr;
    QComboBox* eOutputType1 = nullptr;
    QComboBox* eDevice1 = nullptr;
    QCheckBox* eMono = nullptr;
    QRadioButton* ePreview0 = nullptr;
    QRadioButton* ePreview1 = nullptr;
    QRadioButton* ePreview2 = nullptr;
    QRadioButton* ePreview3 = nullptr;
    QComboBox* eOutputType2 = nullptr;
    QComboBox* eDevice2 = nullptr;
    TFxFancyButton* FxFancyButton1 = nullptr;

private:
    void FillMainDevices();
    void FillPreviewDevices();
    void UpdateControls();
    // The listing of a driver, read once per attachment.
    const TOutputDeviceList& Devices(int OutputType);
    // Puts List into Combo and selects the stored device; answers the stored ID and name anew.
    void FillCombo(QComboBox* Combo, const TOutputDeviceList& List, std::string& ID, std::string& Name);
    int PreviewStyle() const;
    void SetChanged() { FChanged = true; }

    TAudioPipe* FPipe = nullptr;
    bool FChanged = false;
    TOutputDeviceList FDSDevices;
    TOutputDeviceList FKSDevices;
    bool FDSFilled = false;
    bool FKSFilled = false;
    std::string FDevice1ID, FDevice1Name, FDevice2ID, FDevice2Name;
    int FBusy = 0;
};

}  // namespace kelvar
