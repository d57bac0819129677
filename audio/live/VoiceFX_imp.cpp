#include "audio/live/VoiceFX_imp.h"

#include <algorithm>
#include <cmath>

#include "audio/nodes/Node_DSPEffects.h"
#include "foundation/Logger.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

namespace {

// A ducking depth outside 0..100 percent would raise the music or turn its phase over.
int32_t ClampLevel(int32_t Level) { return std::clamp<int32_t>(Level, 0, 100); }

}  // namespace

TVoiceFXFade LoadVoiceFade(IConfigDoc& Section, const TVoiceFXFade& Current) {
    TVoiceFXFade fade;
    fade.Enabled = static_cast<int32_t>(Section.ReadInteger("Enabled", Current.Enabled));
    fade.Time = static_cast<int32_t>(Section.ReadInteger("Time", Current.Time));
    fade.Level = static_cast<int32_t>(Section.ReadInteger("Level", Current.Level));
    fade.Curve = static_cast<TFadeCurve>(Section.ReadInteger("Curve", Current.Curve));
    return fade;
}

void SaveVoiceFade(IConfigDoc& Section, const TVoiceFXFade& Fade) {
    Section.WriteInteger("Enabled", Fade.Enabled);
    Section.WriteInteger("Time", Fade.Time);
    Section.WriteInteger("Level", Fade.Level);
    Section.WriteInteger("Curve", Fade.Curve);
}

// ---- TVoiceControl

TVoiceControl::TVoiceControl() = default;

TVoiceControl::~TVoiceControl() = default;

void TVoiceControl::SetActive(bool Value) {
    if (Value == FActive) return;
    FActive = Value;
    if (Value) {
        OpenDevice();
    } else {
        SetOn(false);
        CloseDevice();
    }
}

void TVoiceControl::SetOn(bool Value) {
    if (Value == FOn) return;
    FOn = Value;
    if (Value) {
        VoiceOn();
    } else {
        VoiceOff();
    }
}

void TVoiceControl::SetVolume(int Value) {
    if (Value == FVolume) return;
    FVolume = Value;
    ApplyVolume();
}

void TVoiceControl::DoStatus(const std::string& Text) {
    if (OnStatus) OnStatus(Text);
}

// ---- TRecordControl

TRecordControl::TRecordControl() { Init(); }

TRecordControl::~TRecordControl() { Done(); }

void TRecordControl::Init() {
    FChannel = std::make_unique<TChannel_VoiceFX>();
    FEnvelope = FChannel->Volume->AddVolControl();
}

void TRecordControl::Done() {
    CloseRecorder();
    if (FChannel && FEnvelope) FChannel->Volume->RemoveVolControl(FEnvelope);
    FChannel.reset();
}

void TRecordControl::OpenDevice() { OpenRecorder(); }

void TRecordControl::CloseDevice() { CloseRecorder(); }

void TRecordControl::OpenRecorder() {
    if (FRecorder) return;
    FRecorder = std::make_unique<TRecorder_Combo>();
    FRecorder->FDriverType = DriverType;
    FRecorder->FSoundDevice = SoundDevice;
    FRecorder->FDeviceName = DeviceName;
    FRecorder->FPackets = Packets;
    FRecorder->FPacketTime = PacketTime;
    FRecorder->OnData = [this](const void* Buffer, uint32_t Bytes) { PushData(Buffer, Bytes); };
    bool opened = false;
    try {
        opened = FRecorder->Open(DefaultAudioFormat);
    } catch (const std::exception& e) {
        // A bad driver type in the configuration: the voice stays without audio.
        DoStatus(e.what());
        LogMessage(std::string("Voice: ") + e.what(), "AUDIO", LogKind::Error);
        return;
    }
    int32_t code = 0;
    std::string text;
    FRecorder->GetLastError(code, text);
    if (!opened || code != 0) {
        if (!opened) LogMessage("Voice: recording device \"" + SoundDevice + "\": " + text, "AUDIO", LogKind::Error);
        DoStatus(text);
        return;
    }
    auto bridge = FChannel->GetPushPull();
    bridge->SetChunkMs(PacketTime);
    bridge->SetMaxChunks(Packets);
}

void TRecordControl::CloseRecorder() {
    if (!FRecorder) return;
    FRecorder->Close();
    FRecorder.reset();
}

