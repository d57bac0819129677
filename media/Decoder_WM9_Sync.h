#pragma once
// Local Windows Media files (WMA, ASF, WMV) decoded on the deck's worker thread, one packet of
// the audio stream per Decode.
#include <cstdint>
#include <memory>
#include <string>

#include "media/Decoder.h"

namespace kelvar {

namespace platform {
class TWMReader;
}

namespace Decoder_WM9_Sync {

class TDecoder_WMA : public IDecoder {
public:
    TDecoder_WMA();
    ~TDecoder_WMA() override;
    TDecoder_WMA(const TDecoder_WMA&) = delete;
    TDecoder_WMA& operator=(const TDecoder_WMA&) = delete;

    bool CanDecode(const std::string& name, int pass) override;
    // False when the file can't be played; the reason, "<step> (hr=$<code>)", is logged and kept
    // in LastError.
    bool Open(const std::string& name) override;
    void Close() override;
    const TStreamInfo* GetInfo() override;
    void Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) override;
    bool IsEOF() override;
    bool IsSeekable() override;
    int64_t Seek(int64_t ms) override;
    void OnStarved() override;

    const std::string& LastError() const { return FLastError; }

private:
    void OpenFile(const std::string& name);

    std::unique_ptr<platform::TWMReader> FReader;
    TWaveFormat FFormat{};
    int64_t FDuration = 0;
    int32_t FBitrate = 0;
    bool FEndOfStream = false;
    bool FOpen = false;
    double FPosition = 0;
    std::string FLastError;
    TStreamInfo FInfo;
};

}  // namespace Decoder_WM9_Sync

}  // namespace kelvar
