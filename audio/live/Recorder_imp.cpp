#include "audio/live/Recorder_imp.h"

#include <pthread.h>
#include <sched.h>
#include <cstdio>

#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/ThreadName.h"

namespace kelvar {

TRecorder::TRecorder() = default;

TRecorder::~TRecorder() { Close(); }

bool TRecorder::Open(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs, int PacketCount) {
    if (const std::string text = PacketLayoutError(PacketCount, PacketMs); !text.empty()) {
        SetError(E_INVALIDARG, text);
        return false;
    }
    if (FThread.joinable()) {
        SetError(E_UNEXPECTED, "Recorder already open");
        return false;
    }
    if (Format.Format.BlockAlign == 0 || Format.Format.SamplesPerSec == 0) {
        SetError(E_INVALIDARG, "Invalid audio format");
        return false;
    }
    SetupPackets(Format.Format, PacketCount, PacketMs);
    return OpenDevice(Device, Format, PacketMs, PacketCount);
}

void TRecorder::SetupPackets(const TWaveFormat& Format, int Count, int Ms) {
    FPacketCount = Count;
    FPacketTime = Ms;
    FBlockAlign = Format.BlockAlign;
    FPacketBytes = static_cast<uint32_t>(MsToBytes(Format, Ms));
    if (FBlockAlign > 0) FPacketBytes -= FPacketBytes % FBlockAlign;
    FBufferBytes = FPacketBytes * static_cast<uint32_t>(Count);
}

void TRecorder::Run() {
    if (FEvents) FEvents->Set(EvRun);
}

void TRecorder::Stop() {
    if (FEvents) FEvents->Set(EvStop);
}

void TRecorder::Close() {
    FClosing = true;
    if (FEvents) FEvents->Set(EvTerminate);
    if (FThread.joinable()) {
        // The closing thread must not be starved by the time-critical one it waits for.
        sched_param param{};
        pthread_setschedparam(FThread.native_handle(), SCHED_OTHER, &param);
        FThread.join();
    }
    FEvents.reset();
}

void TRecorder::GetLastError(int32_t& Code, std::string& Text) {
    std::lock_guard<std::mutex> guard(FErrorLock);
    Code = FErrorCode;
    Text = FErrorText;
}

void TRecorder::SetError(int32_t Code, const std::string& Text) {
    std::lock_guard<std::mutex> guard(FErrorLock);
    FErrorCode = Code;
    FErrorText = Text;
}

bool TRecorder::Check(int32_t Result, const std::string& Text) {
    if (Result != 0) SetError(Result, Text);
    return Result == 0;
}

bool TRecorder::CheckAssigned(const void* Pointer, const std::string& Text) {
    if (Pointer == nullptr) SetError(E_POINTER, Text);
    return Pointer != nullptr;
}

void TRecorder::CreateEvents() { FEvents = std::make_unique<TEventSet>(EvFirstPacket + FPacketCount); }

void TRecorder::StartThread() {
    FEnded = false;
    FClosing = false;
    FThread = std::thread([this] { ThreadMain(); });
}

void TRecorder::ThreadMain() {
    SetCurrentThreadName("kelvar-capture");
    RaiseThreadPriority(FName.c_str());
    try {
        Execute();
    } catch (const std::exception& e) {
        // No error score: an exception ends the capture.
        SetError(E_FAIL, e.what());
        LogMessage(FName + ": " + e.what(), "AUDIO", LogKind::Exception);
    } catch (...) {
        SetError(E_FAIL, "unknown exception");
        LogMessage(FName + ": unknown exception", "AUDIO", LogKind::Exception);
    }
    if (!FClosing) {
        // Capture does not restart by itself: whoever listens gets nothing more.
        int32_t code = 0;
        std::string text;
        GetLastError(code, text);
        LogMessage(FName + ": capture ended (" + text + ")", "AUDIO", LogKind::Error);
    }
    FRunStateShown = StateStopped;
    FEnded = true;
}

void TRecorder::DeliverData(const void* Buffer, uint32_t Bytes) {
    if (OnData) OnData(Buffer, Bytes);
}

void TRecorder::SetRunState(int State) {
    FRunState = State;
    FRunStateShown = State;
}

void TRecorder::ResetPace() {
    FPaceStart = MsSinceStart();
    FCapturedBytes = 0;
}

void TRecorder::CountCaptured(uint32_t Bytes) { FCapturedBytes += Bytes; }

int TRecorder::PaceDelayMs() {
    const uint32_t perSecond = FFormat.Format.AvgBytesPerSec;
    if (perSecond == 0) return 0;
    const int64_t capturedMs = static_cast<int64_t>(FCapturedBytes * 1000 / perSecond);
    const int64_t elapsed = MsSinceStart() - FPaceStart;
    // One buffer ahead of the clock is what a real device may hold ready; 2 % more covers any
    // drift of a real device's clock against ours, so a real device is never held back.
    const int64_t ahead = capturedMs - elapsed - static_cast<int64_t>(FPacketTime) * FPacketCount - elapsed / 50;
    return ahead > 0 ? static_cast<int>(ahead) : 0;
}

}  // namespace kelvar
