#pragma once
// The output thread: one thread per audio device, which cuts the stream into a fixed number of
// packets and asks its owner for audio one packet at a time. Control reaches the thread only
// through events, so the owner never blocks on the device.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/outputs/EventSet.h"
#include "audio/outputs/PacketLayout.h"
#include "foundation/AudioFormat.h"

namespace kelvar {

// Result codes recorded as an output's last error (0 = no error).
constexpr int32_t S_OK = 0;
constexpr int32_t E_FAIL = static_cast<int32_t>(0x80004005);
constexpr int32_t E_INVALIDARG = static_cast<int32_t>(0x80070057);
constexpr int32_t E_POINTER = static_cast<int32_t>(0x80004003);
constexpr int32_t E_UNEXPECTED = static_cast<int32_t>(0x8000FFFF);

constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
// The 40-byte device format: the wave format record, then valid bits, channel mask and the
// sub-format GUID.
struct TWaveFormatExtensible {
    TWaveFormat Format;
    uint16_t ValidBitsPerSample = 0;
    uint32_t ChannelMask = 0;
    uint8_t SubFormat[16] = {};
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormatExtensible) == 40, "the device format is 40 bytes");

// {00000001-0000-0010-8000-00AA00389B71}, the PCM sub-format, in memory order.
extern const uint8_t KSDATAFORMAT_SUBTYPE_PCM[16];

// Playback states of the device threads.
namespace OutputState {
constexpr int Stopped = 0;
constexpr int Paused = 2;
constexpr int Running = 3;
}  // namespace OutputState

// Scales 16-bit samples by Factor with rounding and clipping; 1 leaves them, 0 zeroes them.
void ApplyVolumeFactor(int16_t* Samples, size_t Count, double Factor);

class TOutput {
public:
    // Fills Buffer with up to Length bytes; answers the bytes delivered.
    using TGetDataEvent = std::function<int(void* Buffer, int Length)>;

    // Control events, followed by one event per packet.
    static constexpr int EvTerminate = 0;
    static constexpr int EvStop = 1;
    static constexpr int EvPause = 2;
    static constexpr int EvRun = 3;
    static constexpr int EvVolume = 4;
    static constexpr int EvReset = 5;
    static constexpr int ControlEvents = 6;

    static constexpr int MinPackets = MinDevicePackets;
    static constexpr int MaxPackets = MaxDevicePackets;
    static constexpr int MinPacketMs = MinDevicePacketMs;
    static constexpr int MaxPacketMs = MaxDevicePacketMs;
    static constexpr int ErrorScoreLimit = 100;

    TOutput();
    // Shuts the thread down when the owner has not.
    virtual ~TOutput();
    TOutput(const TOutput&) = delete;
    TOutput& operator=(const TOutput&) = delete;

    // Set before Open; the thread calls it until Shutdown has ended the thread.
    void SetOnGetData(TGetDataEvent Event);
    // Checks the packet settings, then prepares the device and starts the thread (stopped).
    bool Open(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs, int PacketCount);
    void Stop();
    void Pause();
    void Run();
    void Reset();
    void SetMute(bool Value);
    void SetVolume(uint8_t Value);
    bool GetMute() const { return FMute; }
    uint8_t GetVolume() const { return FVolume; }
    void GetLastError(int32_t& Code, std::string& Text);
    // Ends the thread and waits for it; the device is released by the thread on its way out.
    void Shutdown();

    int GetUnderruns() const { return FUnderruns; }
    int GetPacketBytes() const { return FPacketBytes; }
    int GetTotalBytes() const { return FTotalBytes; }
    int GetPacketCount() const { return FPacketCount; }
    int GetPacketMs() const { return FPacketMs; }
    // Whether the thread has ended by itself or by Shutdown.
    bool HasEnded() const { return FEnded; }

protected:
    // The device's own preparation: keep the format, create the events, prepare the device,
    // then StartThread. Failures are recorded with SetError and answer false.
    virtual bool DoOpen(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs,
                        int PacketCount) = 0;
    // The thread body; it ends when the thread should end.
    virtual void Execute() = 0;

    // Records a result other than 0 with Message; answers whether it was 0.
    bool CheckResult(int32_t Result, const std::string& Message);
    bool CheckPointer(const void* Pointer, const std::string& Message);
    void SetError(int32_t Code, const std::string& Message);
    int GetData(void* Buffer, int Length);
    void StartThread();
    // Error score of one pass: an exception adds 10 and answers true when the thread must end;
    // a clean pass takes 1 off.
    bool CountException(const char* What);
    void CountCleanPass();
    // 0 when muted, else Volume / 255.
    double LinearVolumeFactor() const;
    // Whether volume or mute changed since the last call. A packet filled before the thread
    // has seen the volume event (run is handled first) still gets the new volume.
    bool TakeVolumeChange();

    std::unique_ptr<TEventSet> FEvents;
    std::atomic<int> FUnderruns{0};
    int FPacketCount = 0;
    int FPacketMs = 0;
    int FPacketBytes = 0;
    int FTotalBytes = 0;
    int FBlockAlign = 0;
    int FErrorScore = 0;
    std::string FName = "Output";  // in log lines

private:
    void ThreadMain();

    std::mutex FErrorLock;
    int32_t FErrorCode = 0;
    std::string FErrorText;
    std::atomic<bool> FMute{false};
    std::atomic<uint8_t> FVolume{255};
    std::atomic<uint32_t> FVolumeStamp{0};
    uint32_t FVolumeSeen = 0;
    TGetDataEvent FOnGetData;
    std::thread FThread;
    std::atomic<bool> FEnded{false};
    bool FErrorLogged = false;
};
using TOutputPtr = std::unique_ptr<TOutput>;

// Asks for real-time scheduling for the calling thread (at the highest priority the system or
// the user's limit allows); when refused, for the best nice value allowed. Logs once per process
// when real time is refused.
void RaiseThreadPriority(const char* Who);

}  // namespace kelvar
