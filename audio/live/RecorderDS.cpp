#include "audio/live/RecorderDS.h"

#include <alsa/asoundlib.h>
#include <algorithm>

#include "foundation/Logger.h"
#include "foundation/TextUtil.h"

namespace kelvar {

namespace {}  // namespace

TRecorder_DS::TRecorder_DS() { FName = "DS Capture"; }

TRecorder_DS::~TRecorder_DS() { Close(); }

bool TRecorder_DS::OpenPcm(const std::string& Name, const TWaveFormatExtensible& Format, std::string& Reason) {
    const int frames = static_cast<int>(FPacketBytes / std::max<uint32_t>(FBlockAlign, 1));
    return FPcm.Open(Name, true, Format.Format, frames, FPacketCount, false, Reason);
}

bool TRecorder_DS::OpenDevice(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs,
                              int PacketCount) {
    std::string name = TrimSpace(Device);
    if (name.empty()) name = "default";
    SetupPackets(Format.Format, PacketCount, PacketMs);
    TWaveFormatExtensible format = Format;
    std::string reason;
    bool opened = OpenPcm(name, format, reason);
    if (!opened && !FPcm.DeviceOpened() && name != "default") {
        LogMessage(FName + ": capture device \"" + name + "\" not usable (" + reason + "), using the default device",
                   "AUDIO", LogKind::Warning);
        name = "default";
        opened = OpenPcm(name, format, reason);
    }
    if (!opened && !FPcm.DeviceOpened()) {
        LogMessage(FName + ": " + reason, "AUDIO", LogKind::Error);
        SetError(E_FAIL, "Unable to create DirectSoundCapture object");
        return false;
    }
    if (!opened) {
        // Once more with the same format as plain PCM.
        format.Format.FormatTag = WAVE_FORMAT_PCM;
        format.Format.ExtraSize = 0;
        format.ValidBitsPerSample = 0;
        format.ChannelMask = 0;
        std::fill(std::begin(format.SubFormat), std::end(format.SubFormat), 0);
        SetupPackets(format.Format, PacketCount, PacketMs);
        if (!OpenPcm(name, format, reason)) {
            LogMessage(FName + ": " + reason, "AUDIO", LogKind::Error);
            SetError(E_FAIL, "Unable to create secondary capture buffer");
            return false;
        }
    }
    FFormat = format;
    CreateEvents();
    FSlots.assign(FBufferBytes, 0);
    FNextSlot = 0;
    FFill = 0;
    SetRunState(StateStopped);
    StartThread();
    return true;
}

void TRecorder_DS::StopDevice() {
    if (FPcm.Drop() < 0 || FPcm.Prepare() < 0) SetError(E_FAIL, "Unable to stop DS buffer");
}

void TRecorder_DS::RunDevice() {
    if (FPcm.State() == SND_PCM_STATE_PREPARED && FPcm.Start() < 0) SetError(E_FAIL, "Unable to run DS buffer");
}

bool TRecorder_DS::ReadAvailable() {
    for (;;) {
        const long avail = FPcm.Avail();
        if (avail < 0) {
            LogMessage(FName + ": " + platform::TAlsaPcm::ErrorText(static_cast<int>(avail)), "AUDIO", LogKind::Error);
            SetError(E_FAIL, "Unable to obtain lock on sound buffer");
            return false;
        }
        // An overrun was recovered: the stream is prepared again and must be started.
        RunDevice();
        if (avail == 0) return true;
        uint8_t* slot = FSlots.data() + static_cast<size_t>(FNextSlot) * FPacketBytes;
        const long frames = std::min<long>(avail, (FPacketBytes - FFill) / FBlockAlign);
        const long n = FPcm.Read(slot + FFill, frames);
        if (n < 0) {
            LogMessage(FName + ": " + platform::TAlsaPcm::ErrorText(static_cast<int>(n)), "AUDIO", LogKind::Error);
            SetError(E_FAIL, "Unable to obtain lock on sound buffer");
            return false;
        }
        if (n == 0) return true;
        FFill += static_cast<uint32_t>(n) * FBlockAlign;
        CountCaptured(static_cast<uint32_t>(n) * FBlockAlign);
        if (FFill < FPacketBytes) continue;
        FFill = 0;
        FNextSlot = (FNextSlot + 1) % FPacketCount;
        DeliverData(slot, FPacketBytes);
        if (PaceDelayMs() > 0) return true;
    }
}

void TRecorder_DS::Execute() {
    for (;;) {
        const bool running = FRunState == StateRunning;
        const int delay = running ? PaceDelayMs() : 0;
        const bool poll = running && delay == 0;
        const int event =
            FEvents->Wait(delay > 0 ? delay : -1, poll ? FPcm.PollFds() : nullptr, poll ? FPcm.PollCount() : 0);
        if (event == EvTerminate) break;
        if (event == TEventSet::Failed) {
            SetError(E_FAIL, "DS Thread: Wait failed");
            break;
        }
        if (event == EvStop) {
            SetRunState(StateStopped);
            StopDevice();
        } else if (event == EvRun) {
            if (FRunState == StateStopped) {
                for (int i = 0; i < FPacketCount; ++i) FEvents->Set(EvFirstPacket + i);
                ResetPace();
            }
            SetRunState(StateRunning);
            RunDevice();
        } else if (event >= EvFirstPacket) {
            if (FRunState == StateStopped) continue;
            // A slot as it stands in the ring.
            DeliverData(FSlots.data() + static_cast<size_t>(event - EvFirstPacket) * FPacketBytes, FPacketBytes);
        } else if (event == TEventSet::DeviceReady) {
            if (FPcm.PollReady() && !ReadAvailable()) break;
        }
    }
    if (FPcm.IsOpen() && FPcm.Drop() < 0) SetError(E_FAIL, "Unable to stop DS buffer");
    FPcm.Close();
}

}  // namespace kelvar
