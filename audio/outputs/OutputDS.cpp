#include "audio/outputs/OutputDS.h"

#include <alsa/asoundlib.h>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/dButils.h"

namespace kelvar {

int32_t DSVolumeAttenuation(uint8_t Volume, bool Mute) {
    if (Mute || Volume == 0) return -10000;
    const double hundredths = std::round(LinearToDb255(Volume) * 100.0);
    return static_cast<int32_t>(std::max(hundredths, -10000.0));
}

double AttenuationToFactor(int32_t Attenuation) {
    if (Attenuation <= -10000) return 0.0;
    if (Attenuation == 0) return 1.0;
    return std::pow(10.0, Attenuation / 2000.0);
}

namespace {

bool IsGuidText(const std::string& Text) {
    static const char kPattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (Text.size() != sizeof(kPattern) - 1) return false;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (kPattern[i] == 'X' ? !std::isxdigit(static_cast<unsigned char>(Text[i])) : Text[i] != kPattern[i])
            return false;
    }
    return true;
}

}  // namespace

std::string AlsaDeviceName(const std::string& Device) {
    const std::string text = TrimText(Device);
    // A device GUID kept by an older configuration names no PCM here: the default one plays.
    if (text.empty() || IsGuidText(text)) return "default";
    return text;
}

TOutput_DS::TOutput_DS() { FName = "DS Thread"; }

TOutput_DS::~TOutput_DS() { Shutdown(); }

bool TOutput_DS::DoOpen(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs, int PacketCount) {
    FFormat = Format;
    std::string reason;
    const int frames = FPacketBytes / FBlockAlign;
    // A shared device (a sound server's) stops and restarts the stream when its queue runs dry,
    // which costs seconds of silence; the queue has to ride out a busy machine's scheduler.
    PacketCount = std::max(PacketCount, (MinQueueMs + std::max(PacketMs, 1) - 1) / std::max(PacketMs, 1));
    FPacketCount = PacketCount;
    if (!FPcm.Open(AlsaDeviceName(Device), false, Format.Format, frames, PacketCount, false, reason)) {
        LogMessage(FName + ": " + reason, "AUDIO", LogKind::Error);
        SetError(E_FAIL,
                 FPcm.DeviceOpened() ? "Unable to create secondary buffer" : "Unable to create DirectSound object");
        return false;
    }
    // The device may round the period; a packet is whatever one period holds.
    FPacketBytes = FPcm.PeriodFrames() * FBlockAlign;
    FPacketCount = std::max(FPcm.BufferFrames() / std::max(FPcm.PeriodFrames(), 1), 1);
    FTotalBytes = FPacketBytes * FPacketCount;
    FPacket.assign(static_cast<size_t>(FPacketBytes), 0);
    FEvents = std::make_unique<TEventSet>(ControlEvents);
    FUnderruns = 0;
    FState = OutputState::Stopped;
    FErrorScore = 0;
    StartThread();
    return true;
}

void TOutput_DS::ApplyVolume() {
    TakeVolumeChange();
    FFactor = AttenuationToFactor(DSVolumeAttenuation(GetVolume(), GetMute()));
    FFactorShown = FFactor;
}

bool TOutput_DS::WritePacket() {
    if (TakeVolumeChange()) ApplyVolume();
    const int n = GetData(FPacket.data(), FPacketBytes);
    if (n <= 0) ++FUnderruns;
    const int got = std::clamp(n, 0, FPacketBytes);
    // What was not delivered is silence.
    std::memset(FPacket.data() + got, 0, static_cast<size_t>(FPacketBytes - got));
    ApplyVolumeFactor(reinterpret_cast<int16_t*>(FPacket.data()), static_cast<size_t>(got / 2), FFactor);
    const long written = FPcm.Write(FPacket.data(), FPacketBytes / FBlockAlign);
    if (written < 0) {
        LogMessage(FName + ": " + platform::TAlsaPcm::ErrorText(static_cast<int>(written)), "AUDIO", LogKind::Error);
        SetError(E_FAIL, "Unable to obtain lock on sound buffer");
        return false;
    }
    return true;
}

