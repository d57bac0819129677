#include "audio/mix/DualOutput_Combo.h"

#include <algorithm>
#include <cstring>

#include "audio/graph/AudioErrors.h"
#include "audio/outputs/OutputDS.h"
#include "audio/outputs/OutputKS.h"
#include "audio/outputs/OutputSilent.h"
#include "foundation/MixUtils.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

namespace {
uint8_t ClampByte(int64_t Value) { return static_cast<uint8_t>(std::clamp<int64_t>(Value, 0, 255)); }
}  // namespace

TDualOutput_Combo::TDualOutput_Combo() = default;

TDualOutput_Combo::~TDualOutput_Combo() { Close(); }

uint8_t* TDualOutput_Combo::Room(std::vector<uint8_t>& Block, int Length) {
    if (Block.size() < static_cast<size_t>(Length)) Block.resize(static_cast<size_t>(Length));
    return Block.data();
}

void TDualOutput_Combo::SetMainVolume(uint8_t Value) {
    TGuard guard(FLock);
    FMainVolume = Value;
    if (FMainOutput) FMainOutput->SetVolume(Value);
}

void TDualOutput_Combo::SetPreviewVolume(uint8_t Value) {
    TGuard guard(FLock);
    FPreviewVolume = Value;
    if (FPreviewOutput) FPreviewOutput->SetVolume(Value);
}

void TDualOutput_Combo::SetMainMute(bool Value) {
    TGuard guard(FLock);
    FMainMute = Value;
    if (FMainOutput) FMainOutput->SetMute(Value);
}

void TDualOutput_Combo::SetPreviewMute(bool Value) {
    TGuard guard(FLock);
    FPreviewMute = Value;
    if (FPreviewOutput) FPreviewOutput->SetMute(Value);
}

TDualOutputSettings TDualOutput_Combo::GetSettings() {
    TGuard guard(FLock);
    return FSettings;
}

void TDualOutput_Combo::SetSettings(const TDualOutputSettings& Settings) {
    TGuard guard(FLock);
    FSettings = Settings;
}

uint8_t TDualOutput_Combo::GetMainVolume() {
    TGuard guard(FLock);
    return FMainVolume;
}

uint8_t TDualOutput_Combo::GetPreviewVolume() {
    TGuard guard(FLock);
    return FPreviewVolume;
}

bool TDualOutput_Combo::GetMainMute() {
    TGuard guard(FLock);
    return FMainMute;
}

bool TDualOutput_Combo::GetPreviewMute() {
    TGuard guard(FLock);
    return FPreviewMute;
}

TWaveFormatExtensible TDualOutput_Combo::GetDeviceFormat() {
    TGuard guard(FLock);
    return FDeviceFormatEx;
}

std::unique_ptr<TOutput> TDualOutput_Combo::CreateOutput(TOutputType Type) {
    switch (Type) {
        case OutputType::Silent: {
            auto silent = std::make_unique<TOutput_Silence>();
            silent->SetClockRate(FSettings.SilentClockRate);
            return silent;
        }
        case OutputType::DirectSound: return std::make_unique<TOutput_DS>();
        case OutputType::KernelStreaming: return std::make_unique<TOutput_KS>();
        default: return nullptr;
    }
}

void TDualOutput_Combo::TakeError(TOutput& Output, const char* Prefix) {
    int32_t code = 0;
    std::string text;
    Output.GetLastError(code, text);
    FErrorCode = code;
    FErrorText = Prefix + text;
}

