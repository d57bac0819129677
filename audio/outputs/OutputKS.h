#pragma once
// The output thread for direct hardware access (lowest latency): every packet is queued at the
// driver's pin and refilled from the mix when the driver has played it.
#include <vector>

#include "audio/outputs/KSDriver.h"
#include "audio/outputs/Output_imp.h"

namespace kelvar {

class TOutput_KS : public TOutput {
public:
    TOutput_KS();
    ~TOutput_KS() override;

    int GetState() const { return FStateShown; }

protected:
    bool DoOpen(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs, int PacketCount) override;
    void Execute() override;

private:
    bool Pass(int Event);
    void SetFactor();
    bool SetPinState(int32_t State, const char* Message);
    void SignalAllPackets();
    void FillPacket(int Index);
    void Release();

    IKSDriverPtr FDriver;
    TKSHandle FFilter = 0;
    TKSHandle FPin = 0;
    int FState = OutputState::Stopped;
    TWaveFormatExtensible FFormat{};
    std::vector<TKSStreamHeader> FHeaders;
    std::vector<TKSOverlapped> FOverlapped;
    std::vector<uint8_t> FData;  // every packet's buffer, one after another
    double FFactor = 1.0;
    std::atomic<int> FStateShown{OutputState::Stopped};
};

}  // namespace kelvar
