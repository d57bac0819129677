#pragma once
// The output thread for a shared sound device through an ALSA PCM ("default", or any PCM
// name; an empty device text means "default"). One period of the PCM is one packet; a packet
// is refilled from the mix as soon as the device has room for it. An ALSA PCM has no volume
// of its own here, so the volume is applied to the samples.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/outputs/Output_imp.h"
#include "platform/alsa/AlsaPcm.h"

namespace kelvar {

// Attenuation in hundredths of a decibel for a volume of 0..255: round(20 log10(v / 255) x 100),
// -10000 (silence) for 0 or mute and as the floor.
int32_t DSVolumeAttenuation(uint8_t Volume, bool Mute);
// The sample factor of an attenuation: 0 at -10000, 1 at 0.
double AttenuationToFactor(int32_t Attenuation);

// The PCM a device text names: "default" for an empty text or a device GUID in text form.
std::string AlsaDeviceName(const std::string& Device);

class TOutput_DS : public TOutput {
public:
    // The least audio queued on the device, whatever the packet ring asks for. At normal
    // priority on a busy machine this thread was measured waking up to 0.9 s late; 2 s rides
    // that out (the cost: mix changes are heard that much later).
    static constexpr int MinQueueMs = 2000;

    TOutput_DS();
    ~TOutput_DS() override;

    int GetState() const { return FStateShown; }
    // The volume factor the thread applies now.
    double GetVolumeFactor() const { return FFactorShown; }

protected:
    bool DoOpen(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs, int PacketCount) override;
    void Execute() override;

private:
    // Handles one wake-up; answers false when the loop ends.
    bool Pass(int Event);
    void ApplyVolume();
    // Fills the packet from the mix and writes it; false when the device failed.
    bool WritePacket();
    // Writes every packet the device has room for (at most PacketCount); false on failure.
    bool FillAvailable();
    // Makes the device empty and ready to be filled.
    void StopDevice(const char* Message);

    platform::TAlsaPcm FPcm;
    TWaveFormatExtensible FFormat{};
    std::vector<uint8_t> FPacket;
    int FState = OutputState::Stopped;
    double FFactor = 1.0;
    std::atomic<int> FStateShown{OutputState::Stopped};
    std::atomic<double> FFactorShown{1.0};
};

}  // namespace kelvar
