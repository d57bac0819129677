#include "audio/outputs/Output_imp.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "foundation/Logger.h"
#include "foundation/MixUtils.h"
#include "foundation/ThreadName.h"

namespace kelvar {

const uint8_t KSDATAFORMAT_SUBTYPE_PCM[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                              0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

namespace {
std::atomic<bool> GPriorityRefusalLogged{false};

bool SetFifo(int Priority) {
    sched_param param{};
    param.sched_priority = Priority;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}
}  // namespace

void RaiseThreadPriority(const char* Who) {
    if (SetFifo(sched_get_priority_max(SCHED_FIFO))) return;
    // Without the right to any real-time priority, the user's limit may still grant some.
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0 &&
        SetFifo(static_cast<int>(std::min<rlim_t>(limit.rlim_cur, sched_get_priority_max(SCHED_FIFO)))))
        return;
    // Else the best nice value allowed, so the scheduler still favours the on-air path.
    int nice = 0;
    if (getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur > 0)
        nice = 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
    nice = std::max(nice, -10);
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    const bool raised = nice < 0 && setpriority(PRIO_PROCESS, tid, nice) == 0;
    if (!GPriorityRefusalLogged.exchange(true)) {
        LogMessage(std::string(Who) + ": real-time priority refused, running at " +
                       (raised ? "raised priority (nice " + std::to_string(nice) + ")" : "normal priority"),
                   "AUDIO", LogKind::Warning);
    }
}

void ApplyVolumeFactor(int16_t* Samples, size_t Count, double Factor) {
    if (Factor == 1.0) return;
    if (Factor <= 0.0) {
        for (size_t i = 0; i < Count; ++i) Samples[i] = 0;
        return;
    }
    for (size_t i = 0; i < Count; ++i) {
        Samples[i] = static_cast<int16_t>(Clip16(static_cast<int>(std::lround(Samples[i] * Factor))));
    }
}

TOutput::TOutput() = default;

TOutput::~TOutput() { Shutdown(); }

void TOutput::SetOnGetData(TGetDataEvent Event) { FOnGetData = std::move(Event); }

bool TOutput::Open(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs, int PacketCount) {
    if (const std::string text = PacketLayoutError(PacketCount, PacketMs); !text.empty()) {
        SetError(E_INVALIDARG, text);
        return false;
    }
    if (FThread.joinable()) {
        SetError(E_UNEXPECTED, "Output already open");
        return false;
    }
    FBlockAlign = Format.Format.BlockAlign;
    if (FBlockAlign <= 0) {
        SetError(E_INVALIDARG, "Invalid audio format");
        return false;
    }
    FPacketCount = PacketCount;
    FPacketMs = PacketMs;
    FPacketBytes = static_cast<int>(MsToBytes(Format.Format, PacketMs));
    FPacketBytes -= FPacketBytes % FBlockAlign;
    FTotalBytes = FPacketBytes * PacketCount;
    return DoOpen(Device, Format, PacketMs, PacketCount);
}

void TOutput::Stop() {
    if (FEvents) FEvents->Set(EvStop);
}

void TOutput::Pause() {
    if (FEvents) FEvents->Set(EvPause);
}

void TOutput::Run() {
    if (FEvents) FEvents->Set(EvRun);
}

void TOutput::Reset() {
    if (FEvents) FEvents->Set(EvReset);
}

void TOutput::SetMute(bool Value) {
    FMute = Value;
    ++FVolumeStamp;
    if (FEvents) FEvents->Set(EvVolume);
}

void TOutput::SetVolume(uint8_t Value) {
    FVolume = Value;
    ++FVolumeStamp;
    if (FEvents) FEvents->Set(EvVolume);
}

void TOutput::GetLastError(int32_t& Code, std::string& Text) {
    std::lock_guard<std::mutex> guard(FErrorLock);
    Code = FErrorCode;
    Text = FErrorText;
}

void TOutput::Shutdown() {
    if (FEvents) FEvents->Set(EvTerminate);
    if (FThread.joinable()) {
        // A waiting thread must not be starved by the real-time one it waits for.
        sched_param param{};
        pthread_setschedparam(FThread.native_handle(), SCHED_OTHER, &param);
        FThread.join();
    }
    // Only now: the thread may have been inside the callback until it ended.
    FOnGetData = nullptr;
}

bool TOutput::CheckResult(int32_t Result, const std::string& Message) {
    if (Result != 0) SetError(Result, Message);
    return Result == 0;
}

bool TOutput::CheckPointer(const void* Pointer, const std::string& Message) {
    if (Pointer == nullptr) SetError(E_POINTER, Message);
    return Pointer != nullptr;
}

void TOutput::SetError(int32_t Code, const std::string& Message) {
    std::lock_guard<std::mutex> guard(FErrorLock);
    FErrorCode = Code;
    FErrorText = Message;
}

int TOutput::GetData(void* Buffer, int Length) { return FOnGetData ? FOnGetData(Buffer, Length) : 0; }

void TOutput::StartThread() {
    FEnded = false;
    FThread = std::thread([this] { ThreadMain(); });
}

void TOutput::ThreadMain() {
    SetCurrentThreadName("kelvar-output");
    RaiseThreadPriority(FName.c_str());
    try {
        Execute();
    } catch (const std::exception& e) {
        // Execute counts exceptions per pass; this is only what escaped its own handling.
        LogMessage(FName + ": " + e.what(), "AUDIO", LogKind::Exception);
    } catch (...) {
        LogMessage(FName + ": unknown exception", "AUDIO", LogKind::Exception);
    }
    FEnded = true;
}

bool TOutput::CountException(const char* What) {
    FErrorScore += 10;
    if (!FErrorLogged) {
        // One line per run of failures, so a failing source does not flood the log.
        FErrorLogged = true;
        LogMessage(FName + ": " + What, "AUDIO", LogKind::Exception);
    }
    if (FErrorScore > ErrorScoreLimit) {
        SetError(E_FAIL, std::string(What));
        LogMessage(FName + ": too many errors, output thread ends", "AUDIO", LogKind::Error);
        return true;
    }
    return false;
}

void TOutput::CountCleanPass() {
    if (FErrorScore > 0) --FErrorScore;
    if (FErrorScore == 0) FErrorLogged = false;
}

bool TOutput::TakeVolumeChange() {
    const uint32_t stamp = FVolumeStamp.load();
    if (stamp == FVolumeSeen) return false;
    FVolumeSeen = stamp;
    return true;
}

double TOutput::LinearVolumeFactor() const { return FMute ? 0.0 : FVolume / 255.0; }

}  // namespace kelvar
