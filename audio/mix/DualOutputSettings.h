#pragma once
// The output pair's device settings as a plain record: each device's type, the packet settings
// and the preview style (the "Output" section; the output settings frame edits it).
#include <cstdint>
#include <string>

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

}  // namespace kelvar