bool TDualOutput_Combo::DoOpen(const TWaveFormat& Format) {
    if (!SameFormat(Format, DefaultAudioFormat)) throw EAudioError("Can currently only handle 44.1kHz, 16bit, Stereo");
    if (FSettings.PreviewStyle > PreviewStyle::SecondDevice) {
        FErrorCode = E_INVALIDARG;
        FErrorText = "Unknown preview style " + std::to_string(FSettings.PreviewStyle);
        return false;
    }
    if (FSettings.PreviewStyle == PreviewStyle::Split || FSettings.PreviewStyle == PreviewStyle::FourChannels)
        FSettings.Mono = false;

    TWaveFormatExtensible device;
    device.Format = Format;
    device.ValidBitsPerSample = Format.BitsPerSample;
    std::memcpy(device.SubFormat, KSDATAFORMAT_SUBTYPE_PCM, sizeof(device.SubFormat));
    const uint16_t sampleBytes = Format.BitsPerSample / 8;
    if (FSettings.PreviewStyle == PreviewStyle::FourChannels) {
        device.Format.FormatTag = WAVE_FORMAT_EXTENSIBLE;
        device.Format.Channels = 4;
        device.Format.ExtraSize = 22;
        device.ChannelMask = 0x33;
    } else if (FSettings.Mono) {
        device.Format.Channels = 1;
        device.ChannelMask = 4;
    } else {
        device.Format.Channels = 2;
        device.ChannelMask = 3;
    }
    device.Format.BlockAlign = static_cast<uint16_t>(device.Format.Channels * sampleBytes);
    device.Format.AvgBytesPerSec = device.Format.BlockAlign * device.Format.SamplesPerSec;
    FDeviceFormatEx = device;
    FDeviceFormat = device.Format;

    // Work blocks for the largest packet, so the pulls do not allocate.
    const int packet = static_cast<int>(MsToBytes(Format, std::max(FSettings.PacketTime, 1))) + 16;
    Room(FScratch, packet * 2);
    Room(FPreview, packet * 2);

    auto main = CreateOutput(FSettings.OutputType1);
    if (!main) {
        FErrorCode = E_INVALIDARG;
        FErrorText = "[Main] Unknown output type " + std::to_string(FSettings.OutputType1);
        return false;
    }
    main->SetOnGetData([this](void* Buffer, int Length) { return MainPull(Buffer, Length); });
    if (!main->Open(FSettings.SoundDevice1, device, FSettings.PacketTime, FSettings.Packets)) {
        TakeError(*main, "[Main] ");
        FClosing.push_back(std::move(main));
        return false;
    }
    main->SetVolume(FMainVolume);
    main->SetMute(FMainMute);
    FMainOutput = std::move(main);
    if (FSettings.PreviewStyle != PreviewStyle::SecondDevice) return true;

    auto preview = CreateOutput(FSettings.OutputType2);
    bool opened = false;
    if (!preview) {
        FErrorCode = E_INVALIDARG;
        FErrorText = "[Preview] Unknown output type " + std::to_string(FSettings.OutputType2);
    } else {
        preview->SetOnGetData([this](void* Buffer, int Length) { return PreviewPull(Buffer, Length); });
        opened = preview->Open(FSettings.SoundDevice2, device, FSettings.PacketTime, FSettings.Packets);
        if (!opened) TakeError(*preview, "[Preview] ");
    }
    if (!opened) {
        // Nothing of a failed open stays running: the main device goes too.
        FClosing.push_back(std::move(FMainOutput));
        if (preview) FClosing.push_back(std::move(preview));
        return false;
    }
    preview->SetVolume(FPreviewVolume);
    preview->SetMute(FPreviewMute);
    FPreviewOutput = std::move(preview);
    return true;
}

void TDualOutput_Combo::DoClose() {
    if (FMainOutput) FClosing.push_back(std::move(FMainOutput));
    if (FPreviewOutput) FClosing.push_back(std::move(FPreviewOutput));
}

void TDualOutput_Combo::ReleaseClosed() {
    std::vector<std::unique_ptr<TOutput>> closing;
    {
        TGuard guard(FLock);
        closing.swap(FClosing);
    }
    for (auto& output : closing) output->Shutdown();
}

void TDualOutput_Combo::DoStop() {
    if (FMainOutput) FMainOutput->Stop();
    if (FPreviewOutput) FPreviewOutput->Stop();
}

void TDualOutput_Combo::DoPause() {
    if (FMainOutput) FMainOutput->Pause();
    if (FPreviewOutput) FPreviewOutput->Pause();
}

void TDualOutput_Combo::DoPlay() {
    if (FMainOutput) FMainOutput->Run();
    if (FPreviewOutput) FPreviewOutput->Run();
}

void TDualOutput_Combo::DoReset() {
    if (FMainOutput) FMainOutput->Reset();
    if (FPreviewOutput) FPreviewOutput->Reset();
}