void TRecordControl::VoiceOn() {
    FChannel->Seek(0);
    if (FRecorder) {
        FRecorder->Run();
    } else {
        // Talking without an open device: the music still ducks, the voice stays silent.
        DoStatus("Recording device not open");
    }
    FChannel->SetMixMode(FChannel->GetMixMode() | MixMode::Playing);
}

void TRecordControl::VoiceOff() {
    if (FRecorder) FRecorder->Stop();
    FChannel->SetMixMode(FChannel->GetMixMode() & static_cast<uint8_t>(~MixMode::Playing));
}

void TRecordControl::ApplyVolume() { FEnvelope->SetVolume(FVolume); }

void TRecordControl::PushData(const void* Buffer, uint32_t Bytes) {
    IAudioBufferPtr buffer = FChannel->GetPushPull()->GetBuffer();
    buffer->Lock();
    try {
        // Nothing may be pulling (another mix point, or no output): the oldest audio goes, so
        // memory and latency stay bounded.
        while (buffer->FreeSpace() < static_cast<int>(Bytes) && buffer->GetChunk()) {}
        FChannel->GetInput()->Push(const_cast<void*>(Buffer), static_cast<int>(Bytes), 0);
    } catch (...) {
        buffer->Unlock();
        throw;
    }
    buffer->Unlock();
}

void TRecordControl::LoadConfig(IConfigDoc& Section) {
    DriverType = static_cast<int>(Section.ReadInteger("DriverType", DriverType));
    SoundDevice = Section.ReadString("SoundDevice", SoundDevice);
    DeviceName = Section.ReadString("DeviceName", DeviceName);
    Packets = static_cast<int>(Section.ReadInteger("Packets", Packets));
    PacketTime = static_cast<int>(Section.ReadInteger("PacketTime", PacketTime));
    if (auto channel = Section.Section("Channel")) FChannel->LoadConfig(*channel);
}

void TRecordControl::SaveConfig(IConfigDoc& Section) {
    Section.WriteInteger("DriverType", DriverType);
    Section.WriteString("SoundDevice", SoundDevice);
    Section.WriteString("DeviceName", DeviceName);
    Section.WriteInteger("Packets", Packets);
    Section.WriteInteger("PacketTime", PacketTime);
    if (auto channel = Section.Section("Channel")) FChannel->SaveConfig(*channel);
}

// ---- TMixerControl

TMixerControl::TMixerControl() { Init(); }

TMixerControl::~TMixerControl() { Done(); }

void TMixerControl::Init() {
    FMixer = std::make_unique<TAudioMixer>();
    FMuted = true;
}

void TMixerControl::Done() { FMixer.reset(); }

void TMixerControl::ApplyLine(int Volume, bool Muted) {
    FMuted = Muted;
    FMixer->SetMixerId(PlayDeviceID);
    int mute = -1;
    if (AutoMute) {
        mute = Muted ? 1 : 0;
    } else {
        int left = -1, right = -1;
        bool stereo = false, volDisabled = false, muteDisabled = false, isSelect = false;
        FMixer->GetVolume(0, PlayVolCtrlID, left, right, mute, stereo, volDisabled, muteDisabled, isSelect);
    }
    const int level = static_cast<int>(std::lround(Volume / 255.0 * 65535.0));
    FMixer->SetVolume(0, PlayVolCtrlID, level, level, mute);
}

void TMixerControl::OpenDevice() { ApplyLine(FVolume, false); }

void TMixerControl::CloseDevice() { ApplyLine(FVolume, true); }

void TMixerControl::ApplyVolume() { ApplyLine(FVolume, FMuted); }

void TMixerControl::VoiceOn() {}

void TMixerControl::VoiceOff() {}

void TMixerControl::LoadConfig(IConfigDoc& Section) {
    PlayDeviceID = static_cast<int>(Section.ReadInteger("PlayDeviceID", PlayDeviceID));
    PlayVolCtrlID = static_cast<int>(Section.ReadInteger("PlayVolCtrlID", PlayVolCtrlID));
    AutoMute = Section.ReadBool("AutoMute", AutoMute);
}

void TMixerControl::SaveConfig(IConfigDoc& Section) {
    Section.WriteInteger("PlayDeviceID", PlayDeviceID);
    Section.WriteInteger("PlayVolCtrlID", PlayVolCtrlID);
    Section.WriteBool("AutoMute", AutoMute);
}

// ---- TVoiceFX

