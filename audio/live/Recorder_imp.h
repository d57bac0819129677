#pragma once
// The capture thread base: fixed-size packets of PCM from a recording device, delivered to
// OnData on the thread itself. Control reaches the thread only through its events, so callers
// never block on the device. The drivers derive from it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/outputs/EventSet.h"
#include "audio/outputs/Output_imp.h"
#include "audio/outputs/PacketLayout.h"
#include "foundation/AudioFormat.h"

namespace kelvar {

class TRecorder {
public:
    // Receives every captured packet on the capture thread.
    using TDataEvent = std::function<void(const void* Buffer, uint32_t Bytes)>;

    // Control events, followed by one event per packet.
    static constexpr int EvTerminate = 0;
    static constexpr int EvStop = 1;
    static constexpr int EvUnused = 2;
    static constexpr int EvRun = 3;
    static constexpr int EvFirstPacket = 4;

    static constexpr int MinPackets = MinDevicePackets;
    static constexpr int MaxPackets = MaxDevicePackets;
    static constexpr int MinPacketMs = MinDevicePacketMs;
    static constexpr int MaxPacketMs = MaxDevicePacketMs;

    // Run states of the thread.
    static constexpr int StateStopped = 0;
    static constexpr int StateRunning = 3;

    TRecorder();
    // Closes the thread when the owner has not.
    virtual ~TRecorder();
    TRecorder(const TRecorder&) = delete;
    TRecorder& operator=(const TRecorder&) = delete;

    // Set before Open; called until Close has ended the thread.
    TDataEvent OnData;

    // Checks the packet settings, then opens the device and starts the thread (stopped).
    bool Open(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs, int PacketCount);
    void SetupPackets(const TWaveFormat& Format, int Count, int Ms);
    void Run();
    void Stop();
    // Ends the thread and waits for it; the device is released by the thread on its way out.
    void Close();
    void GetLastError(int32_t& Code, std::string& Text);

    int GetPacketCount() const { return FPacketCount; }
    int GetPacketTime() const { return FPacketTime; }
    uint32_t GetPacketBytes() const { return FPacketBytes; }
    uint32_t GetBufferBytes() const { return FBufferBytes; }
    // The format the device was opened with.
    const TWaveFormatExtensible& GetFormat() const { return FFormat; }
    int GetRunState() const { return FRunStateShown; }
    // Whether a thread was started and has ended (by itself or by Close).
    bool HasEnded() const { return FEnded; }

protected:
    // The driver's preparation: SetupPackets, open the device, CreateEvents, StartThread.
    // Failures are recorded with SetError and answer false.
    virtual bool OpenDevice(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs,
                            int PacketCount) = 0;
    // The thread body; it ends when the thread should end.
    virtual void Execute() = 0;

    void SetError(int32_t Code, const std::string& Text);
    // Records a result other than 0 with Text; answers whether it was 0.
    bool Check(int32_t Result, const std::string& Text);
    bool CheckAssigned(const void* Pointer, const std::string& Text);
    void CreateEvents();
    void StartThread();
    void DeliverData(const void* Buffer, uint32_t Bytes);
    void SetRunState(int State);

    // A device that hands out audio faster than real time (a file or null PCM) is held back to
    // about the clock, so that a time-critical thread never spins: the milliseconds to wait
    // before the next read, 0 when it may read now.
    int PaceDelayMs();
    void ResetPace();
    void CountCaptured(uint32_t Bytes);

    std::unique_ptr<TEventSet> FEvents;
    TWaveFormatExtensible FFormat{};
    int FRunState = StateStopped;
    int FPacketCount = 0;
    int FPacketTime = 0;
    uint32_t FPacketBytes = 0;
    uint32_t FBufferBytes = 0;
    uint32_t FBlockAlign = 0;
    std::string FName = "Recorder";  // in log lines

private:
    void ThreadMain();

    std::mutex FErrorLock;
    int32_t FErrorCode = 0;
    std::string FErrorText;
    std::thread FThread;
    std::atomic<bool> FEnded{false};
    std::atomic<bool> FClosing{false};
    std::atomic<int> FRunStateShown{StateStopped};
    int64_t FPaceStart = 0;
    uint64_t FCapturedBytes = 0;
};

}  // namespace kelvar
