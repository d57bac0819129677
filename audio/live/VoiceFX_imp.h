#pragma once
// The talk-over voice: while talking is on, a voice source is switched on and, with automatic
// fading, every registered music envelope fades down to the duck level and holds there; when
// talking stops the music fades back. The voice comes from a recording device mixed in through
// its own channel, from a playback line of the sound card's mixer (the voice then never passes
// through the program), or from nowhere. Driven from the main thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/live/AMixer.h"
#include "audio/live/Recorder_combo.h"
#include "audio/mix/Channel_imp.h"
#include "audio/mix/Mixer_imp.h"
#include "audio/nodes/Node_Volume.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

// 0 recording device, 1 mixer playback line, 2 none.
using TVoiceMode = uint8_t;
namespace VoiceMode {
constexpr TVoiceMode Record = 0;
constexpr TVoiceMode MixerLine = 1;
constexpr TVoiceMode None = 2;
}  // namespace VoiceMode

// How the music goes down (fade-out) or comes back (fade-in). Level: percent of ducking depth.
struct TVoiceFXFade {
    int32_t Enabled = 1;
    int32_t Time = 1000;
    int32_t Level = 80;
    TFadeCurve Curve = FadeCurve::Cosine;
};

// "Enabled", "Time", "Level", "Curve"; each value defaults to Current's.
TVoiceFXFade LoadVoiceFade(IConfigDoc& Section, const TVoiceFXFade& Current);
void SaveVoiceFade(IConfigDoc& Section, const TVoiceFXFade& Fade);

// A voice source. Derived classes run their Init from their constructor and their Done from
// their destructor.
class TVoiceControl {
public:
    using TStatusEvent = std::function<void(const std::string& Text)>;

    TVoiceControl();
    virtual ~TVoiceControl();
    TVoiceControl(const TVoiceControl&) = delete;
    TVoiceControl& operator=(const TVoiceControl&) = delete;

    // Each acts only on a change.
    void SetActive(bool Value);
    void SetOn(bool Value);
    void SetVolume(int Value);
    bool GetActive() const { return FActive; }
    bool GetOn() const { return FOn; }
    int GetVolume() const { return FVolume; }
    // Stores the volume without applying it (nothing is open yet).
    void InitVolume(int Value) { FVolume = Value; }
    void DoStatus(const std::string& Text);

    virtual void VoiceOn() = 0;
    virtual void VoiceOff() = 0;
    virtual void OpenDevice() = 0;
    virtual void CloseDevice() = 0;
    virtual void ApplyVolume() = 0;
    virtual void LoadConfig(IConfigDoc& Section) = 0;
    virtual void SaveConfig(IConfigDoc& Section) = 0;
    virtual void Init() = 0;
    virtual void Done() = 0;

    TStatusEvent OnStatus;

protected:
    bool FActive = false;
    bool FOn = false;
    int FVolume = 100;
};

// Captures a recording device into the voice channel, which the mixer mixes with the music.
class TRecordControl : public TVoiceControl {
public:
    TRecordControl();
    ~TRecordControl() override;

    void VoiceOn() override;
    void VoiceOff() override;
    void OpenDevice() override;
    void CloseDevice() override;
    void ApplyVolume() override;
    void LoadConfig(IConfigDoc& Section) override;
    void SaveConfig(IConfigDoc& Section) override;
    void Init() override;
    void Done() override;

    void OpenRecorder();
    void CloseRecorder();
    // A captured packet, on the capture thread.
    void PushData(const void* Buffer, uint32_t Bytes);

    TChannel_VoiceFX* GetChannel() const { return FChannel.get(); }
    TRecorder_Combo* GetRecorder() const { return FRecorder.get(); }

    int DriverType = RecordDriver::DirectSound;
    std::string SoundDevice;
    std::string DeviceName = "Default device";
    int Packets = 5;
    int PacketTime = 10;

private:
    std::unique_ptr<TChannel_VoiceFX> FChannel;
    TVolControl* FEnvelope = nullptr;
    std::unique_ptr<TRecorder_Combo> FRecorder;
};

// Raises a playback line of the sound card's mixer; the voice never passes through the program.
class TMixerControl : public TVoiceControl {
public:
    TMixerControl();
    ~TMixerControl() override;

