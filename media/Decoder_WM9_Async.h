#pragma once
// Windows Media streams ("mms://" addresses, HTTP streams of type WMA or WMV, other schemes with
// a Windows Media extension): a decode thread of its own fills a buffer of 10 s that the deck
// drains; the thread pauses while the buffer is full.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/graph/Buffer.h"
#include "media/Decoder.h"

namespace kelvar {

class TWMFDecoder;

namespace Decoder_WM9_Async {

class TDecoder_WMA : public IDecoder {
public:
    static constexpr int BufferMs = 10000;
    static constexpr int ChunkBytes = 4096;
    static constexpr int PreBufferMs = 1000;

    TDecoder_WMA();
    ~TDecoder_WMA() override;
    TDecoder_WMA(const TDecoder_WMA&) = delete;
    TDecoder_WMA& operator=(const TDecoder_WMA&) = delete;

    bool CanDecode(const std::string& name, int pass) override;
    // False (and the reason logged) when the source can't be opened.
    bool Open(const std::string& name) override;
    void Close() override;
    const TStreamInfo* GetInfo() override;
    void Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) override;
    bool IsEOF() override;
    bool IsSeekable() override;
    int64_t Seek(int64_t ms) override;
    void OnStarved() override;

private:
    void OnSample(TWMFDecoder& sender, const uint8_t* buffer, int bytes);

    std::unique_ptr<TWMFDecoder> FWrapper;
    IPreBufferPtr FBuffer;
    std::vector<uint8_t> FChunkData;
    TWaveFormat FFormat{};
    bool FOpen = false;
    double FPosition = 0;
    TStreamInfo FInfo;
};

}  // namespace Decoder_WM9_Async

}  // namespace kelvar
