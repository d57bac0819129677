#pragma once
// Plays a Windows Media source on a thread of its own: once started, the thread decodes and
// hands each block to OnData until the end, a pause or a stop. Used by the streaming decoder,
// which buffers what arrives.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/AudioFormat.h"
#include "media/Decoder.h"

namespace kelvar {

namespace platform {
class TWMReader;
}

class TWMFDecoder {
public:
    // Runs on the decode thread; the buffer is valid during the call.
    using TOnData = std::function<void(TWMFDecoder& sender, const uint8_t* buffer, int bytes)>;

    TWMFDecoder();
    ~TWMFDecoder();
    TWMFDecoder(const TWMFDecoder&) = delete;
    TWMFDecoder& operator=(const TWMFDecoder&) = delete;

    // Raises EMediaError "Could not create Reader ($<code>)".
    void CreateReader();
    // Opens the file or address and selects its audio; starts decoding from 0 unless told not to.
    // Raises EMediaError "<step text> ($<code>)"; the reader is closed then. Answers 0.
    int Open(const std::string& name, bool start = true);
    // Decodes from Ms on (stops a running decode first).
    void Start(int64_t ms);
    void Pause();
    void Resume();
    void SetPaused(bool value);
    bool GetPaused() const { return FPaused.load(); }
    // Raises EMediaError "Invalid Decode Speed" for a value above -1 and below 1.
    void SetDecodeSpeed(float value);
    float GetDecodeSpeed() const { return FDecodeSpeed; }
    // Ends the decode thread; the source stays open for the next Start.
    void Stop();
    void CloseReader();
    void Release();

    int64_t GetDuration() const { return FDuration; }
    int32_t GetBitrate() const { return FBitrate; }
    const std::string& GetTitle() const { return FTitle; }
    const std::string& GetAuthor() const { return FAuthor; }
    const std::string& GetCopyright() const { return FCopyright; }
    const TWaveFormat& GetFormat() const { return FFormat; }
    const TFilterFormat& GetFilterFormat() const { return FFilterFormat; }
    // Bytes of the source; -1 for streams.
    int64_t GetSourceSize() const { return FSourceSize; }
    bool IsNetwork() const { return FNetwork.load(); }
    bool IsEndOfFile() const { return FEndOfFile.load(); }
    double GetPosition() const { return FPosition.load(); }

    TOnData OnData;

private:
    void Run();

    std::unique_ptr<platform::TWMReader> FReader;
    std::thread FThread;
    std::mutex FLock;
    std::condition_variable FWake;
    std::atomic<bool> FTerminate{false};
    std::atomic<bool> FPaused{false};
    std::atomic<bool> FEndOfFile{false};
    std::atomic<bool> FNetwork{false};
    std::atomic<double> FPosition{0};
    float FDecodeSpeed = 1.0f;
    bool FStarted = false;  // decoding ran since the source was opened

    int64_t FDuration = 0;
    int32_t FBitrate = 0;
    int64_t FSourceSize = -1;
    std::string FTitle, FAuthor, FCopyright;
    TWaveFormat FFormat{};
    TFilterFormat FFilterFormat{};
};

}  // namespace kelvar
