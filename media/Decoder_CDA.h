#pragma once
// Plays an audio CD track named like "E:/Track05.cda": the drive letter picks the CD drive
// (see DriveManager.h), the two digits after "Track" the track.
#include <cstdint>
#include <memory>
#include <string>

#include "media/Decoder.h"

namespace kelvar {

class TCDRipper;

class TDecoder_CDA : public IDecoder {
public:
    TDecoder_CDA();
    ~TDecoder_CDA() override;

    bool CanDecode(const std::string& name, int pass) override;
    // Raises the drive's and the ripper's errors.
    bool Open(const std::string& name) override;
    void Close() override;
    const TStreamInfo* GetInfo() override;
    void Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) override;
    bool IsEOF() override;
    bool IsSeekable() override;
    int64_t Seek(int64_t ms) override;
    void OnStarved() override;

    static constexpr TWaveFormat CDFormat = MakePcmFormat(44100, 2, 16);

private:
    std::unique_ptr<TCDRipper> FRipper;
    bool FOpen = false;
    double FPosition = 0;
    const TOnPCM* FOnPCM = nullptr;  // the running Decode's callback
    TStreamInfo FInfo;
};

}  // namespace kelvar
