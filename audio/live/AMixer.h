#pragma once
// Volume, mute and recording selection of the lines of a sound card's mixer: a tree of the
// device's destination lines, their source lines (connections) and each line's controls, read
// once when a device is opened. Main thread only: change notifications arrive through
// HandleNotifications, which the main loop calls when one of GetPollFds is readable.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/alsa/MixerBackend.h"

namespace kelvar {

// An owning list of items.
template <class T>
class TPointerList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    // The item or none.
    T* Get(int Index) const {
        return Index >= 0 && Index < Count() ? FItems[static_cast<size_t>(Index)].get() : nullptr;
    }
    void Add(std::unique_ptr<T> Item) { FItems.push_back(std::move(Item)); }
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<T>> FItems;
};

// All control records of one line.
class TMixerControls {
public:
    std::vector<platform::TMixerControl> Items;
};

class TMixerConnection {
public:
    platform::TMixerLine Line;
    TMixerControls Controls;
};

class TMixerConnections : public TPointerList<TMixerConnection> {
public:
    TMixerConnection* GetConnection(int Index) const { return Get(Index); }
};

class TMixerDestination {
public:
    platform::TMixerLine Line;
    TMixerConnections Connections;
    TMixerControls Controls;
};

class TMixerDestinations : public TPointerList<TMixerDestination> {
public:
    TMixerDestination* GetDestination(int Index) const { return Get(Index); }
};

// The notification messages of WindowProc.
namespace MixerMessage {
constexpr uint32_t LineChange = 0x3D0;
constexpr uint32_t ControlChange = 0x3D1;
}  // namespace MixerMessage

class TAudioMixer {
public:
    using TChangeEvent = std::function<void(TAudioMixer& Sender, uintptr_t MixerHandle, uint32_t Id)>;

    // Opens device 0 when there is one. The backend comes from platform::CreateMixerBackend.
    TAudioMixer();
    ~TAudioMixer();
    TAudioMixer(const TAudioMixer&) = delete;
    TAudioMixer& operator=(const TAudioMixer&) = delete;

    // Ids outside 0 .. devices - 1 are ignored.
    void SetMixerId(int Id);
    void Close();

    // Connection -1: the destination line itself. False when there is no such line.
    bool GetVolume(int Destination, int Connection, int& Left, int& Right, int& Mute, bool& Stereo, bool& VolDisabled,
                   bool& MuteDisabled, bool& IsSelect);
    // -1 leaves a value as it is; Right -1 with a Left given means Right := Left.
    bool SetVolume(int Destination, int Connection, int Left, int Right, int Mute);

    // Dispatches a notification message to OnLineChange or OnControlChange.
    void WindowProc(uint32_t Message, uintptr_t MixerHandle, uint32_t Id);
    std::vector<pollfd> GetPollFds();
    void HandleNotifications();

    int MixerId() const { return FMixerId; }
    int DeviceCount() const { return FDeviceCount; }
    uint32_t DriverVersion() const { return FCaps.DriverVersion; }
    uint16_t ProductId() const { return FCaps.ProductId; }
    int NumberOfLine() const { return FNumberOfLine; }
    const std::string& Manufacturer() const { return FManufacturer; }
    const std::string& ProductName() const { return FCaps.ProductName; }
    // Empty while no device is open.
    const TMixerDestinations& Destinations() const { return FDestinations; }

    TChangeEvent OnLineChange;
    TChangeEvent OnControlChange;

private:
    void ReadControls(uint32_t LineId, TMixerControls& Controls);
    // The line (and its controls) of Destination/Connection; false when absent.
    bool FindLine(int Destination, int Connection, TMixerDestination*& Dest, const platform::TMixerLine*& Line,
                  TMixerControls*& Controls);
    // Channels to read a control with: one when uniform, else the line's.
    static uint32_t ChannelsOf(const platform::TMixerControl& Control, const platform::TMixerLine& Line);
    // Position of the source line's item in a list control's texts; -1 when absent.
    int FindItem(const platform::TMixerControl& Control, uint32_t Channels, uint32_t LineId);

    platform::IMixerBackendPtr FBackend;
    int FDeviceCount = 0;
    int FMixerId = -1;
    int FNumberOfLine = 0;
    std::string FManufacturer;
    platform::TMixerCaps FCaps;
    TMixerDestinations FDestinations;
};

}  // namespace kelvar
