#pragma once
// The output pair the audio pipe uses: chooses each device's type (silent, shared ALSA PCM or
// direct hardware), the packet settings and the preview style: none; preview on the right
// channel with the on-air mix folded to mono on the left; preview on the rear channels of a
// four-channel device; preview on a second device. Its settings are the "Output" section.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/mix/DualOutput_imp.h"
#include "audio/outputs/Output_imp.h"

namespace kelvar {

// 0 silent, 1 shared ALSA PCM, 2 direct hardware.
using TOutputType = uint8_t;
namespace OutputType {
constexpr TOutputType Silent = 0;
constexpr TOutputType DirectSound = 1;
constexpr TOutputType KernelStreaming = 2;
}  // namespace OutputType

namespace PreviewStyle {
constexpr uint8_t None = 0;
constexpr uint8_t Split = 1;
constexpr uint8_t FourChannels = 2;
constexpr uint8_t SecondDevice = 3;
}  // namespace PreviewStyle

// What the pair opens with: set between a Close and an Open.
struct TDualOutputSettings {
    TOutputType OutputType1 = OutputType::DirectSound;
    TOutputType OutputType2 = OutputType::DirectSound;
    uint8_t PreviewStyle = kelvar::PreviewStyle::None;
    std::string SoundDevice1;
    std::string SoundDevice2;
    std::string DeviceName1 = "Primary Sound Driver";
    std::string DeviceName2 = "Primary Sound Driver";
    int Packets = 10;
    int PacketTime = 10;
    bool Mono = false;  // switched off by the preview styles that need both channels
    // Clock rate of silent outputs (1 = real time; tests and benchmarks).
    double SilentClockRate = 1.0;
};

class TDualOutput_Combo : public TDualOutput {
public:
    TDualOutput_Combo();
    ~TDualOutput_Combo() override;

    void SetMainVolume(uint8_t Value);
    void SetPreviewVolume(uint8_t Value);
    void SetMainMute(bool Value);
    void SetPreviewMute(bool Value);

    // The format the devices were opened with (40 bytes; the first 18 are DeviceFormat).
    TWaveFormatExtensible GetDeviceFormat();
    // The output threads, for their error state and counters; none while closed.
    TOutput* GetMainOutput() { return FMainOutput.get(); }
    TOutput* GetPreviewOutput() { return FPreviewOutput.get(); }

    // The device settings (the configuration window and the core read them); Open applies them.
    TDualOutputSettings GetSettings();
    void SetSettings(const TDualOutputSettings& Settings);
    uint8_t GetMainVolume();
    uint8_t GetPreviewVolume();
    bool GetMainMute();
    bool GetPreviewMute();

protected:
    bool DoOpen(const TWaveFormat& Format) override;
    void DoClose() override;
    void ReleaseClosed() override;
    void DoStop() override;
    void DoPause() override;
    void DoPlay() override;
    void DoReset() override;
    void DoLoadConfig(IConfigDoc& Section) override;
    void DoSaveConfig(IConfigDoc& Section) override;

private:
    std::unique_ptr<TOutput> CreateOutput(TOutputType Type);
    // Copies the output's last error with Prefix in front of its text.
    void TakeError(TOutput& Output, const char* Prefix);
    int MainPull(void* Buffer, int Length);
    int PreviewPull(void* Buffer, int Length);
    // Grows a work block (only when a longer block than ever before is asked for).
    static uint8_t* Room(std::vector<uint8_t>& Block, int Length);

    TDualOutputSettings FSettings;
    bool FPreviewMute = false;
    bool FMainMute = false;
    uint8_t FMainVolume = 255;
    uint8_t FPreviewVolume = 255;
    TWaveFormat FDeviceFormat{};
    TWaveFormatExtensible FDeviceFormatEx{};
    std::vector<uint8_t> FScratch;
    std::vector<uint8_t> FPreview;
    std::unique_ptr<TOutput> FMainOutput;
    std::unique_ptr<TOutput> FPreviewOutput;
    // Taken out by DoClose (or a failed open), shut down without the lock.
    std::vector<std::unique_ptr<TOutput>> FClosing;
};

}  // namespace kelvar
