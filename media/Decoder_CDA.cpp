#include "media/Decoder_CDA.h"

#include <algorithm>

#include "media/DecoderFactory.h"
#include "platform/cdio/AKRIP_API.h"
#include "platform/cdio/DriveManager.h"

namespace kelvar {

TDecoder_CDA::TDecoder_CDA() = default;

TDecoder_CDA::~TDecoder_CDA() { Close(); }

bool TDecoder_CDA::CanDecode(const std::string& name, int pass) {
    return DecoderClassAccepts(TDecoderClass::CDA, name, pass);
}

bool TDecoder_CDA::Open(const std::string& name) {
    Close();
    FInfo = TStreamInfo();
    const char letter = name.size() >= 2 && name[1] == ':' ? name[0] : 0;
    auto ripper = GetDriveManager().CreateRipper(letter);
    ripper->OnData = [this](const uint8_t* buffer, int bytes) {
        FPosition += BytesToMs(CDFormat, bytes);
        if (FOnPCM != nullptr && *FOnPCM) (*FOnPCM)(buffer, bytes, CDFormat);
    };
    ripper->RipStartFile(name);
    FInfo.Size = static_cast<int32_t>(std::min<int64_t>(ripper->GetTrackBytes(), INT32_MAX));
    FInfo.Duration = static_cast<int32_t>(std::min<int64_t>(ripper->GetTrackMs(), INT32_MAX));
    FInfo.Bitrate = 128;
    FInfo.Channels = 2;
    FInfo.SampleRate = 44100;
    FInfo.Bits = 16;
    FRipper = std::move(ripper);
    FOpen = true;
    return true;
}

void TDecoder_CDA::Close() {
    if (!FOpen) return;
    FRipper.reset();
    FPosition = 0;
    FOpen = false;
}

const TStreamInfo* TDecoder_CDA::GetInfo() { return &FInfo; }

void TDecoder_CDA::Decode(const TOnPCM& onPCM, const TOnMeta&) {
    if (!FOpen) throw EMediaError("CDA Decoder not yet open!");
    struct TForget {
        const TOnPCM*& Slot;
        ~TForget() { Slot = nullptr; }
    } forget{FOnPCM};
    FOnPCM = &onPCM;
    FRipper->RipNextChunk();
}

bool TDecoder_CDA::IsEOF() { return !FRipper || FRipper->IsDone(); }

bool TDecoder_CDA::IsSeekable() { return FOpen && FRipper != nullptr; }

int64_t TDecoder_CDA::Seek(int64_t ms) {
    if (!FOpen) {
        FPosition = 0;
        return 0;
    }
    FRipper->SeekMs(ms);
    FPosition = static_cast<double>(ms);
    return ms;
}

void TDecoder_CDA::OnStarved() {}

}  // namespace kelvar