TVoiceFX::TVoiceFX()
    : FRecord(std::make_unique<TRecordControl>()),
      FMixerLine(std::make_unique<TMixerControl>()),
      FDummy(std::make_unique<TDummyControl>()) {
    for (TVoiceControl* source :
         {static_cast<TVoiceControl*>(FRecord.get()), static_cast<TVoiceControl*>(FMixerLine.get()),
          static_cast<TVoiceControl*>(FDummy.get())}) {
        // The sources start at the voice volume, so that the first open uses it.
        source->InitVolume(FVoiceVolume);
    }
    FRecord->OnStatus = [this](const std::string& Text) { DoStatus(Text); };
    FMixerLine->OnStatus = [this](const std::string& Text) { DoStatus(Text); };
}

TVoiceFX::~TVoiceFX() {
    TGuard guard(FLock);
    Current().SetOn(false);
    Current().SetActive(false);
    if (FMixer) FMixer->RemoveSource(FRecord->GetChannel()->GetOutput());
    FMusicControls.clear();
}

TVoiceControl& TVoiceFX::Current() {
    switch (FVoiceMode) {
        case VoiceMode::Record: return *FRecord;
        case VoiceMode::MixerLine: return *FMixerLine;
        default: return *FDummy;
    }
}

void TVoiceFX::SetVoiceVolume(int Value) {
    TGuard guard(FLock);
    FVoiceVolume = std::clamp(Value, 0, 255);
    Value = FVoiceVolume;
    Current().SetVolume(Value);
}

int TVoiceFX::GetVoiceVolume() {
    TGuard guard(FLock);
    return FVoiceVolume;
}

void TVoiceFX::SetMusicVolume(int Value) {
    TGuard guard(FLock);
    FMusicVolume = std::clamp(Value, 0, 255);
    Value = FMusicVolume;
    for (TVolControl* envelope : FMusicControls) envelope->SetVolume(Value);
}

int TVoiceFX::GetMusicVolume() {
    TGuard guard(FLock);
    return FMusicVolume;
}

void TVoiceFX::AddMusicControl(TVolControl* Envelope) {
    if (!Envelope) return;
    TGuard guard(FLock);
    Envelope->SetVolume(FMusicVolume);
    Envelope->SetRealTime(true);
    FMusicControls.push_back(Envelope);
}

void TVoiceFX::SetVoiceMode(TVoiceMode Mode) {
    TGuard guard(FLock);
    if (Mode > VoiceMode::None) {
        LogMessage("Voice: unknown voice mode " + std::to_string(Mode) + ", no voice source used", "AUDIO",
                   LogKind::Error);
        Mode = VoiceMode::None;
    }
    if (Mode == FVoiceMode) return;
    SetTalking(false);
    SetActive(false);
    FVoiceMode = Mode;
    Current().SetVolume(FVoiceVolume);
}

TVoiceMode TVoiceFX::GetVoiceMode() {
    TGuard guard(FLock);
    return FVoiceMode;
}

void TVoiceFX::SetActive(bool Value) {
    TGuard guard(FLock);
    if (Value == FActive) return;
    if (!Value) SetTalking(false);
    FActive = Value;
    Current().SetActive(Value);
}

bool TVoiceFX::GetActive() {
    TGuard guard(FLock);
    return FActive;
}

void TVoiceFX::SetTalking(bool Value) {
    TGuard guard(FLock);
    if (Value == FTalking) return;
    FTalking = Value;
    Current().SetOn(Value);
    if (Value) {
        DuckMusic();
    } else {
        RestoreMusic();
    }
}

bool TVoiceFX::GetTalking() {
    TGuard guard(FLock);
    return FTalking;
}

void TVoiceFX::SetAutoFade(bool Value) {
    TGuard guard(FLock);
    FAutoFade = Value;
}

bool TVoiceFX::GetAutoFade() {
    TGuard guard(FLock);
    return FAutoFade;
}

void TVoiceFX::DuckMusic() {
    if (!FAutoFade) return;
    for (TVolControl* envelope : FMusicControls) {
        envelope->SetCurve(FFadeOut.Curve);
        envelope->StartFade(FadeKind::Out, FFadeOut.Level, FFadeOut.Time);
        envelope->SetHold(true);
    }
}

void TVoiceFX::RestoreMusic() {
    if (!FAutoFade) return;
    for (TVolControl* envelope : FMusicControls) {
        envelope->SetHold(false);
        envelope->SetCurve(FFadeIn.Curve);
        envelope->StartFade(FadeKind::In, FFadeIn.Level, FFadeIn.Time);
    }
}

