#include "audio/live/Recorder_combo.h"

#include "audio/graph/AudioErrors.h"
#include "audio/live/RecorderDS.h"
#include "audio/live/RecorderKS.h"

namespace kelvar {

TRecorder_Combo::TRecorder_Combo() = default;

TRecorder_Combo::~TRecorder_Combo() { Close(); }

bool TRecorder_Combo::Open(const TWaveFormatExtensible& Format) {
    Close();
    if (FDriverType == RecordDriver::DirectSound) {
        FThread = std::make_unique<TRecorder_DS>();
    } else if (FDriverType == RecordDriver::KernelStreaming) {
        FThread = std::make_unique<TRecorder_KS>();
    } else {
        throw EAudioError("Invalid recording driver specified");
    }
    FThread->OnData = [this](const void* Buffer, uint32_t Bytes) {
        if (OnData) OnData(Buffer, Bytes);
    };
    return FThread->Open(FSoundDevice, Format, FPacketTime, FPackets);
}

bool TRecorder_Combo::Open(const TWaveFormat& Format) {
    TWaveFormatExtensible format;
    format.Format = Format;
    return Open(format);
}

void TRecorder_Combo::Run() {
    if (FThread) FThread->Run();
}

void TRecorder_Combo::Stop() {
    if (FThread) FThread->Stop();
}

void TRecorder_Combo::Close() {
    if (!FThread) return;
    FThread->Close();
    FThread.reset();
}

void TRecorder_Combo::GetLastError(int32_t& Code, std::string& Text) {
    if (!FThread) {
        Code = 0;
        Text = "Recorder not created";
        return;
    }
    FThread->GetLastError(Code, Text);
}

bool TRecorder_Combo::HasEnded() const { return FThread && FThread->HasEnded(); }

}  // namespace kelvar
