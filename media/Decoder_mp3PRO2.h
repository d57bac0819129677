#pragma once
// Decodes MP3 (and the MPEG core of mp3PRO) from files and HTTP/ICY streams into PCM through
// libmpg123 in feed mode; takes the ICY metadata out of a stream and turns each stream title
// into a caption event.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "media/Decoder.h"
#include "media/Reader.h"

struct mpg123_handle_struct;

namespace kelvar {

class THeaderList;

class TDecoder_mp3PRO : public IDecoder {
public:
    static constexpr int32_t OutputChunkBytes = 26624;
    static constexpr int32_t InputBytes = 4096;
    static constexpr int32_t ScanBytes = 16384;
    static constexpr int64_t RebufferIntervalMs = 5000;

    // Throws "Unable to load mp3PRO decoder driver." when the decoding library can't start.
    TDecoder_mp3PRO();
    ~TDecoder_mp3PRO() override;
    TDecoder_mp3PRO(const TDecoder_mp3PRO&) = delete;
    TDecoder_mp3PRO& operator=(const TDecoder_mp3PRO&) = delete;

    bool CanDecode(const std::string& name, int pass) override;
    bool Open(const std::string& name) override;
    void Close() override;
    const TStreamInfo* GetInfo() override;
    void Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) override;
    bool IsEOF() override;
    bool IsSeekable() override;
    int64_t Seek(int64_t ms) override;
    void OnStarved() override;

    // Where decoding of a file begins: the bytes of its ID3v2 tag.
    int64_t DataStart() const { return FDataStart; }
    int64_t AudioSize() const { return FAudioSize; }
    std::string GetStationName() const { return FStationName; }

private:
    void ScanFile();
    void ReadSeekTable(const uint8_t* data, int32_t size);
    // Byte offset into the audio data where playback of Ms begins.
    int64_t SeekPointByTime(int64_t ms) const;
    void ResetDriver();
    void SendBufferLevel(int percent, const TOnMeta& onMeta);
    int32_t ReadInput(const TOnMeta& onMeta);
    // Reads the rest of the pending metadata block; true when it is complete.
    bool ReadPendingMeta(const TOnMeta& onMeta);
    void CompleteMeta(const TOnMeta& onMeta);
    void IcyHeaders(const THeaderList& headers);
    bool TakeIcyHeaders();

    IReaderPtr FReader;
    bool FStream = false;
    mpg123_handle_struct* FHandle = nullptr;
    std::vector<uint8_t> FInput;
    std::vector<uint8_t> FOutput;
    double FDecodedPosition = 0;

    int64_t FFileSize = -1;
    int64_t FAudioSize = -1;
    int64_t FDataStart = 0;
    int32_t FDurationMs = 0;
    bool FHasID3v1 = false;
    bool FHasID3v2 = false;
    bool FScanned = false;      // duration and format known, so the file can seek
    std::vector<uint8_t> FToc;  // the 100 seek points of a Xing/Info frame, when it has them
    int64_t FTocBytes = 0;
    TStreamInfo FInfo;

    int32_t FIcyInterval = 0;
    int32_t FIcyCounter = 0;
    bool FIcyPending = false;
    std::vector<uint8_t> FIcyBlock;
    size_t FIcyFill = 0;
    std::string FStationName;
    bool FHeadersTaken = false;

    // Written by the stream thread when the response headers arrive.
    std::mutex FHeaderLock;
    bool FHeadersSeen = false;
    int32_t FHeaderBitrate = 0;
    int32_t FHeaderInterval = 0;
    std::string FHeaderStation;

    int32_t FLastPercent = 100;
    int64_t FLastRebuffer = 0;
};

}  // namespace kelvar
