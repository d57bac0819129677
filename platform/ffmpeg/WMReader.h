#pragma once
// Windows Media sources (ASF, WMA, WMV files, HTTP and MMS streams) read through libavformat and
// decoded through libavcodec into 16-bit interleaved PCM of at most two channels, as the
// decoders hand it on. "mms://" addresses are tried over MMS-over-HTTP first, then MMS-over-TCP.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "foundation/AudioFormat.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace kelvar::platform {

// Where an open failed; each decoder words its own message for it.
enum class TWMOpenStep { None, Open, AudioStream };

enum class TWMReadResult { Data, EndOfStream, Failed };

class TWMReader {
public:
    using TOnPCM = std::function<void(const uint8_t* buffer, int bytes)>;

    TWMReader();
    ~TWMReader();
    TWMReader(const TWMReader&) = delete;
    TWMReader& operator=(const TWMReader&) = delete;

    // 0 on success, else a negative library code with FailedStep and LastError telling more.
    // Interrupt, when given, is set to abort blocking network reads (closing, seeking).
    int Open(const std::string& name, const std::atomic<bool>* interrupt = nullptr);
    void Close();
    bool IsOpen() const { return FFormat != nullptr; }

    TWMOpenStep FailedStep() const { return FFailedStep; }
    const std::string& LastError() const { return FLastError; }
    // The audio stream needs a decoder this build lacks: the stream ends at once.
    bool CodecMissing() const { return FCodecMissing; }

    const TWaveFormat& Format() const { return FOutFormat; }
    int64_t DurationMs() const;   // 0 when the source doesn't tell
    int32_t BitrateKbps() const;  // 0 when the source doesn't tell
    int64_t FileSize() const;     // -1 for streams
    // A header text ("title", "artist", "copyright"); empty when missing.
    std::string Tag(const char* key) const;

    // Reads the next packet of the audio stream and hands out what it decodes to (none, one or
    // several blocks). A corrupt packet is skipped.
    TWMReadResult ReadNext(const TOnPCM& onPCM);
    // Moves to Ms; false when the source can't seek.
    bool Seek(int64_t ms);

private:
    int OpenInput(const std::string& url);
    void DecodeFrames(const TOnPCM& onPCM);
    void Convert(const TOnPCM& onPCM);

    AVFormatContext* FFormat = nullptr;
    AVCodecContext* FCodec = nullptr;
    AVPacket* FPacket = nullptr;
    AVFrame* FFrame = nullptr;
    SwrContext* FSwr = nullptr;
    int FStream = -1;
    bool FCodecMissing = false;
    bool FDrained = false;
    const std::atomic<bool>* FInterrupt = nullptr;
    TWaveFormat FOutFormat{};
    uint8_t* FOut = nullptr;
    int FOutSamples = 0;
    TWMOpenStep FFailedStep = TWMOpenStep::None;
    std::string FLastError;
};

// True when this build can read ASF files and decode Windows Media audio.
bool WindowsMediaAvailable();

// The library's text for an error code.
std::string WMErrorText(int code);

}  // namespace kelvar::platform
