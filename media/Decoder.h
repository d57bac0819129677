#pragma once
// What a deck plays through: IDecoder delivers PCM blocks and stream events from a source name.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/graph/FiltersEx.h"
#include "foundation/AudioFormat.h"
#include "foundation/Errors.h"

namespace kelvar {

// What a decoder knows of its source; the defaults hold until the source tells otherwise.
struct TStreamInfo {
    int32_t Size = -1;      // bytes of the source; -1 for streams and devices
    int32_t Duration = -1;  // ms
    int32_t Bitrate = 128;  // kbit/s
    int32_t Channels = 2;
    int32_t SampleRate = 44100;
    int32_t Bits = 16;
};

// One PCM block: interleaved little-endian integer samples of Format; valid during the call.
using TOnPCM = std::function<void(const void* buffer, int32_t bytes, const TWaveFormat& format)>;
// A stream event: a stream-title caption (kind 1) or a buffering level (kind 3).
using TOnMeta = std::function<void(const IMetaDataPtr& event)>;

// All calls on one decoder are serialised by its deck; a decoder fed by a thread of its own
// guards that thread's data itself.
class IDecoder {
public:
    virtual ~IDecoder();
    virtual bool CanDecode(const std::string& name, int pass) = 0;
    virtual bool Open(const std::string& name) = 0;
    virtual void Close() = 0;
    // Lives as long as the decoder.
    virtual const TStreamInfo* GetInfo() = 0;
    // Delivers no, one or several blocks; throws "<name> Decoder not yet open!" before Open.
    virtual void Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) = 0;
    virtual bool IsEOF() = 0;
    virtual bool IsSeekable() = 0;
    virtual int64_t Seek(int64_t ms) = 0;  // the position reached
    // The channel downstream delivered nothing on its last pull.
    virtual void OnStarved() = 0;
};

using IDecoderPtr = std::shared_ptr<IDecoder>;

}  // namespace kelvar
