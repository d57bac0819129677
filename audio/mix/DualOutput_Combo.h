#pragma once
// The output pair the audio pipe uses: chooses each device's type (silent, shared ALSA PCM or
// direct hardware), the packet settings and the preview style: none; preview on the right
// channel with the on-air mix folded to mono on the left; preview on the rear channels of a
// four-channel device; preview on a second device. Its settings are the "Output" section.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/mix/DualOutputSettings.h"
#include "audio/mix/DualOutput_imp.h"
#include "audio/outputs/Output_imp.h"

namespace kelvar {

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
