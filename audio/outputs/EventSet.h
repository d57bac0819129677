#pragma once
// A fixed set of auto-reset events that one thread waits on, in the manner of a wait for any of
// several events: the lowest signalled index wins. Behind it is one eventfd, so a device
// thread can wait on its events and on a device's file descriptors at once. Setting and
// waiting never allocate or take a lock.
#include <poll.h>
#include <atomic>
#include <cstdint>

namespace kelvar {

class TEventSet {
public:
    static constexpr int MaxEvents = 64;
    // Wait results besides an event index.
    static constexpr int Timeout = -1;
    static constexpr int Failed = -2;
    static constexpr int DeviceReady = -3;  // one of the extra descriptors is ready

    // Raises EAudioError when Count is outside 1..MaxEvents or no eventfd can be made.
    explicit TEventSet(int Count);
    ~TEventSet();
    TEventSet(const TEventSet&) = delete;
    TEventSet& operator=(const TEventSet&) = delete;

    int Count() const { return FCount; }
    // Safe from any thread; an index outside the set is ignored.
    void Set(int Index);
    bool IsSet(int Index) const;
    void ResetAll();
    // Takes the lowest signalled event and answers its index; else waits up to TimeoutMs
    // (negative: no limit). Extra descriptors (a device's) are polled with the events; their
    // revents are filled in and DeviceReady answered when one of them is ready.
    int Wait(int TimeoutMs, pollfd* Extra = nullptr, int ExtraCount = 0);
    // Wait with a time-out in microseconds (negative: no limit).
    int WaitUs(int64_t TimeoutUs, pollfd* Extra = nullptr, int ExtraCount = 0);

private:
    int TakeLowest();
    void Drain();

    const int FCount;
    int FFd = -1;
    std::atomic<uint64_t> FMask{0};
};

}  // namespace kelvar