int TDualOutput_Combo::MainPull(void* Buffer, int Length) {
    if (FClosed) return 0;
    TGuard guard(FLock);
    if (FClosed || !FMainSource || Length <= 0) return 0;
    int want = Length;
    if (FSettings.PreviewStyle == PreviewStyle::FourChannels) {
        want = Length / 2;
    } else if (FSettings.Mono) {
        want = Length * 2;
    }
    want -= want % 4;  // whole stereo frames
    auto* out = static_cast<uint8_t*>(Buffer);
    uint8_t* target = want > Length ? Room(FScratch, want) : out;
    TStreamTime time = 0;
    const int n = std::min(FMainSource->Pull(target, want, time), want);
    if (n <= 0) return 0;

    int answer = n;
    if (FSettings.PreviewStyle == PreviewStyle::Split || FSettings.PreviewStyle == PreviewStyle::FourChannels) {
        uint8_t* preview = Room(FPreview, n);
        int got = 0;
        if (FPreviewSource) {
            TStreamTime previewTime = 0;
            got = std::max(FPreviewSource->Pull(preview, n, previewTime), 0);
        }
        ZeroFill(preview, static_cast<size_t>(got), static_cast<size_t>(n));
        if (FSettings.PreviewStyle == PreviewStyle::Split) {
            StereoToMono(out, out, static_cast<size_t>(n));
            StereoToMono(preview, preview, static_cast<size_t>(n));
            Interleave(out, preview, out, 1, static_cast<size_t>(n / 2));
            answer = n;
        } else {
            Interleave(out, preview, out, 2, static_cast<size_t>(n));
            answer = 2 * n;
        }
    } else if (FSettings.Mono) {
        StereoToMono(target, out, static_cast<size_t>(n));
        answer = n / 2;
    }
    if (answer > Length) throw EAudioError("Buffer overflow detected!");
    return answer;
}

int TDualOutput_Combo::PreviewPull(void* Buffer, int Length) {
    if (FClosed) return 0;
    TGuard guard(FLock);
    if (FClosed || !FPreviewSource || Length <= 0) return 0;
    TStreamTime time = 0;
    if (FSettings.Mono) {
        uint8_t* scratch = Room(FScratch, Length * 2);
        const int n = std::min(FPreviewSource->Pull(scratch, Length * 2, time), Length * 2);
        if (n <= 0) return 0;
        StereoToMono(scratch, Buffer, static_cast<size_t>(n));
        return n / 2;
    }
    return std::clamp(FPreviewSource->Pull(Buffer, Length, time), 0, Length);
}

void TDualOutput_Combo::DoLoadConfig(IConfigDoc& Section) {
    // Running devices keep their settings when the configuration dialog applies changes.
    if (FActive || Section.GetLiveApply()) return;
    FSettings.OutputType1 = ClampByte(Section.ReadInteger("OutputType1", FSettings.OutputType1));
    FSettings.OutputType2 = ClampByte(Section.ReadInteger("OutputType2", FSettings.OutputType2));
    FSettings.PreviewStyle = ClampByte(Section.ReadInteger("PreviewStyle", FSettings.PreviewStyle));
    FSettings.SoundDevice1 = Section.ReadString("SoundDevice1", FSettings.SoundDevice1);
    FSettings.SoundDevice2 = Section.ReadString("SoundDevice2", FSettings.SoundDevice2);
    FSettings.DeviceName1 = Section.ReadString("DeviceName1", FSettings.DeviceName1);
    FSettings.DeviceName2 = Section.ReadString("DeviceName2", FSettings.DeviceName2);
    FSettings.Packets =
        static_cast<int>(std::clamp<int64_t>(Section.ReadInteger("Packets", FSettings.Packets), INT32_MIN, INT32_MAX));
    FSettings.PacketTime = static_cast<int>(
        std::clamp<int64_t>(Section.ReadInteger("PacketTime", FSettings.PacketTime), INT32_MIN, INT32_MAX));
    FSettings.Mono = Section.ReadBool("Mono", FSettings.Mono);
    SetMainVolume(ClampByte(Section.ReadInteger("Volume1", FMainVolume)));
    SetPreviewVolume(ClampByte(Section.ReadInteger("Volume2", FPreviewVolume)));
}

void TDualOutput_Combo::DoSaveConfig(IConfigDoc& Section) {
    Section.WriteInteger("OutputType1", FSettings.OutputType1);
    Section.WriteInteger("OutputType2", FSettings.OutputType2);
    Section.WriteInteger("PreviewStyle", FSettings.PreviewStyle);
    Section.WriteString("SoundDevice1", FSettings.SoundDevice1);
    Section.WriteString("SoundDevice2", FSettings.SoundDevice2);
    Section.WriteString("DeviceName1", FSettings.DeviceName1);
    Section.WriteString("DeviceName2", FSettings.DeviceName2);
    Section.WriteInteger("Packets", FSettings.Packets);
    Section.WriteInteger("PacketTime", FSettings.PacketTime);
    Section.WriteBool("Mono", FSettings.Mono);
    Section.WriteInteger("Volume1", FMainVolume);
    Section.WriteInteger("Volume2", FPreviewVolume);
}

}  // namespace kelvar
