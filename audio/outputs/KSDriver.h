#pragma once
// The direct-hardware driver behind the lowest-latency output and capture: filters (devices)
// and pins (open streams) behind eighteen plain operations. The built-in driver opens ALSA
// "hw:" devices directly, without any conversion plug-in; a test can plug in its own driver.
#include <cstdint>
#include <memory>

#include "audio/outputs/Output_imp.h"

namespace kelvar {

// Opaque handles of the driver; 0 means none.
using TKSHandle = uintptr_t;

struct TGuid {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};
    bool operator==(const TGuid&) const = default;
};

// Device categories handed to Filters_Enumerate.
extern const TGuid KSCATEGORY_AUDIO;
extern const TGuid KSCATEGORY_RENDER;
extern const TGuid KSCATEGORY_CAPTURE;

// Pin states of Pin_SetState.
namespace KSState {
constexpr int Stop = 0;
constexpr int Pause = 2;
constexpr int Run = 3;
}  // namespace KSState

// One packet as handed to Pin_WriteData / Pin_ReadData.
struct TKSStreamHeader {
    uint32_t Size = sizeof(TKSStreamHeader);
    uint32_t TypeSpecificFlags = 0;
    int64_t PresentationTime = 0;
    uint32_t Numerator = 1;
    uint32_t Denominator = 1;
    int64_t Duration = 0;
    uint32_t FrameExtent = 0;  // bytes of Data
    uint32_t DataUsed = 0;     // bytes of Data that hold audio
    void* Data = nullptr;
    uint32_t OptionsFlags = 0;
};

// The completion record of a packet: the driver sets this event of the set when it is done
// with the packet (played, or filled when capturing).
struct TKSOverlapped {
    TEventSet* Events = nullptr;
    int EventIndex = -1;
    void Signal() const {
        if (Events) Events->Set(EventIndex);
    }
};

class IKSDriver {
public:
    virtual ~IKSDriver() = default;
    virtual int32_t Filters_Create(TKSHandle& List) = 0;
    virtual void Filters_Destroy(TKSHandle& List) = 0;
    virtual int32_t Filters_Count(TKSHandle List) = 0;
    // Answers true with the next filter; Position starts at 0.
    virtual bool Filters_GetNextAudRenFilter(TKSHandle List, int32_t& Position, TKSHandle& Filter) = 0;
    virtual int32_t Filters_Enumerate(TKSHandle List, int32_t Flags, const TGuid* Categories, int32_t CategoryCount,
                                      int32_t Arg1, int32_t Arg2, int32_t Arg3) = 0;
    virtual void Filter_Destroy(TKSHandle& Filter) = 0;
    // Path and Name are zero-terminated texts of at most the given lengths (updated).
    virtual int32_t Filter_GetInfo(TKSHandle Filter, char* Path, uint32_t& PathLength, char* Name,
                                   uint32_t& NameLength) = 0;
    virtual int32_t Filter_Instantiate(TKSHandle Filter) = 0;
    virtual int32_t Filter_EnumerateNodes(TKSHandle Filter) = 0;
    virtual int32_t Filter_EnumeratePins(TKSHandle Filter) = 0;
    virtual int32_t FilterRender_Create(TKSHandle& Filter, const char* Path) = 0;
    virtual int32_t FilterRender_CreatePin(TKSHandle Filter, TWaveFormatExtensible Format, TKSHandle& Pin) = 0;
    virtual int32_t FilterCapture_Create(TKSHandle& Filter, const char* Path) = 0;
    virtual int32_t FilterCapture_CreatePin(TKSHandle Filter, TWaveFormatExtensible Format, TKSHandle& Pin) = 0;
    // Queues the packet; its event is set when the device has consumed it.
    virtual int32_t Pin_WriteData(TKSHandle Pin, TKSStreamHeader& Header, TKSOverlapped& Overlapped) = 0;
    // Queues the packet for filling; DataUsed is set and its event set when it is full.
    virtual int32_t Pin_ReadData(TKSHandle Pin, TKSStreamHeader& Header, TKSOverlapped& Overlapped) = 0;
    // Stop cancels every request the pin holds: each is completed (a capture one with DataUsed
    // 0, or what was read before the stop) and its event set before the call returns, so the
    // caller may queue any of them again.
    virtual int32_t Pin_SetState(TKSHandle Pin, int32_t State) = 0;
    virtual void Pin_ClosePin(TKSHandle Pin) = 0;
};
using IKSDriverPtr = std::shared_ptr<IKSDriver>;

// The built-in driver over ALSA hw devices.
IKSDriverPtr CreateAlsaKSDriver();

}  // namespace kelvar
