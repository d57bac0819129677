#include "audio/outputs/OutputKS.h"

#include <algorithm>
#include <cstring>

#include "audio/graph/AudioErrors.h"
#include "audio/outputs/DirectKS_API.h"

namespace kelvar {

namespace {
constexpr int32_t KS_E_CREATE_PIN = static_cast<int32_t>(0x80040294);
}

TOutput_KS::TOutput_KS() { FName = "KS Thread"; }

TOutput_KS::~TOutput_KS() {
    Shutdown();
    Release();
}

void TOutput_KS::Release() {
    if (!FDriver) return;
    if (FPin != 0) {
        FDriver->Pin_ClosePin(FPin);
        FPin = 0;
    }
    if (FFilter != 0) FDriver->Filter_Destroy(FFilter);
    FFilter = 0;
}

bool TOutput_KS::DoOpen(const std::string& Device, const TWaveFormatExtensible& Format, int, int PacketCount) {
    FFormat = Format;
    if (!LoadDirectKS()) {
        SetError(E_UNEXPECTED, "Unable to load DirectKS driver");
        return false;
    }
    FDriver = GetKSDriver();
    if (!FDriver) {
        SetError(E_UNEXPECTED, "Unable to load DirectKS driver");
        return false;
    }
    auto fail = [this] {
        Release();
        return false;
    };
    if (!CheckResult(FDriver->FilterRender_Create(FFilter, Device.c_str()), "Unable to create KS filter on device"))
        return fail();
    if (FFilter == 0) {
        SetError(E_POINTER, "Null KS filter");
        return fail();
    }
    if (!CheckResult(FDriver->Filter_Instantiate(FFilter), "Unable to instantiate KS filter")) return fail();
    if (!CheckResult(FDriver->Filter_EnumeratePins(FFilter), "Unable to EnumeratePins on KS filter")) return fail();
    FDriver->FilterRender_CreatePin(FFilter, Format, FPin);
    if (FPin == 0) {
        SetError(KS_E_CREATE_PIN, "Unable to create KS pin on filter");
        return fail();
    }
    FEvents = std::make_unique<TEventSet>(ControlEvents + PacketCount);
    FData.assign(static_cast<size_t>(FTotalBytes), 0);
    FHeaders.assign(static_cast<size_t>(PacketCount), TKSStreamHeader{});
    FOverlapped.assign(static_cast<size_t>(PacketCount), TKSOverlapped{});
    for (int i = 0; i < PacketCount; ++i) {
        auto& header = FHeaders[static_cast<size_t>(i)];
        header.FrameExtent = static_cast<uint32_t>(FPacketBytes);
        header.Data = FData.data() + static_cast<size_t>(i) * static_cast<size_t>(FPacketBytes);
        FOverlapped[static_cast<size_t>(i)] = {FEvents.get(), ControlEvents + i};
    }
    FUnderruns = 0;
    FState = OutputState::Stopped;
    FErrorScore = 0;
    StartThread();
    return true;
}

void TOutput_KS::SetFactor() {
    TakeVolumeChange();
    FFactor = LinearVolumeFactor();
}

bool TOutput_KS::SetPinState(int32_t State, const char* Message) {
    return CheckResult(FDriver->Pin_SetState(FPin, State), Message);
}

void TOutput_KS::SignalAllPackets() {
    for (int i = 0; i < FPacketCount; ++i) FEvents->Set(ControlEvents + i);
}

void TOutput_KS::FillPacket(int Index) {
    if (TakeVolumeChange()) SetFactor();
    auto& header = FHeaders[static_cast<size_t>(Index)];
    auto* data = static_cast<uint8_t*>(header.Data);
    int n = std::min(GetData(data, FPacketBytes), FPacketBytes);
    if (n <= 0) {
        ++FUnderruns;
        std::memset(data, 0, static_cast<size_t>(FPacketBytes));
        n = FPacketBytes;
    }
    if (n % FBlockAlign != 0) {
        SetError(E_INVALIDARG, "Data size not a valid block size!");
        throw EAudioError("Data size not a valid block size!");
    }
    ApplyVolumeFactor(reinterpret_cast<int16_t*>(data), static_cast<size_t>(n / 2), FFactor);
    header.DataUsed = static_cast<uint32_t>(n);
    // A failed write is recorded; playback goes on.
    CheckResult(FDriver->Pin_WriteData(FPin, header, FOverlapped[static_cast<size_t>(Index)]),
                "Unable to write packet to KS pin");
}

void TOutput_KS::Execute() {
    SetFactor();
    bool go = true;
    while (go) {
        const int event = FEvents->Wait(-1);
        try {
            go = Pass(event);
            CountCleanPass();
        } catch (const std::exception& e) {
            if (CountException(e.what())) go = false;
        } catch (...) {
            if (CountException("unknown exception")) go = false;
        }
    }
    if (FPin != 0) {
        SetPinState(KSState::Pause, "Unable to pause KS pin");
        SetPinState(KSState::Stop, "Unable to stop KS pin");
    }
    Release();
}

bool TOutput_KS::Pass(int Event) {
    switch (Event) {
        case EvTerminate: return false;
        case EvStop:
            FState = OutputState::Stopped;
            SetPinState(KSState::Stop, "Unable to stop KS pin");
            break;
        case EvPause:
            if (FState == OutputState::Stopped) SignalAllPackets();
            FState = OutputState::Paused;
            SetPinState(KSState::Pause, "Unable to pause KS pin");
            break;
        case EvRun:
            if (FState == OutputState::Stopped) SignalAllPackets();
            FState = OutputState::Running;
            SetPinState(KSState::Run, "Unable to run KS pin");
            break;
        case EvVolume: SetFactor(); break;
        case EvReset: {
            // As the DS output: the state before the reset comes back in this pass, so a Stop or
            // Pause asked for after the reset is never undone by a run left for later.
            const int previous = FState;
            if (FState != OutputState::Stopped) SetPinState(KSState::Stop, "Unable to stop KS pin");
            FState = OutputState::Stopped;
            if (previous == OutputState::Paused) return Pass(EvPause);
            if (previous == OutputState::Running) return Pass(EvRun);
            break;
        }
        default:
            if (Event >= ControlEvents && Event < ControlEvents + FPacketCount) {
                if (FState != OutputState::Stopped) FillPacket(Event - ControlEvents);
                break;
            }
            SetError(E_FAIL, "KS Thread: Wait failed");
            return false;
    }
    FStateShown = FState;
    return true;
}

}  // namespace kelvar
