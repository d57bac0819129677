#pragma once
// Finds the first MPEG audio frame of an MP3 file and its Xing or VBRI header, giving bit rate,
// duration and a validity test. Owns the file's ID3v1 and ID3v2 tag readers.
#include <cstdint>
#include <string>

#include "media/tags/ID3v1.h"
#include "media/tags/ID3v2Ex.h"
#include "media/tags/MPEGFrameCount.h"

namespace kelvar {

struct TMPEGFrame {
    bool Found = false;
    int Position = 0;  // in the block it was found in
    int Size = 0;
    uint8_t Data[4] = {0, 0, 0, 0};
    uint8_t VersionID = 1;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5, 1 reserved
    uint8_t LayerID = 0;    // 3 Layer I, 2 Layer II, 1 Layer III
    bool ProtectionBit = false;
    uint8_t BitRateID = 0;
    uint8_t SampleRateID = 3;
    bool PaddingBit = false;
    bool PrivateBit = false;
    uint8_t ModeID = 4;  // 3 mono
    uint8_t ModeExtensionID = 4;
    bool CopyrightBit = false;
    bool OriginalBit = false;
    uint8_t EmphasisID = 2;
};

struct TVBRData {
    bool Found = false;
    std::string ID;  // "Xing" or "VBRI"
    uint32_t Frames = 0;
    uint32_t Bytes = 0;
};

class TMPEGaudioEx {
public:
    TMPEGaudioEx() { Reset(); }
    void Reset();
    // False when the ID3v2 read fails or the scan fails; raises EFileError (from the ID3v1
    // read) for a file that can't be opened or is shorter than 128 bytes.
    bool ReadFromFile(const std::string& fileName);
    // Looks for two consecutive frame headers in Block; fills Frame and VBR.
    void FindFrame(const uint8_t* block, int length);

    int GetBitRate() const;      // kbit/s
    double GetDuration() const;  // seconds
    bool IsValid() const;

    TID3v1& ID3v1() { return FID3v1; }
    TID3v2KelvarTag& ID3v2() { return FID3v2; }
    const TMPEGFrame& Frame() const { return FFrame; }
    const TVBRData& VBR() const { return FVBR; }
    int64_t FileLength() const { return FFileLength; }
    int64_t AudioStart() const { return FAudioStart; }
    int64_t CountedFrames() const { return FCountedFrames; }  // 0 unless every frame was counted

    static int64_t SkipZeros(const TReadAt& readAt, int64_t from, int64_t end);

private:
    static constexpr int64_t kProbeBytes = 16 << 10;
    int64_t AudioEnd() const;
    void CountIfVariable(const TReadAt& readAt);

    int64_t FFileLength = 0;
    int64_t FAudioStart = 0;  // after the tags right behind each other and any zero padding
    int64_t FCountedFrames = 0;
    double FCountedSeconds = 0;
    int64_t FCountedBytes = 0;
    TVBRData FVBR;
    TMPEGFrame FFrame;
    TID3v1 FID3v1;
    TID3v2KelvarTag FID3v2;
};

bool IsFrameHeader(const uint8_t* header);
int GetSampleRate(const TMPEGFrame& frame);
int GetTableBitRate(const TMPEGFrame& frame);
int GetCoefficient(const TMPEGFrame& frame);
int GetPadding(const TMPEGFrame& frame);
int GetFrameLength(const TMPEGFrame& frame);

}  // namespace kelvar
