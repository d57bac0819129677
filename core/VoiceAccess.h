#pragma once
// The talk-over voice as its window and configuration dialog drive it, without the voice's or
// the engine's headers. The window holds the voice as a handle (a pointer it never uses itself);
// every access answers a neutral value when the handle is null.
#include <cstdint>

#include "core/ChannelMix.h"
#include "foundation/ConfigDoc.h"
#include "media/SongSettings.h"

namespace kelvar {

class TVoiceFX;

// Where the voice comes from: a recording device, a sound card's playback line, or nowhere.
namespace VoiceSource {
constexpr int Record = 0;
constexpr int MixerLine = 1;
constexpr int None = 2;
}  // namespace VoiceSource

// The recording device's driver.
namespace CaptureDriver {
constexpr int DirectSound = 0;      // a shared ALSA PCM
constexpr int KernelStreaming = 1;  // a direct hw device
}  // namespace CaptureDriver

// A fade section of the voice's settings ("Enabled", "Time", "Level", "Curve"); what a section
// lacks is the voice's default.
TFadeParams LoadVoiceFadeSection(IConfigDoc& Section);
void SaveVoiceFadeSection(IConfigDoc& Section, const TFadeParams& Fade);

class TVoiceAccess {
public:
    explicit TVoiceAccess(TVoiceFX* Voice) : FVoice(Voice) {}

    bool Exists() const { return FVoice != nullptr; }

    // VoiceSource.
    int Mode();
    int MixPoint();
    int VoiceVolume();
    void SetVoiceVolume(int Value);
    int Speed();
    void SetSpeed(int SemiTones);
    int MusicVolume();
    void SetMusicVolume(int Value);
    bool Active();
    void SetActive(bool Value);
    bool Talking();
    void SetTalking(bool Value);
    bool AutoFade();
    void SetAutoFade(bool Value);

    // ChannelMix flags of the voice's channel; 0 without one.
    uint8_t MixMode();
    // Sets (On) or clears the given flags; false without a channel.
    bool SetMix(uint8_t Flags, bool On);
    // The channel's level meter; false (levels untouched) without one.
    bool Levels(double& Left, double& Right);

    void LoadConfig(IConfigDoc& Section);
    void SaveConfig(IConfigDoc& Section);

private:
    TVoiceFX* FVoice;
};

}  // namespace kelvar
