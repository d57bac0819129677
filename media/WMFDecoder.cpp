#include "media/WMFDecoder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "foundation/Logger.h"
#include "foundation/ThreadName.h"
#include "platform/ffmpeg/WMReader.h"

namespace kelvar {

namespace {

constexpr uint32_t E_INVALIDARG_CODE = 0x80070057;
constexpr uint32_t E_UNEXPECTED_CODE = 0x8000FFFF;

[[noreturn]] void Raise(const std::string& text, uint32_t code) {
    char suffix[24];
    std::snprintf(suffix, sizeof(suffix), " ($%X)", code);
    throw EMediaError(text + suffix);
}

}  // namespace

TWMFDecoder::TWMFDecoder() = default;

TWMFDecoder::~TWMFDecoder() { Release(); }

void TWMFDecoder::CreateReader() {
    if (!FReader) FReader = std::make_unique<platform::TWMReader>();
}

int TWMFDecoder::Open(const std::string& name, bool start) {
    FEndOfFile = false;
    if (name.empty()) Raise("Could not open the specified file", E_INVALIDARG_CODE);
    if (!FReader) Raise("Could not create Reader", E_UNEXPECTED_CODE);
    FPaused = false;
    CloseReader();

    std::string head = name.substr(0, 7);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    FNetwork = head.rfind("HTTP", 0) == 0 || (name.find("://") != std::string::npos && head != "FILE://");

    FTerminate = false;
    FStarted = false;
    const int result = FReader->Open(name, &FTerminate);
    if (result != 0) {
        LogMessage("Windows Media source " + name + ": " + FReader->LastError(), "Decoder", LogKind::Warning);
        if (FReader->FailedStep() == platform::TWMOpenStep::AudioStream)
            Raise("Could not get audio stream in the specified file", E_UNEXPECTED_CODE);
        Raise("Could not open the specified file", static_cast<uint32_t>(result));
    }
    if (FReader->CodecMissing())
        LogMessage("Windows Media source " + name + ": " + FReader->LastError(), "Decoder", LogKind::Warning);

    // A stream's length isn't known until it ends.
    FDuration = FNetwork ? 0 : FReader->DurationMs();
    FBitrate = FReader->BitrateKbps();
    FTitle = FReader->Tag("title");
    FAuthor = FReader->Tag("artist");
    if (FAuthor.empty()) FAuthor = FReader->Tag("author");
    FCopyright = FReader->Tag("copyright");
    FSourceSize = FNetwork ? -1 : FReader->FileSize();
    FFormat = FReader->Format();
    FFilterFormat.SampleRate = static_cast<int32_t>(FFormat.SamplesPerSec);
    FFilterFormat.BitsPerSample = FFormat.BitsPerSample;
    FFilterFormat.Channels = FFormat.Channels;
    if (start) Start(0);
    return 0;
}

void TWMFDecoder::Stop() {
    if (!FThread.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(FLock);
        FTerminate = true;
    }
    FWake.notify_all();
    FThread.join();
    FTerminate = false;
}

void TWMFDecoder::Start(int64_t ms) {
    Stop();
    if (!FReader || !FReader->IsOpen()) return;
    FPosition = static_cast<double>(ms);
    FPaused = false;
    FEndOfFile = false;
    // A source just opened is at its start already; streams can't seek back there.
    if (ms > 0 || FStarted) FReader->Seek(ms);
    FStarted = true;
    FThread = std::thread([this] { Run(); });
}

void TWMFDecoder::Run() {
    SetCurrentThreadName("kelvar-wmdecode");
    const platform::TWMReader::TOnPCM deliver = [this](const uint8_t* buffer, int bytes) {
        FPosition = FPosition.load() + FilterBytesToMs(FFilterFormat, bytes);
        if (OnData) OnData(*this, buffer, bytes);
    };
    while (true) {
        {
            std::unique_lock<std::mutex> guard(FLock);
            FWake.wait(guard, [this] { return FTerminate.load() || !FPaused.load(); });
        }
        if (FTerminate) return;
        platform::TWMReadResult result;
        try {
            result = FReader->ReadNext(deliver);
        } catch (const std::exception& e) {
            LogMessage(std::string("Windows Media decoding: ") + e.what(), "Decoder", LogKind::Error);
            result = platform::TWMReadResult::Failed;
        }
        if (FTerminate) return;  // a stop cut the read short; that is no end of the source
        if (result == platform::TWMReadResult::Data) continue;
        if (result == platform::TWMReadResult::Failed && !FTerminate)
            LogMessage("Windows Media source ended: " + FReader->LastError(), "Decoder", LogKind::Warning);
        if (FDuration > 0) FPosition = static_cast<double>(FDuration);
        FNetwork = false;
        FEndOfFile = true;
        return;
    }
}

void TWMFDecoder::Pause() { FPaused = true; }

void TWMFDecoder::Resume() {
    {
        std::lock_guard<std::mutex> guard(FLock);
        FPaused = false;
    }
    FWake.notify_all();
}

void TWMFDecoder::SetPaused(bool value) {
    if (value == FPaused.load()) return;
    if (value)
        Pause();
    else
        Resume();
}

void TWMFDecoder::SetDecodeSpeed(float value) {
    if (value > -1.0f && value < 1.0f) throw EMediaError("Invalid Decode Speed");
    FDecodeSpeed = value;
}

void TWMFDecoder::CloseReader() {
    FPosition = 0;
    Stop();
    if (FReader) FReader->Close();
}

void TWMFDecoder::Release() {
    CloseReader();
    FReader.reset();
}

}  // namespace kelvar