    void VoiceOn() override;
    void VoiceOff() override;
    void OpenDevice() override;
    void CloseDevice() override;
    void ApplyVolume() override;
    void LoadConfig(IConfigDoc& Section) override;
    void SaveConfig(IConfigDoc& Section) override;
    void Init() override;
    void Done() override;

    void ApplyLine(int Volume, bool Muted);
    bool GetMuted() const { return FMuted; }

    int PlayDeviceID = 0;
    int PlayVolCtrlID = 0;  // source line of destination 0; -1: the destination line itself
    bool AutoMute = false;

private:
    std::unique_ptr<TAudioMixer> FMixer;
    bool FMuted = false;
};

class TDummyControl : public TVoiceControl {
public:
    void VoiceOn() override {}
    void VoiceOff() override {}
    void OpenDevice() override {}
    void CloseDevice() override {}
    void ApplyVolume() override {}
    void LoadConfig(IConfigDoc&) override {}
    void SaveConfig(IConfigDoc&) override {}
    void Init() override {}
    void Done() override {}
};

class TVoiceFX {
public:
    using TStatusEvent = std::function<void(const std::string& Text)>;

    TVoiceFX();
    // Switches the voice off and closes its source; takes the voice channel out of the mixer.
    ~TVoiceFX();
    TVoiceFX(const TVoiceFX&) = delete;
    TVoiceFX& operator=(const TVoiceFX&) = delete;

    // 0..255 (255 = 0 dB); values beyond are taken as the nearer end.
    void SetVoiceVolume(int Value);
    int GetVoiceVolume();
    // 0..255, like the voice volume.
    void SetMusicVolume(int Value);
    int GetMusicVolume();
    // The envelope stays the caller's; it fades in real time from now on.
    void AddMusicControl(TVolControl* Envelope);
    void SetVoiceMode(TVoiceMode Mode);
    TVoiceMode GetVoiceMode();
    void SetActive(bool Value);
    bool GetActive();
    void SetTalking(bool Value);
    bool GetTalking();
    void SetAutoFade(bool Value);
    bool GetAutoFade();
    void SetSpeed(int SemiTones);
    int GetSpeed();
    // Either record's level (taken into 0..100) becomes the level of both; Enabled is stored as 1.
    void SetFadeIn(const TVoiceFXFade& Fade);
    void SetFadeOut(const TVoiceFXFade& Fade);
    TVoiceFXFade GetFadeIn();
    TVoiceFXFade GetFadeOut();
    // 100 - the fade-out level.
    int GetAutoMusicVol();
    // The mixer must outlive the voice, or be taken away (none) first.
    void SetMixer(TMixer* Mixer);
    void SetMixPoint(uint8_t Value);
    uint8_t GetMixPoint();
    void UpdateMixer();
    // The recording source's channel, whatever the mode.
    TChannel_VoiceFX* GetVoiceChannel();
    TRecordControl& GetRecordControl() { return *FRecord; }
    TMixerControl& GetMixerControl() { return *FMixerLine; }
    void DoStatus(const std::string& Text);
    // Ignored while talking and for a document marked live-applied.
    void LoadConfig(IConfigDoc& Section);
    void SaveConfig(IConfigDoc& Section);

    TStatusEvent OnStatus;

private:
    void DuckMusic();
    void RestoreMusic();
    TVoiceControl& Current();

    std::recursive_mutex FLock;
    int FVoiceVolume = 255;
    int FMusicVolume = 255;
    TVoiceMode FVoiceMode = VoiceMode::Record;
    bool FTalking = false;
    bool FActive = false;
    bool FAutoFade = true;
    int FSpeed = 0;
    uint8_t FMixPoint = 0;
    TVoiceFXFade FFadeIn{1, 1000, 80, FadeCurve::Cosine};
    TVoiceFXFade FFadeOut{1, 500, 80, FadeCurve::Cosine};
    std::vector<TVolControl*> FMusicControls;
    TMixer* FMixer = nullptr;
    std::unique_ptr<TRecordControl> FRecord;
    std::unique_ptr<TMixerControl> FMixerLine;
    std::unique_ptr<TDummyControl> FDummy;
};

}  // namespace kelvar
