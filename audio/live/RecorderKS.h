#pragma once
// Capture through the direct-hardware driver (ALSA "hw:" devices by default): one stream
// header per packet is queued on the capture pin, and each comes back filled on its packet
// event. An empty device text takes the first capture device the driver lists.
#include <vector>

#include "audio/live/Recorder_imp.h"
#include "audio/outputs/KSDriver.h"

namespace kelvar {

class TRecorder_KS : public TRecorder {
public:
    TRecorder_KS();
    ~TRecorder_KS() override;

protected:
    bool OpenDevice(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs,
                    int PacketCount) override;
    void Execute() override;

private:
    // Queues header Index for filling; false (recorded) when the pin refuses it.
    bool Submit(int Index);
    void ReleaseDevice();

    IKSDriverPtr FDriver;
    TKSHandle FFilter = 0;
    TKSHandle FPin = 0;
    std::vector<TKSStreamHeader> FHeaders;
    std::vector<TKSOverlapped> FOverlapped;
    std::vector<std::vector<uint8_t>> FData;
    // Headers held back while the device runs ahead of the clock.
    std::vector<int> FDeferred;
    // Packets come back in the order they were queued, but a late thread may find several
    // signalled at once: they are handed out in queue order (the ring of queued headers), not
    // by event index. A header stays queued until its completion has been taken, also across
    // a stop (the pin completes what it held), so it is never queued twice.
    std::vector<bool> FCompleted;
    std::vector<bool> FQueued;
    std::vector<int> FOrder;
    size_t FOrderHead = 0;
    size_t FOrderCount = 0;
};

}  // namespace kelvar
