#include "audio/live/RecorderKS.h"

#include <algorithm>

#include "audio/graph/AudioErrors.h"
#include "audio/outputs/DirectKS_API.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {
constexpr int32_t KS_NO_PIN = static_cast<int32_t>(0x80040294);
}

TRecorder_KS::TRecorder_KS() { FName = "KS Capture"; }

TRecorder_KS::~TRecorder_KS() {
    Close();
    ReleaseDevice();
}

void TRecorder_KS::ReleaseDevice() {
    if (FDriver) {
        if (FPin) FDriver->Pin_ClosePin(FPin);
        if (FFilter) FDriver->Filter_Destroy(FFilter);
    }
    FPin = 0;
    FFilter = 0;
    FDriver.reset();
    FHeaders.clear();
    FOverlapped.clear();
    FData.clear();
    FDeferred.clear();
    FCompleted.clear();
    FQueued.clear();
    FOrder.clear();
    FOrderHead = 0;
    FOrderCount = 0;
}

bool TRecorder_KS::OpenDevice(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs,
                              int PacketCount) {
    std::string path = Device;
    if (path.empty()) {
        std::vector<std::string> names, paths;
        try {
            ListKSCaptureDevices(names, paths);
        } catch (const EAudioError& e) {
            LogMessage(FName + ": " + e.what(), "AUDIO", LogKind::Error);
        }
        if (!paths.empty()) path = paths.front();
    }
    if (!LoadDirectKS()) {
        SetError(E_UNEXPECTED, "Unable to load DirectKS driver");
        return false;
    }
    FDriver = GetKSDriver();
    if (!CheckAssigned(FDriver.get(), "Unable to load DirectKS driver")) return false;
    auto fail = [this] {
        ReleaseDevice();
        return false;
    };
    if (!Check(FDriver->FilterCapture_Create(FFilter, path.c_str()), "Unable to create KS filter on device"))
        return fail();
    if (!CheckAssigned(reinterpret_cast<const void*>(FFilter), "Null KS filter")) return fail();
    if (!Check(FDriver->Filter_Instantiate(FFilter), "Unable to instantiate KS filter")) return fail();
    if (!Check(FDriver->Filter_EnumeratePins(FFilter), "Unable to EnumeratePins on KS filter")) return fail();
    // Only the pin counts, as for playback.
    FDriver->FilterCapture_CreatePin(FFilter, Format, FPin);
    if (FPin == 0) {
        SetError(KS_NO_PIN, "Unable to create KS pin on filter");
        return fail();
    }
    FFormat = Format;
    SetupPackets(Format.Format, PacketCount, PacketMs);
    CreateEvents();
    FHeaders.assign(static_cast<size_t>(PacketCount), TKSStreamHeader{});
    FOverlapped.assign(static_cast<size_t>(PacketCount), TKSOverlapped{});
    FData.assign(static_cast<size_t>(PacketCount), std::vector<uint8_t>(FPacketBytes, 0));
    FCompleted.assign(static_cast<size_t>(PacketCount), false);
    FQueued.assign(static_cast<size_t>(PacketCount), false);
    FOrder.assign(static_cast<size_t>(PacketCount), 0);
    FOrderHead = 0;
    FOrderCount = 0;
    for (int i = 0; i < PacketCount; ++i) {
        TKSStreamHeader& header = FHeaders[static_cast<size_t>(i)];
        header.FrameExtent = FPacketBytes;
        header.DataUsed = 0;
        header.Data = FData[static_cast<size_t>(i)].data();
        FOverlapped[static_cast<size_t>(i)].Events = FEvents.get();
        FOverlapped[static_cast<size_t>(i)].EventIndex = EvFirstPacket + i;
    }
    SetRunState(StateStopped);
    StartThread();
    return true;
}

bool TRecorder_KS::Submit(int Index) {
    TKSStreamHeader& header = FHeaders[static_cast<size_t>(Index)];
    header.DataUsed = 0;
    if (!Check(FDriver->Pin_ReadData(FPin, header, FOverlapped[static_cast<size_t>(Index)]),
               "Unable to write packet to KS pin"))
        return false;
    FQueued[static_cast<size_t>(Index)] = true;
    FOrder[(FOrderHead + FOrderCount) % FOrder.size()] = Index;
    ++FOrderCount;
    return true;
}

void TRecorder_KS::Execute() {
    bool go = true;
    while (go) {
        const bool running = FRunState == StateRunning;
        const int delay = running ? PaceDelayMs() : 0;
        if (running && delay == 0 && !FDeferred.empty()) {
            for (int index : FDeferred) {
                if (!Submit(index)) go = false;
            }
            FDeferred.clear();
            if (!go) break;
        }
        const int event = FEvents->Wait(delay > 0 && !FDeferred.empty() ? delay : -1);
        if (event == EvTerminate) break;
        if (event == TEventSet::Failed) {
            SetError(E_FAIL, "KS Thread: Wait failed");
            break;
        }
        if (event == EvStop) {
            SetRunState(StateStopped);
            FDeferred.clear();
            // The pin completes every header it holds; they come back as packet events.
            Check(FDriver->Pin_SetState(FPin, KSState::Stop), "Unable to stop KS pin");
        } else if (event == EvRun) {
            const int previous = FRunState;
            SetRunState(StateRunning);
            Check(FDriver->Pin_SetState(FPin, KSState::Run), "Unable to run KS pin");
            if (previous == StateStopped) {
                ResetPace();
                // Headers whose completion is still to be taken are queued again when it is.
                for (int i = 0; i < FPacketCount && go; ++i) {
                    if (!FQueued[static_cast<size_t>(i)]) go = Submit(i);
                }
            }
        } else if (event >= EvFirstPacket && event < EvFirstPacket + FPacketCount) {
            const auto completed = static_cast<size_t>(event - EvFirstPacket);
            if (FQueued[completed]) FCompleted[completed] = true;
            while (go && FOrderCount > 0 && FCompleted[static_cast<size_t>(FOrder[FOrderHead])]) {
                const int index = FOrder[FOrderHead];
                FOrderHead = (FOrderHead + 1) % FOrder.size();
                --FOrderCount;
                FCompleted[static_cast<size_t>(index)] = false;
                FQueued[static_cast<size_t>(index)] = false;
                TKSStreamHeader& header = FHeaders[static_cast<size_t>(index)];
                if (header.DataUsed > 0) {
                    CountCaptured(header.DataUsed);
                    DeliverData(header.Data, header.DataUsed);
                }
                // Stopped: the next run queues it again.
                if (FRunState != StateRunning) continue;
                if (PaceDelayMs() > 0) {
                    FDeferred.push_back(index);
                } else {
                    go = Submit(index);
                }
            }
        }
    }
    Check(FDriver->Pin_SetState(FPin, KSState::Pause), "Unable to pause KS pin");
    Check(FDriver->Pin_SetState(FPin, KSState::Stop), "Unable to stop KS pin");
    FDriver->Pin_ClosePin(FPin);
    FPin = 0;
    FDriver->Filter_Destroy(FFilter);
    FFilter = 0;
}

}  // namespace kelvar
