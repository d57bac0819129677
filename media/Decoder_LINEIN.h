#pragma once
// Plays a live input (microphone, line in, any capture device) as if it were a song. The
// source name is a live source address: "MIC://", "LINEIN://" or "RECORD://" followed by
// "&"-separated key=value parameters ("driver", "sounddevice", "packets", "packettime",
// "volctrl", "deviceID", "duration"). Capture runs on its own thread into a small buffer; when
// the deck falls behind, the oldest audio is dropped.
#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "audio/graph/Buffer_imp.h"
#include "audio/live/Recorder_combo.h"
#include "media/Decoder.h"

namespace kelvar {

// The parameters of a live source address: keys in lower case, values URL-decoded; a key that
// comes twice keeps its last value, an empty value counts as absent.
std::map<std::string, std::string> ParseLiveSourceAddress(const std::string& Name);

class TDecoder_LineIn : public IDecoder {
public:
    TDecoder_LineIn();
    ~TDecoder_LineIn() override;

    bool CanDecode(const std::string& name, int pass) override;
    // False when the capture device cannot be opened.
    bool Open(const std::string& name) override;
    void Close() override;
    const TStreamInfo* GetInfo() override;
    // Throws "LineIn Decoder not yet open!" before Open.
    void Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) override;
    // At the end once a duration limit has passed, or when the capture thread has ended and
    // everything it captured has been handed out.
    bool IsEOF() override;
    bool IsSeekable() override;
    // Drops what is buffered; answers 0.
    int64_t Seek(int64_t ms) override;
    void OnStarved() override;

    // The capture front end while open (none otherwise).
    TRecorder_Combo* GetRecorder() const { return FRecorder.get(); }

private:
    // On the capture thread.
    void OnCapture(const void* Buffer, uint32_t Bytes);
    void SelectRecordingLine(const std::map<std::string, std::string>& Params);

    std::atomic<bool> FOpen{false};
    std::unique_ptr<TRecorder_Combo> FRecorder;
    std::shared_ptr<TBuffer> FBuffer;
    TWaveFormat FFormat = DefaultAudioFormat;
    double FPosition = 0;
    // The playing time limit in ms (below 1: none); the stream description holds it only as
    // far as its field reaches.
    int64_t FLimitMs = 0;
    TStreamInfo FInfo;
};

}  // namespace kelvar
