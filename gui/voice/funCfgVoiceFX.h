#pragma once
// The talk-over voice's settings in a configuration document: where the voice goes, the music
// fades under it with their picture, the recording device and its buffers, and the playback
// mixer line. Keys it does not know stay in the document as they are.
#include <QWidget>
#include <string>

#include "foundation/ConfigDoc.h"
#include "gui/voice/VoiceDevices.h"
#include "gui/voice/VoiceUi.h"
#include "media/SongSettings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QRadioButton;
class QTimer;

namespace kelvar {

class TfrmFade;
class TfrmXFadeGraph;

// The destinations of the voice, in the order of the list.
namespace VoiceDestination {
constexpr int None = 0;       // VoiceMode 2, MixPoint 0
constexpr int Mixer = 1;      // VoiceMode 0, MixPoint 0
constexpr int Soundcard = 2;  // VoiceMode 1, MixPoint 0
}  // namespace VoiceDestination

class TfrmCfgVoiceFX : public QWidget {
public:
    explicit TfrmCfgVoiceFX(QWidget* Parent = nullptr);
    ~TfrmCfgVoiceFX() override;

    void Init();
    void LoadFrom(IConfigDoc& Doc);
    void SaveTo(IConfigDoc& Doc);
    void Done();

    // The mode and mix point of the chosen destination; the stored ones until the operator
    // picks a destination, so that a state the list cannot show survives OK.
    void GetMode(int& VoiceMode, int& MixPoint) const;
    void SetMode(int VoiceMode, int MixPoint);
    // The checked destination, -1 when none is.
    int SelectedDestination() const;
    // As the operator's click on a destination.
    void PickDestination(int Item);

    bool IsKernelStreaming() const { return FDevices.IsKernelStreaming(); }
    void SetDriverType(int Driver) { FDevices.SetDriverType(Driver); }
    void FillDevices() { FDevices.FillDevices(); }
    int FindDevice(int Driver, const std::string& Id, const std::string& Name) {
        return FDevices.FindDevice(Driver, Id, Name);
    }
    std::string GetDeviceID() const { return FDevices.GetDeviceID(); }
    std::string GetDeviceName() const { return FDevices.GetDeviceName(); }
    void UpdateBufferLabels() { kelvar::UpdateBufferLabels(FBuffer); }
    void FillPlaybackDevices();
    // The playback lines of mixer device Device; Preselect -1 chooses the last microphone line.
    void FillPlaybackVolumeControls(int Device, int Preselect);
    // The recording device's name among the mixer devices, 0 when it is not there.
    int GetMixerIndex() const;
    void ReadFades();
    // Redraws the picture 150 ms after the last change.
    void Invalidate();
    // Draws the picture now.
    void DrawTimerTimer();
    const TSongSettings& Settings() const { return FSettings; }

    QGroupBox* eMode = nullptr;
    QRadioButton* eModeItems[3] = {};
    QCheckBox* eAutoFade = nullptr;
    TfrmFade* frmFadeOut = nullptr;
    TfrmFade* frmFadeIn = nullptr;
    TfrmXFadeGraph* frmXFadeGraph1 = nullptr;
    QTimer* DrawTimer = nullptr;
    QGroupBox* pRecord = nullptr;
    QComboBox* eDriverType = nullptr;
    QComboBox* eDevice = nullptr;
    TKcDemoButton* btMixer = nullptr;
    QGroupBox* pRecordBuffer = nullptr;
    TKcTrackBar* ePackets = nullptr;
    TKcTrackBar* ePacketTime = nullptr;
    QLabel* lbLatency = nullptr;
    QGroupBox* pPlayback = nullptr;
    QComboBox* ePlaybackDevice = nullptr;
    QComboBox* ePlaybackVolCtrl = nullptr;
    QCheckBox* eAutoMute = nullptr;

private:
    void ModeClick();

    QButtonGroup* FModeGroup = nullptr;
    TRecordGroup FRecord;
    TBufferGroup FBuffer;
    TCaptureDeviceChooser FDevices;
    TSongSettings FSettings;
    int FStoredMode = 0;
    int FStoredMixPoint = 0;
    bool FModePicked = false;
    int FStoredPlayDevice = 0;
    int FStoredPlayVolCtrl = -1;
};

}  // namespace kelvar
