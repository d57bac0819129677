#pragma once
// A deck: plays one source at a time into its own channel. It asks the decoder factory for a
// decoder, decodes on a worker thread into the channel whenever the channel's push-pull
// bridge has room, and offers the transport operations. The automated deck derives from it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/graph/FiltersEx.h"
#include "audio/mix/Channel_imp.h"
#include "audio/nodes/Node_Volume.h"
#include "foundation/ConfigDoc.h"
#include "media/Decoder.h"
#include "media/WorkerThread.h"

namespace kelvar {

// Player event codes on the mixer input (kind 3).
namespace PlayerEvent {
constexpr uint8_t EndReached = 0;
constexpr uint8_t FadeOut = 4;
constexpr uint8_t StartNext = 5;
constexpr uint8_t PauseAfterFade = 6;
}  // namespace PlayerEvent

class TPlayer {
public:
    TPlayer();
    // Unloads, then waits for any worker that was still finishing a step before the channel
    // and the lock go. The channel's output must be out of the mixer by now. A class that overrides
    // a hook the worker calls (DoGetDuration, QueueMarkers, OnMeta, OnEnd) unloads in its own
    // destructor: a step running after that would call into a half-destroyed deck.
    virtual ~TPlayer();
    TPlayer(const TPlayer&) = delete;
    TPlayer& operator=(const TPlayer&) = delete;

    void Lock() { FLock.lock(); }
    void Unlock() { FLock.unlock(); }
    std::recursive_mutex& GetLock() { return FLock; }

    bool Load(const std::string& Name);
    virtual void Unload();
    virtual void Play();
    void Pause();
    void SetPaused(bool Paused);
    // The position reached.
    int64_t Seek(int64_t Ms);
    // The position of the last block that passed the channel's mixer input.
    int64_t GetPosition();
    // -1 when empty. Publishes a changed value to the mixer input as the stream's end.
    int64_t GetDuration();
    bool IsSeekable();
    bool IsFinished() const { return FFinished.load(); }
    bool IsLoaded() const { return FLoaded.load(); }
    // The decoder has delivered its last block (or failed).
    bool IsEndOfStream() const { return FEndOfStream.load(); }
    // Some audio of the loaded source has been decoded.
    bool HasAudio() const { return FHasAudio.load(); }
    // An input that delivers no audio for this long while the deck wants more (a stream that
    // stalls or never starts) is ended as if it had reached its end.
    static constexpr int64_t NoAudioLimitMs = 5000;
    void SetNoAudioLimit(int64_t Ms) { FNoAudioLimitMs = Ms; }
    int GetVolume();
    void SetVolume(int Value);
    void SetPitch(int Percent);
    void SetTempo(int Percent);
    int GetChannels();
    int GetBitrate();
    int GetRate();
    int GetBufferPercent() const { return FBufferPercent.load(); }
    void SetBufferPercent(int Value) { FBufferPercent = Value; }
    bool GetLoop() const { return FLoop.load(); }
    void SetLoop(bool Value) { FLoop = Value; }
    void LoadConfig(IConfigDoc& Section);
    void SaveConfig(IConfigDoc& Section);

    std::unique_ptr<TChannel_player> Channel;
    std::atomic<int> Pitch{0};
    std::atomic<int> Tempo{0};

protected:
    virtual int64_t DoGetDuration();
    virtual void QueueMarkers();
    virtual void OnMeta(IMetaData& Meta);
    virtual void OnEnd();

    // CreateDecoder and Open, without the deck's lock; null (logged) when that fails.
    static IDecoderPtr OpenDecoder(const std::string& Name);
    // The rest of Load, under the lock, with a decoder opened by OpenDecoder (null: False).
    bool LoadOpened(const std::string& Name, IDecoderPtr Decoder);
    // Queues a player event (kind 3) on the mixer input with OnMeta as its callback.
    void AddPlayerEvent(uint8_t Code, TStreamTime Time);
    bool IsPlayingFlag();
    IDecoderPtr GetDecoder();

    std::recursive_mutex FLock;
    TVolControl* FVolControl = nullptr;  // owned by the channel's volume node
    double FDecodedPosition = 0;
    std::atomic<bool> FLoaded{false};
    std::atomic<bool> FEndOfStream{false};
    std::atomic<bool> FFinished{true};
    std::atomic<bool> FHasAudio{false};

private:
    // Worker thread, under the lock: ends an input that has been starved of audio too long.
    void CheckNoAudio(bool Delivered);
    void DecodeStep(TWorkerThread* Worker);
    void OnPCM(const void* Buffer, int32_t Bytes, const TWaveFormat& Format);
    void OnDecoderMeta(const IMetaDataPtr& Meta);
    void StopWorker();
    // Joins the workers that ended since they were stopped; all of them when Wait is set.
    void ReapWorkers(bool Wait);

    std::mutex FRefLock;  // guards the decoder and worker references read outside FLock
    IDecoderPtr FDecoder;
    std::unique_ptr<TWorkerThread> FWorker;
    std::mutex FRetiredLock;
    std::vector<std::unique_ptr<TWorkerThread>> FRetired;
    std::shared_ptr<IPinControl> FOutputControl;
    int64_t FLastDuration = -123;
    TWaveFormat FInputFormat = DefaultAudioFormat;
    std::atomic<int> FBufferPercent{100};
    std::atomic<bool> FLoop{false};
    int FVolume = 255;
    std::atomic<int64_t> FNoAudioLimitMs{NoAudioLimitMs};
    // Since when the worker has been asking for audio without getting any (0: it got some).
    int64_t FHungrySince = 0;
    bool FBuffering = false;  // the last step reported a pre-buffer's progress
    std::string FSourceName;
};

}  // namespace kelvar
