#pragma once
// Plays RIFF WAVE files from disk: PCM data goes out unchanged, other format tags through the
// format converter.
#include <cstdint>
#include <memory>
#include <vector>

#include "media/Decoder.h"

namespace kelvar {

class TReader_File;
class TACMConvert;

class TDecoder_WAV : public IDecoder {
public:
    TDecoder_WAV();
    ~TDecoder_WAV() override;

    bool CanDecode(const std::string& name, int pass) override;
    // Throws "File does not exist: <name>"; a file without usable format or data opens but is
    // at its end at once.
    bool Open(const std::string& name) override;
    void Close() override;
    const TStreamInfo* GetInfo() override;
    void Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) override;
    bool IsEOF() override;
    bool IsSeekable() override;
    int64_t Seek(int64_t ms) override;
    void OnStarved() override;

    // Where the audio data lies in the file (for the tests and the tag reader's duration).
    int64_t DataStart() const { return FDataStart; }
    int64_t DataSize() const { return FDataSize; }
    bool IsValid() const { return FValid; }

private:
    void ParseHeader();
    bool ReadChunkHeader(char id[4], uint32_t& size);
    void SkipTo(int64_t unpadded, uint32_t size);
    int64_t MsToByteOffset(int64_t ms) const;

    bool OpenConverter();

    std::unique_ptr<TReader_File> FReader;
    std::unique_ptr<TACMConvert> FConverter;
    std::vector<uint8_t> FReadChunk;
    std::vector<uint8_t> FFormatChunk;  // the "fmt " chunk as read
    TWaveFormat FSource;                // its first 18 bytes
    TWaveFormat FTarget;
    int64_t FDataStart = 0;
    int64_t FDataSize = 0;
    int64_t FFileSize = 0;
    int64_t FFrameCount = 0;
    uint32_t FFactSamples = 0;  // the "fact" chunk's sample count, 0 without one
    bool FValid = false;
    double FPosition = 0;
    TStreamInfo FInfo;
};

}  // namespace kelvar