bool TOutput_DS::FillAvailable() {
    const int periodFrames = FPacketBytes / FBlockAlign;
    for (int i = 0; i < FPacketCount; ++i) {
        const long avail = FPcm.Avail();
        if (avail < 0) {
            LogMessage(FName + ": " + platform::TAlsaPcm::ErrorText(static_cast<int>(avail)), "AUDIO", LogKind::Error);
            SetError(E_FAIL, "Unable to obtain lock on sound buffer");
            return false;
        }
        if (avail < periodFrames) break;
        if (!WritePacket()) return false;
    }
    // Running again after an underrun emptied the device.
    if (FState == OutputState::Running && FPcm.State() == SND_PCM_STATE_PREPARED) FPcm.Start();
    return true;
}

void TOutput_DS::StopDevice(const char* Message) {
    if (!CheckResult(FPcm.Drop() < 0 ? E_FAIL : S_OK, Message)) return;
    CheckResult(FPcm.Prepare() < 0 ? E_FAIL : S_OK, "Unable to play position to 0");
}

void TOutput_DS::Execute() {
    ApplyVolume();
    bool go = true;
    while (go) {
        const bool running = FState == OutputState::Running;
        const int event = FEvents->Wait(-1, running ? FPcm.PollFds() : nullptr, running ? FPcm.PollCount() : 0);
        try {
            go = Pass(event);
            CountCleanPass();
        } catch (const std::exception& e) {
            if (CountException(e.what())) go = false;
        } catch (...) {
            if (CountException("unknown exception")) go = false;
        }
    }
    if (FPcm.IsOpen() && FPcm.Drop() < 0) SetError(E_FAIL, "Unable to stop DS buffer");
    FPcm.Close();
}

bool TOutput_DS::Pass(int Event) {
    switch (Event) {
        case EvTerminate: return false;
        case EvStop:
            FState = OutputState::Stopped;
            StopDevice("Unable to stop DS buffer");
            break;
        case EvPause:
            if (FState == OutputState::Stopped) {
                StopDevice("Unable to stop DS buffer");
                if (!FillAvailable()) return false;
            } else if (FState == OutputState::Running) {
                const bool paused = FPcm.CanPause() && FPcm.Pause(true) >= 0;
                // A device that cannot pause drops its queue; run refills it.
                if (!paused) StopDevice("Unable to pause DS buffer");
            }
            FState = OutputState::Paused;
            break;
        case EvRun: {
            const int device = FPcm.State();
            if (FState == OutputState::Stopped ||
                (device != SND_PCM_STATE_PAUSED && device != SND_PCM_STATE_PREPARED)) {
                StopDevice("Unable to stop DS buffer");
                if (!FillAvailable()) return false;
            }
            FState = OutputState::Running;
            int rc = 0;
            if (FPcm.State() == SND_PCM_STATE_PAUSED) {
                rc = FPcm.Pause(false);
            } else if (FPcm.State() == SND_PCM_STATE_PREPARED) {
                // A paused device that lost its queue is filled again first (which starts it).
                if (FPcm.Avail() >= FPcm.BufferFrames() && !FillAvailable()) return false;
                if (FPcm.State() == SND_PCM_STATE_PREPARED) rc = FPcm.Start();
            }
            CheckResult(rc < 0 ? E_FAIL : S_OK, "Unable to run DS buffer");
            break;
        }
        case EvVolume: ApplyVolume(); break;
        case EvReset: {
            // The state before the reset comes back in this same pass: a run or pause left for a
            // later pass would undo a Stop or Pause asked for in between.
            const int previous = FState;
            if (FState != OutputState::Stopped) StopDevice("Unable to stop DS buffer");
            FState = OutputState::Stopped;
            if (previous == OutputState::Paused) return Pass(EvPause);
            if (previous == OutputState::Running) return Pass(EvRun);
            break;
        }
        case TEventSet::DeviceReady:
            if (FState == OutputState::Running && FPcm.PollReady() && !FillAvailable()) return false;
            break;
        case TEventSet::Timeout: break;
        default: SetError(E_FAIL, "DS Thread: Wait failed"); return false;
    }
    FStateShown = FState;
    return true;
}

}  // namespace kelvar
