#pragma once
// The format and data chunks of a RIFF WAVE file, read only to tell the file's duration.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelvar {

class TWAVTag {
public:
    // Told about every chunk the reader skips as unknown.
    using TOnLog = std::function<void(TWAVTag& sender, const std::string& message)>;

    TWAVTag() { Reset(); }

    void Reset();
    // True when the chunk walk went through; Valid tells whether the file is a usable WAV.
    bool ReadFromFile(const std::string& fileName);
    // Seconds; 0 when not valid or when the header gives nothing to divide by.
    double GetDuration() const;

    bool Valid() const { return FValid; }
    uint16_t FormatTag() const { return FFormatTag; }
    uint8_t Channels() const { return FChannels; }
    uint32_t SampleRate() const { return FSampleRate; }
    uint32_t BytesPerSecond() const { return FBytesPerSecond; }
    uint16_t BlockAlign() const { return FBlockAlign; }
    uint8_t BitsPerSample() const { return FBitsPerSample; }
    uint32_t SampleCount() const { return FSampleCount; }
    // Where the sample data begins; 64 bits, since chunks before "data" may be large.
    int64_t DataOffset() const { return FDataOffset; }
    int64_t FileSize() const { return FFileSize; }

    TOnLog OnLog;

private:
    bool FValid = false;
    uint16_t FFormatTag = 0;
    uint8_t FChannels = 0;
    uint32_t FSampleRate = 0;
    uint32_t FBytesPerSecond = 0;
    uint16_t FBlockAlign = 0;
    uint8_t FBitsPerSample = 0;
    uint32_t FSampleCount = 0;
    int64_t FDataOffset = 0;
    int64_t FFileSize = 0;
    int64_t FDataSize = 0;
    uint32_t FFactSamples = 0;
    std::vector<uint8_t> FHead;  // the data's first bytes
};

}  // namespace kelvar
