#include "core/VoiceAccess.h"

#include "audio/live/Recorder_combo.h"
#include "audio/live/VoiceFX_imp.h"
#include "audio/mix/Channel_imp.h"
#include "audio/nodes/Node_VUMeter.h"

namespace kelvar {

static_assert(VoiceSource::Record == VoiceMode::Record);
static_assert(VoiceSource::MixerLine == VoiceMode::MixerLine);
static_assert(VoiceSource::None == VoiceMode::None);
static_assert(CaptureDriver::DirectSound == RecordDriver::DirectSound);
static_assert(CaptureDriver::KernelStreaming == RecordDriver::KernelStreaming);
static_assert(ChannelMix::Playing == MixMode::Playing);
static_assert(ChannelMix::OnAir == MixMode::OnAir);
static_assert(ChannelMix::Preview == MixMode::Preview);

TFadeParams LoadVoiceFadeSection(IConfigDoc& Section) {
    const TVoiceFXFade fade = LoadVoiceFade(Section, TVoiceFXFade{});
    return {fade.Enabled, fade.Time, fade.Level, fade.Curve};
}

void SaveVoiceFadeSection(IConfigDoc& Section, const TFadeParams& Fade) {
    SaveVoiceFade(Section, {Fade.Enabled, Fade.Time, Fade.Level, static_cast<TFadeCurve>(Fade.Curve)});
}

int TVoiceAccess::Mode() { return FVoice ? FVoice->GetVoiceMode() : VoiceSource::None; }
int TVoiceAccess::MixPoint() { return FVoice ? FVoice->GetMixPoint() : 0; }
int TVoiceAccess::VoiceVolume() { return FVoice ? FVoice->GetVoiceVolume() : 0; }

void TVoiceAccess::SetVoiceVolume(int Value) {
    if (FVoice) FVoice->SetVoiceVolume(Value);
}

int TVoiceAccess::Speed() { return FVoice ? FVoice->GetSpeed() : 0; }

void TVoiceAccess::SetSpeed(int SemiTones) {
    if (FVoice) FVoice->SetSpeed(SemiTones);
}

int TVoiceAccess::MusicVolume() { return FVoice ? FVoice->GetMusicVolume() : 0; }

void TVoiceAccess::SetMusicVolume(int Value) {
    if (FVoice) FVoice->SetMusicVolume(Value);
}

bool TVoiceAccess::Active() { return FVoice && FVoice->GetActive(); }

void TVoiceAccess::SetActive(bool Value) {
    if (FVoice) FVoice->SetActive(Value);
}

bool TVoiceAccess::Talking() { return FVoice && FVoice->GetTalking(); }

void TVoiceAccess::SetTalking(bool Value) {
    if (FVoice) FVoice->SetTalking(Value);
}

bool TVoiceAccess::AutoFade() { return FVoice && FVoice->GetAutoFade(); }

void TVoiceAccess::SetAutoFade(bool Value) {
    if (FVoice) FVoice->SetAutoFade(Value);
}

uint8_t TVoiceAccess::MixMode() {
    TChannel_VoiceFX* channel = FVoice ? FVoice->GetVoiceChannel() : nullptr;
    return channel ? channel->GetMixMode() : 0;
}

bool TVoiceAccess::SetMix(uint8_t Flags, bool On) {
    TChannel_VoiceFX* channel = FVoice ? FVoice->GetVoiceChannel() : nullptr;
    if (!channel) return false;
    const uint8_t flags = channel->GetMixMode();
    channel->SetMixMode(static_cast<uint8_t>(On ? flags | Flags : flags & ~Flags));
    return true;
}

bool TVoiceAccess::Levels(double& Left, double& Right) {
    TChannel_VoiceFX* channel = FVoice ? FVoice->GetVoiceChannel() : nullptr;
    if (!channel || !channel->VUMeter) return false;
    channel->VUMeter->GetLevels(Left, Right);
    return true;
}

void TVoiceAccess::LoadConfig(IConfigDoc& Section) {
    if (FVoice) FVoice->LoadConfig(Section);
}

void TVoiceAccess::SaveConfig(IConfigDoc& Section) {
    if (FVoice) FVoice->SaveConfig(Section);
}

}  // namespace kelvar
