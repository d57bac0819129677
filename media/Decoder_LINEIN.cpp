#include "media/Decoder_LINEIN.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

#include "audio/live/AMixer.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "foundation/UrlCoding.h"

namespace kelvar {

namespace {

constexpr int BufferChunks = 10;
constexpr int ChunkMs = 50;

bool IsBlank(const std::string& Text) {
    return std::all_of(Text.begin(), Text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

// A whole decimal number, optionally signed and surrounded by blanks.
bool ToInt(const std::string& Text, int& Value) {
    const auto first = Text.find_first_not_of(" \t");
    const auto last = Text.find_last_not_of(" \t");
    if (first == std::string::npos) return false;
    const char* begin = Text.data() + first;
    const char* end = Text.data() + last + 1;
    int v = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || ptr != end) return false;
    Value = v;
    return true;
}

std::string Find(const std::map<std::string, std::string>& Params, const char* Key) {
    const auto it = Params.find(Key);
    return it == Params.end() ? std::string() : it->second;
}

}  // namespace

std::map<std::string, std::string> ParseLiveSourceAddress(const std::string& Name) {
    std::map<std::string, std::string> params;
    size_t start = 0;
    for (;;) {
        const size_t end = Name.find('&', start);
        const std::string piece = Name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const size_t eq = piece.find('=');
        const std::string key = LowerAscii(piece.substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : URLDecode(piece.substr(eq + 1));
        if (value.empty()) {
            params.erase(key);
        } else {
            params[key] = value;
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return params;
}

TDecoder_LineIn::TDecoder_LineIn() = default;

TDecoder_LineIn::~TDecoder_LineIn() { Close(); }

bool TDecoder_LineIn::CanDecode(const std::string& name, int) {
    return StartsWithText(name, "MIC://") || StartsWithText(name, "LINEIN://") || StartsWithText(name, "RECORD://");
}

void TDecoder_LineIn::SelectRecordingLine(const std::map<std::string, std::string>& Params) {
    const std::string volctrl = Find(Params, "volctrl");
    if (IsBlank(volctrl)) return;
    int line = 0;
    int device = 0;
    const std::string deviceText = Find(Params, "deviceid");
    if (!ToInt(volctrl, line) || (!deviceText.empty() && !ToInt(deviceText, device))) {
        LogMessage("Live input: bad mixer line \"" + volctrl + "\" or device \"" + deviceText + "\"; no line selected",
                   "Decoder", LogKind::Error);
        return;
    }
    // A missing device or line makes these calls fail quietly; capture goes on regardless.
    TAudioMixer mixer;
    mixer.SetMixerId(device);
    int left = -1, right = -1, mute = -1;
    bool stereo = false, volDisabled = false, muteDisabled = false, isSelect = false;
    if (!mixer.GetVolume(1, line, left, right, mute, stereo, volDisabled, muteDisabled, isSelect)) {
        LogMessage("Live input: no recording line " + volctrl + " on mixer device " + std::to_string(device), "Decoder",
                   LogKind::Warning);
        return;
    }
    mixer.SetVolume(1, line, left, right, 1);
}

bool TDecoder_LineIn::Open(const std::string& name) {
    Close();
    FInfo = TStreamInfo{};
    FInfo.Size = -1;
    FInfo.Duration = -1;
    FLimitMs = 0;
    FInfo.Bitrate = 1411;
    FInfo.Channels = 2;
    FInfo.SampleRate = 44100;
    FInfo.Bits = 16;
    FFormat = DefaultAudioFormat;

    FRecorder = std::make_unique<TRecorder_Combo>();
    FRecorder->OnData = [this](const void* Buffer, uint32_t Bytes) { OnCapture(Buffer, Bytes); };

    const auto params = ParseLiveSourceAddress(name);
    // "KS" exactly; anything else is the shared driver.
    FRecorder->FDriverType = Find(params, "driver") == "KS" ? RecordDriver::KernelStreaming : RecordDriver::DirectSound;
    const std::string device = Find(params, "sounddevice");
    if (!IsBlank(device)) {
        FRecorder->FSoundDevice = device;
        FRecorder->FDeviceName = device;
    }
    for (const auto& [key, target] : {std::pair<const char*, int*>{"packets", &FRecorder->FPackets},
                                      std::pair<const char*, int*>{"packettime", &FRecorder->FPacketTime}}) {
        const std::string text = Find(params, key);
        if (!text.empty() && !ToInt(text, *target))
            LogMessage(std::string("Live input: \"") + key + "\" is not a number: " + text, "Decoder", LogKind::Error);
    }
    SelectRecordingLine(params);
    // Below 1 ms (absent, or a negative text) there is no limit, and the description says 0.
    FLimitMs = std::max<int64_t>(TimeTextToMs(Find(params, "duration")), 0);
    FInfo.Duration = static_cast<int32_t>(std::min<int64_t>(FLimitMs, std::numeric_limits<int32_t>::max()));

    // Before the recorder runs, so the capture thread always finds it.
    FBuffer = std::make_shared<TBuffer>(BufferChunks, static_cast<int>(MsToBytes(FFormat, ChunkMs)));
    if (FRecorder->Open(FFormat)) {
        FPosition = 0;
        FOpen = true;
        FRecorder->Run();
    } else {
        int32_t code = 0;
        std::string text;
        FRecorder->GetLastError(code, text);
        LogMessage("Live input " + name + ": " + text, "Decoder", LogKind::Error);
        FRecorder->Close();
        FRecorder.reset();
        FBuffer.reset();
    }
    return FOpen;
}

void TDecoder_LineIn::OnCapture(const void* Buffer, uint32_t Bytes) {
    TBuffer& buffer = *FBuffer;
    buffer.Lock();
    try {
        // Capture never waits for the deck: the oldest audio makes room.
        while (buffer.FreeSpace() < static_cast<int>(Bytes) && buffer.GetChunk()) {}
        buffer.Write(Buffer, static_cast<int>(Bytes));
    } catch (...) {
        buffer.Unlock();
        throw;
    }
    buffer.Unlock();
}

void TDecoder_LineIn::Close() {
    if (!FOpen) return;
    FOpen = false;
    FPosition = 0;
    if (FRecorder) FRecorder->Close();
    FRecorder.reset();
    FBuffer.reset();
}

const TStreamInfo* TDecoder_LineIn::GetInfo() { return &FInfo; }

void TDecoder_LineIn::Decode(const TOnPCM& onPCM, const TOnMeta&) {
    if (!FOpen) throw EMediaError("LineIn Decoder not yet open!");
    IChunkPtr chunk = FBuffer->GetChunk();
    if (!chunk) return;
    if (onPCM) onPCM(chunk->GetData(), chunk->GetSize(), FFormat);
    FPosition += BytesToMs(FFormat, chunk->GetSize());
}

bool TDecoder_LineIn::IsEOF() {
    if (!FOpen) return true;
    if (FLimitMs >= 1 && FPosition >= static_cast<double>(FLimitMs)) return true;
    // A capture thread that ended (failed read or wait) delivers nothing more; what it left in
    // the chunk being written is handed out first.
    if (!FRecorder->HasEnded()) return false;
    FBuffer->Flush();
    return FBuffer->DataAvailable() == 0;
}

bool TDecoder_LineIn::IsSeekable() { return false; }

int64_t TDecoder_LineIn::Seek(int64_t) {
    if (FBuffer) FBuffer->Clear();
    FPosition = 0;
    return 0;
}

void TDecoder_LineIn::OnStarved() {}

}  // namespace kelvar
