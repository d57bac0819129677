#pragma once
// A live recording source (a microphone or line input of a sound card) as a source address
// "mic://?" with "&"-separated name=value pairs that the line-in decoder reads.
#include <QWidget>
#include <string>

#include "gui/voice/VoiceDevices.h"
#include "gui/voice/VoiceUi.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace kelvar {

class TfrmCfgMic : public QWidget {
public:
    explicit TfrmCfgMic(QWidget* Parent = nullptr);
    ~TfrmCfgMic() override;

    // The time lists, the driver (shared) with its devices, the volume controls and labels.
    void Init();
    void Done();
    void SetDisplayName(const std::string& Name);
    std::string GetDisplayName() const;
    std::string BuildSourceAddress() const;

    bool IsKernelStreaming() const { return FDevices.IsKernelStreaming(); }
    void SetDriverType(int Driver) { FDevices.SetDriverType(Driver); }
    void FillDevices();
    int FindDevice(int Driver, const std::string& Id, const std::string& Name) {
        return FDevices.FindDevice(Driver, Id, Name);
    }
    std::string GetDeviceID() const { return FDevices.GetDeviceID(); }
    int GetMixerDeviceID() const { return FDevices.GetMixerDeviceID(); }
    // The recording lines of mixer device MixerID; Preselect -1 chooses the last microphone line.
    void FillVolumeControls(int MixerID, int Preselect);
    void RefreshVolumeControls();
    void UpdateBufferLabels();

    QLineEdit* eDisplay = nullptr;
    QComboBox* eDriverType = nullptr;
    QComboBox* eDevice = nullptr;
    TKcDemoButton* btMixer = nullptr;
    QCheckBox* eAutoVol = nullptr;
    QComboBox* eVolCtrl = nullptr;
    TKcTrackBar* ePackets = nullptr;
    TKcTrackBar* ePacketTime = nullptr;
    QLabel* lbPackets = nullptr;
    QLabel* lbPacketTime = nullptr;
    QLabel* lbLatency = nullptr;
    QCheckBox* eDuration = nullptr;
    QComboBox* eHour = nullptr;
    QComboBox* eMin = nullptr;
    QComboBox* eSec = nullptr;

private:
    TRecordGroup FRecord;
    TBufferGroup FBuffer;
    TCaptureDeviceChooser FDevices;
    int FGuard = 0;
};

}  // namespace kelvar
