#pragma once
// Decodes Ogg Vorbis files and HTTP streams into 16-bit PCM through vorbisfile, which reads its
// bytes through callbacks routed to our readers. The artist and title of each logical stream
// go out as a caption event.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/Decoder.h"
#include "media/Reader.h"

namespace kelvar {

class TDecoder_Ogg : public IDecoder {
public:
    static constexpr int32_t OutputChunkBytes = 26624;
    static constexpr int64_t MinAvailableBytes = 8500;
    static constexpr int64_t RebufferIntervalMs = 5000;
    // End codes besides vorbisfile's own negative codes.
    static constexpr int EndOfFile = -2;

    TDecoder_Ogg();
    ~TDecoder_Ogg() override;
    TDecoder_Ogg(const TDecoder_Ogg&) = delete;
    TDecoder_Ogg& operator=(const TDecoder_Ogg&) = delete;

    bool CanDecode(const std::string& name, int pass) override;
    // Raises EMediaError when the source can't be opened, or a file is no Ogg Vorbis stream.
    bool Open(const std::string& name) override;
    void Close() override;
    const TStreamInfo* GetInfo() override;
    void Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) override;
    bool IsEOF() override;
    bool IsSeekable() override;
    int64_t Seek(int64_t ms) override;
    void OnStarved() override;

    // 0 while decoding may go on; EndOfFile, or the vorbisfile code that ended decoding.
    int EndCode() const { return FEndCode; }
    // Name=value lines of the current logical stream's comments.
    const std::vector<std::string>& Comments() const { return FComments; }

private:
    struct TVorbisFile;  // keeps vorbisfile's record out of this header

    // Opens vorbisfile on the reader; its code (0 on success).
    int OpenLibrary();
    void ReadComments();
    void SendCaption(const TOnMeta& onMeta);
    void TakeStreamInfo();

    static size_t CbRead(void* buffer, size_t size, size_t count, void* source);
    static int CbSeek(void* source, int64_t offset, int whence);
    static int CbClose(void* source);
    static long CbTell(void* source);

    IReaderPtr FReader;
    bool FStream = false;
    std::string FName;
    std::unique_ptr<TVorbisFile> FVorbis;
    bool FOpened = false;
    std::vector<uint8_t> FOutput;
    int FEndCode = 0;
    int64_t FMinAvailable = MinAvailableBytes;
    int FCurrentStream = -1;
    std::vector<std::string> FComments;
    double FPosition = 0;
    TStreamInfo FInfo;
    int32_t FLastPercent = 100;
    int64_t FLastRebuffer = 0;
};

}  // namespace kelvar
