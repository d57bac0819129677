#include "audio/outputs/EventSet.h"

#include <sys/eventfd.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <ctime>

#include "audio/graph/AudioErrors.h"

namespace kelvar {

namespace {
constexpr int kMaxPoll = 32;
}

TEventSet::TEventSet(int Count) : FCount(Count) {
    if (Count < 1 || Count > MaxEvents) throw EAudioError("Invalid number of events");
    FFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FFd < 0) throw EAudioError("Unable to create events");
}

TEventSet::~TEventSet() {
    if (FFd >= 0) close(FFd);
}

void TEventSet::Set(int Index) {
    if (Index < 0 || Index >= FCount) return;
    FMask.fetch_or(uint64_t{1} << Index, std::memory_order_acq_rel);
    const uint64_t one = 1;
    // A full counter still leaves the descriptor readable, so a failed write loses nothing.
    [[maybe_unused]] ssize_t n = write(FFd, &one, sizeof(one));
}

bool TEventSet::IsSet(int Index) const {
    if (Index < 0 || Index >= FCount) return false;
    return (FMask.load(std::memory_order_acquire) & (uint64_t{1} << Index)) != 0;
}

void TEventSet::ResetAll() {
    FMask.store(0, std::memory_order_release);
    Drain();
}

int TEventSet::TakeLowest() {
    uint64_t mask = FMask.load(std::memory_order_acquire);
    while (mask != 0) {
        const int index = __builtin_ctzll(mask);
        const uint64_t bit = uint64_t{1} << index;
        if (FMask.compare_exchange_weak(mask, mask & ~bit, std::memory_order_acq_rel)) return index;
    }
    return Timeout;
}

void TEventSet::Drain() {
    uint64_t value = 0;
    while (read(FFd, &value, sizeof(value)) > 0) {}
}

int TEventSet::Wait(int TimeoutMs, pollfd* Extra, int ExtraCount) {
    return WaitUs(TimeoutMs < 0 ? -1 : int64_t{TimeoutMs} * 1000, Extra, ExtraCount);
}

int TEventSet::WaitUs(int64_t TimeoutUs, pollfd* Extra, int ExtraCount) {
    if (ExtraCount < 0 || ExtraCount >= kMaxPoll) return Failed;
    // Nothing to wait for: the mask alone answers (Set raises the bit before it writes the
    // descriptor), so an output thread checking between packets makes no system call. A
    // descriptor left readable is drained by the next wait that polls.
    if (TimeoutUs == 0 && ExtraCount == 0) return TakeLowest();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(TimeoutUs < 0 ? 0 : TimeoutUs);
    pollfd fds[kMaxPoll];
    for (;;) {
        const int index = TakeLowest();
        if (index >= 0) return index;
        fds[0].fd = FFd;
        fds[0].events = POLLIN;
        fds[0].revents = 0;
        for (int i = 0; i < ExtraCount; ++i) {
            fds[i + 1] = Extra[i];
            fds[i + 1].revents = 0;
        }
        timespec wait{};
        timespec* waitPtr = nullptr;
        if (TimeoutUs >= 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now())
                    .count();
            if (left < 0) left = 0;
            wait.tv_sec = static_cast<time_t>(left / 1000000000);
            wait.tv_nsec = static_cast<long>(left % 1000000000);
            waitPtr = &wait;
        }
        const int n = ppoll(fds, static_cast<nfds_t>(ExtraCount + 1), waitPtr, nullptr);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Failed;
        }
        // Drained before the mask is looked at again, so a Set racing with this is never lost.
        if (fds[0].revents & POLLIN) Drain();
        bool device = false;
        for (int i = 0; i < ExtraCount; ++i) {
            Extra[i].revents = fds[i + 1].revents;
            if (fds[i + 1].revents != 0) device = true;
        }
        const int index2 = TakeLowest();
        if (index2 >= 0) return index2;
        if (device) return DeviceReady;
        if (n == 0) return Timeout;
    }
}

}  // namespace kelvar
