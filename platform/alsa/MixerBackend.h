#pragma once
// The sound card mixer as the mixer access layer sees it: devices of destination lines (what
// is played, what is recorded), their source lines and the controls of each line, read and
// written as arrays of values. The ALSA backend maps a card's simple mixer elements onto this
// (see AlsaMixer.h); the in-memory backend holds a model that a test builds.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>

namespace kelvar::platform {

// Control types and flags, as the Windows mixer numbers them.
constexpr uint32_t MIXERCONTROL_CT_CLASS_LIST = 0x70000000;
constexpr uint32_t MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MUX = 0x70010001;
constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MIXER = 0x71010001;
constexpr uint32_t MIXERCONTROL_CONTROLF_UNIFORM = 0x00000001;
constexpr uint32_t MIXERCONTROL_CONTROLF_MULTIPLE = 0x00000002;
constexpr uint32_t MIXERCONTROL_CONTROLF_DISABLED = 0x80000000;

struct TMixerCaps {
    uint16_t ManufacturerId = 0;
    uint16_t ProductId = 0;
    uint32_t DriverVersion = 0;
    std::string ProductName;
    uint32_t Destinations = 0;
};

// A destination or source line.
struct TMixerLine {
    uint32_t Destination = 0;
    uint32_t Source = 0;
    uint32_t LineId = 0;
    uint32_t Channels = 1;
    uint32_t Connections = 0;  // source lines of a destination
    uint32_t ControlCount = 0;
    std::string ShortName;
    std::string Name;
};

struct TMixerControl {
    uint32_t ControlId = 0;
    uint32_t ControlType = 0;
    uint32_t Flags = 0;
    uint32_t Items = 0;  // list controls: one item per selectable line
    int32_t Minimum = 0;
    int32_t Maximum = 0;
    std::string Name;
};

// The text of one list item; Param is the line identifier of the item's source line.
struct TMixerItemText {
    uint32_t Param = 0;
    std::string Name;
};

// Values and item texts of a control travel as Channels values per item (one item for a
// control that is not a list): item k, channel c at k x Channels + c.
class IMixerBackend {
public:
    // A change notification: a line (true) or a control (false) and its identifier.
    using TNotify = std::function<void(bool Line, uint32_t Id)>;

    virtual ~IMixerBackend() = default;
    virtual int DeviceCount() = 0;
    // Notify: report changes through PollFds and HandleEvents.
    virtual bool Open(int Id, bool Notify) = 0;
    virtual void Close() = 0;
    // An identifier of the open device, 0 when none.
    virtual uintptr_t Handle() = 0;
    virtual bool GetCaps(TMixerCaps& Caps) = 0;
    virtual bool GetDestination(uint32_t Index, TMixerLine& Line) = 0;
    virtual bool GetSource(uint32_t Destination, uint32_t Index, TMixerLine& Line) = 0;
    virtual bool GetLineControls(uint32_t LineId, std::vector<TMixerControl>& Controls) = 0;
    virtual bool GetValues(uint32_t ControlId, uint32_t Channels, uint32_t Items, std::vector<int32_t>& Values) = 0;
    virtual bool GetItemTexts(uint32_t ControlId, uint32_t Channels, uint32_t Items,
                              std::vector<TMixerItemText>& Texts) = 0;
    virtual bool SetValues(uint32_t ControlId, uint32_t Channels, uint32_t Items,
                           const std::vector<int32_t>& Values) = 0;
    // The descriptors to watch on the main loop while notifications are on.
    virtual std::vector<pollfd> PollFds() = 0;
    // Reports what changed since the last call.
    virtual void HandleEvents(const TNotify& Notify) = 0;
};
using IMixerBackendPtr = std::shared_ptr<IMixerBackend>;

// The backend of new mixer objects: the ALSA one unless a factory was set (none restores it).
IMixerBackendPtr CreateMixerBackend();
void SetMixerBackendFactory(std::function<IMixerBackendPtr()> Factory);

// A mixer held in memory, for tests: devices are built by hand and written by the mixer.
struct TMemoryMixerModel {
    struct TControl {
        TMixerControl Info;
        std::vector<int32_t> Values;  // one per channel, or one per item of a list
        std::vector<TMixerItemText> Items;
        int Writes = 0;
    };
    struct TLine {
        TMixerLine Info;
        std::vector<TControl> Controls;
    };
    struct TDevice {
        TMixerCaps Caps;
        std::vector<TLine> Destinations;
        std::vector<std::vector<TLine>> Sources;  // per destination
        int FailOpens = 0;                        // the next opens that fail
        int FailNotifyOpens = 0;                  // the next opens with notifications that fail
    };
    std::vector<TDevice> Devices;
    std::vector<std::pair<bool, uint32_t>> Pending;  // notifications not yet handled
    int OpenedWithNotify = -1;                       // of the last open: 1 yes, 0 no

    // Lookups within one device; none when absent.
    static TControl* FindControl(TDevice& Device, uint32_t ControlId);
    static TLine* FindLine(TDevice& Device, uint32_t LineId);
};
using TMemoryMixerModelPtr = std::shared_ptr<TMemoryMixerModel>;

IMixerBackendPtr CreateMemoryMixerBackend(TMemoryMixerModelPtr Model);

}  // namespace kelvar::platform
