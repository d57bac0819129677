#pragma once
// A conversion stream from one wave format to another: sample rate, width, channel count and
// compressed wave data to PCM. The WAV decoder and the resampler node use it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "audio/graph/AudioErrors.h"
#include "foundation/AudioFormat.h"
#include "platform/ffmpeg/AudioConverter.h"

namespace kelvar {

// Every conversion error: the failing call's name followed by the error text.
class EACMConvertor : public EAudioError {
public:
    using EAudioError::EAudioError;
};

class TACMConvert {
public:
    TACMConvert();
    ~TACMConvert();
    TACMConvert(const TACMConvert&) = delete;
    TACMConvert& operator=(const TACMConvert&) = delete;

    // Opens the stream; SourceExtra are the codec bytes that follow the format record in a
    // file's format chunk (block sizes, coefficients). A failed open leaves it closed.
    void Open(const TWaveFormat& Source, const TWaveFormat& Destination, std::span<const uint8_t> SourceExtra = {});
    void Close();
    // Converts Bytes at Buffer; answers the bytes now in GetOutput. Input short of a whole
    // block waits inside the stream for the next call.
    uint32_t Convert(const void* Buffer, uint32_t Bytes);
    // Raises EACMConvertor for a non-zero Result.
    static void Check(const std::string& CallName, int Result);

    const uint8_t* GetOutput() const { return FOutput.data(); }
    uint32_t GetOutputSize() const { return static_cast<uint32_t>(FOutput.size()); }
    bool IsOpen() const { return FOpen; }
    // True until the first conversion of the stream has run.
    bool IsFirstBlock() const { return FFirstBlock; }

private:
    platform::IAudioConverterPtr FStream;
    bool FOpen = false;
    bool FFirstBlock = true;
    std::vector<uint8_t> FOutput;
    bool FHasOutput = false;
    uint32_t FLargestInput = 2048;
};

}  // namespace kelvar