void TVoiceFX::SetSpeed(int SemiTones) {
    TGuard guard(FLock);
    FSpeed = SemiTones;
    GetVoiceChannel()->DSPEffects->SetPitchSemiTones(SemiTones);
}

int TVoiceFX::GetSpeed() {
    TGuard guard(FLock);
    return FSpeed;
}

void TVoiceFX::SetFadeIn(const TVoiceFXFade& Fade) {
    TGuard guard(FLock);
    FFadeIn = Fade;
    FFadeIn.Enabled = 1;
    FFadeIn.Level = ClampLevel(Fade.Level);
    FFadeOut.Level = FFadeIn.Level;
}

void TVoiceFX::SetFadeOut(const TVoiceFXFade& Fade) {
    TGuard guard(FLock);
    FFadeOut = Fade;
    FFadeOut.Enabled = 1;
    FFadeOut.Level = ClampLevel(Fade.Level);
    FFadeIn.Level = FFadeOut.Level;
}

TVoiceFXFade TVoiceFX::GetFadeIn() {
    TGuard guard(FLock);
    return FFadeIn;
}

TVoiceFXFade TVoiceFX::GetFadeOut() {
    TGuard guard(FLock);
    return FFadeOut;
}

int TVoiceFX::GetAutoMusicVol() {
    TGuard guard(FLock);
    return 100 - FFadeOut.Level;
}

void TVoiceFX::SetMixer(TMixer* Mixer) {
    TGuard guard(FLock);
    if (Mixer == FMixer) return;
    // The old mixer lets go of the voice channel.
    if (FMixer) FMixer->RemoveSource(FRecord->GetChannel()->GetOutput());
    FMixer = Mixer;
    UpdateMixer();
}

void TVoiceFX::SetMixPoint(uint8_t Value) {
    TGuard guard(FLock);
    if (Value == FMixPoint) return;
    FMixPoint = Value;
    UpdateMixer();
}

uint8_t TVoiceFX::GetMixPoint() {
    TGuard guard(FLock);
    return FMixPoint;
}

void TVoiceFX::UpdateMixer() {
    TGuard guard(FLock);
    if (!FMixer) return;
    const auto output = FRecord->GetChannel()->GetOutput();
    FMixer->RemoveSource(output);
    if (FMixPoint == 0) FMixer->AddSource(output);
}

TChannel_VoiceFX* TVoiceFX::GetVoiceChannel() { return FRecord->GetChannel(); }

void TVoiceFX::DoStatus(const std::string& Text) {
    TGuard guard(FLock);
    if (OnStatus) OnStatus(Text);
}

void TVoiceFX::LoadConfig(IConfigDoc& Section) {
    TGuard guard(FLock);
    if (FTalking || Section.GetLiveApply()) return;
    if (auto record = Section.Section("Record")) FRecord->LoadConfig(*record);
    if (auto playback = Section.Section("Playback")) FMixerLine->LoadConfig(*playback);
    SetVoiceMode(static_cast<TVoiceMode>(Section.ReadInteger("VoiceMode", FVoiceMode)));
    SetMixPoint(static_cast<uint8_t>(Section.ReadInteger("MixPoint", FMixPoint)));
    FAutoFade = Section.ReadBool("AutoFade", FAutoFade);
    if (auto fade = Section.Section("FadeOut")) SetFadeOut(LoadVoiceFade(*fade, FFadeOut));
    // Last, so the fade-in level becomes the shared one.
    if (auto fade = Section.Section("FadeIn")) SetFadeIn(LoadVoiceFade(*fade, FFadeIn));
    UpdateMixer();
}

void TVoiceFX::SaveConfig(IConfigDoc& Section) {
    TGuard guard(FLock);
    Section.WriteInteger("MusicVolume", FMusicVolume);
    Section.WriteInteger("AutoMusicVol", 100 - FFadeOut.Level);
    Section.WriteInteger("Speed", FSpeed);
    Section.WriteInteger("VoiceMode", FVoiceMode);
    Section.WriteInteger("MixPoint", FMixPoint);
    Section.WriteBool("AutoFade", FAutoFade);
    if (auto fade = Section.Section("FadeOut")) SaveVoiceFade(*fade, FFadeOut);
    if (auto fade = Section.Section("FadeIn")) SaveVoiceFade(*fade, FFadeIn);
    if (auto record = Section.Section("Record")) FRecord->SaveConfig(*record);
    if (auto playback = Section.Section("Playback")) FMixerLine->SaveConfig(*playback);
}

}  // namespace kelvar
