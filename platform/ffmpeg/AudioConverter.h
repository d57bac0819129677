#pragma once
// Conversion streams between wave formats, in place of the system's audio compression manager:
// PCM rate, width and channel changes through libswresample, and compressed wave data (ADPCM,
// A-law, mu-law, GSM 6.10, MPEG audio) decoded through libavcodec. Every call answers a result
// code of that manager, so callers keep their error texts. A stream never drops input: bytes
// that don't make a whole frame or codec block wait inside for the next call, and output that
// doesn't fit the destination is handed out first by the next call.
#include <cstdint>
#include <memory>
#include <vector>

namespace kelvar::platform {

namespace ConvertResult {
constexpr int Ok = 0;
constexpr int InvalidHandle = 5;
constexpr int NoDriver = 6;
constexpr int NoMemory = 7;
constexpr int InvalidFlag = 10;
constexpr int InvalidParam = 11;
constexpr int NotPossible = 512;
constexpr int Busy = 513;
constexpr int Unprepared = 514;
}  // namespace ConvertResult

namespace ConvertFlags {
constexpr uint32_t BlockAlign = 0x04;
constexpr uint32_t Start = 0x10;
}  // namespace ConvertFlags

namespace FormatTag {
constexpr uint16_t Pcm = 0x0001;
constexpr uint16_t MsAdpcm = 0x0002;
constexpr uint16_t IeeeFloat = 0x0003;
constexpr uint16_t ALaw = 0x0006;
constexpr uint16_t MuLaw = 0x0007;
constexpr uint16_t ImaAdpcm = 0x0011;
constexpr uint16_t YamahaAdpcm = 0x0020;
constexpr uint16_t TrueSpeech = 0x0022;
constexpr uint16_t Gsm610 = 0x0031;
constexpr uint16_t Mpeg = 0x0050;
constexpr uint16_t MpegLayer3 = 0x0055;
constexpr uint16_t Extensible = 0xFFFE;
}  // namespace FormatTag

// A wave format record and the codec bytes that follow its 18 bytes in a file's format chunk.
struct TConvertFormat {
    uint16_t FormatTag = 0;
    uint16_t Channels = 0;
    uint32_t SamplesPerSec = 0;
    uint32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
    std::vector<uint8_t> Extra;
};

// One conversion call: the caller's source bytes and destination block.
struct TConvertHeader {
    const uint8_t* Source = nullptr;
    uint32_t SourceLength = 0;
    uint32_t SourceUsed = 0;  // always SourceLength after a successful Convert: the rest is kept
    uint8_t* Dest = nullptr;
    uint32_t DestLength = 0;
    uint32_t DestUsed = 0;
    bool Prepared = false;
};

class IAudioConverter {
public:
    virtual ~IAudioConverter() = default;
    // Destination bytes that take the output of SourceBytes more input together with all that
    // the stream holds; an estimate for variable-rate codecs.
    virtual int Size(uint32_t sourceBytes, uint32_t& destBytes) = 0;
    virtual int PrepareHeader(TConvertHeader& header) = 0;
    // Takes all source bytes and fills at most DestLength bytes; Flags: ConvertFlags.
    virtual int Convert(TConvertHeader& header, uint32_t flags) = 0;
    virtual int UnprepareHeader(TConvertHeader& header) = 0;
    // Bytes of output already made that wait for the next Convert.
    virtual uint32_t HeldOutput() const = 0;
    // Ends the stream; later calls answer InvalidHandle.
    virtual int Close() = 0;
};

using IAudioConverterPtr = std::shared_ptr<IAudioConverter>;

// Opens a synchronous conversion stream from Source to Destination (PCM or float). On failure
// Stream is left empty and the result says why: NoDriver when nothing converts the pair,
// InvalidParam for a malformed format record.
int OpenAudioConverter(const TConvertFormat& source, const TConvertFormat& destination, IAudioConverterPtr& stream);

}  // namespace kelvar::platform
