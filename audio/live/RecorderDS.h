#pragma once
// Capture through a shared ALSA PCM ("default", or any PCM name). The device text names the
// PCM; an empty text, or a name ALSA does not know, takes "default". Packets are read into a
// ring of packet slots, the stand-in for a looping capture buffer: the first run after opening
// (or after a stop) hands out every slot as it stands before live packets follow.
#include <vector>

#include "audio/live/Recorder_imp.h"
#include "platform/alsa/AlsaPcm.h"

namespace kelvar {

class TRecorder_DS : public TRecorder {
public:
    TRecorder_DS();
    ~TRecorder_DS() override;

protected:
    bool OpenDevice(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs,
                    int PacketCount) override;
    void Execute() override;

private:
    bool OpenPcm(const std::string& Name, const TWaveFormatExtensible& Format, std::string& Reason);
    // Reads what the device holds into the slots, handing out each slot once full; false on a
    // failed read.
    bool ReadAvailable();
    void StopDevice();
    void RunDevice();

    platform::TAlsaPcm FPcm;
    std::vector<uint8_t> FSlots;  // packet count x packet bytes
    int FNextSlot = 0;
    uint32_t FFill = 0;  // bytes of the next slot already read
};

}  // namespace kelvar
