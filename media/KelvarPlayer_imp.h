#pragma once
// The automated deck: merges a song's settings over its defaults, applies them to its chain and
// schedules the fade-out and start-next events on the mixer input.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "audio/graph/FiltersEx.h"
#include "media/Player_imp.h"
#include "media/SongInfo.h"
#include "media/SongSettings.h"

namespace kelvar {

// Deck states.
namespace DeckState {
constexpr int Playing = 0;
constexpr int Empty = 1;
constexpr int Ready = 2;
}  // namespace DeckState

class TKelvarPlayer : public TPlayer {
public:
    using TNextSongEvent = std::function<void(TKelvarPlayer& Sender)>;
    using TBeforeLoadEvent = std::function<void(TKelvarPlayer& Sender, const ISongInfoPtr& Song)>;

    TKelvarPlayer();
    ~TKelvarPlayer() override;

    bool LoadSong(const ISongInfoPtr& Song);
    void Unload() override;
    void Play() override;
    static void ReadSongSettings(const ISongInfoPtr& Song, TSongSettings& Settings);
    void SetSongSettings(const TSongSettings& Settings);
    TSongSettings GetSongSettings();
    // The effective settings in use.
    TSongSettings GetEffectiveSettings();
    // Takes effect at the next SetSongSettings; the record must outlive the deck's use of it.
    void SetDefaultSettings(const TSongSettings* Defaults);
    ISongInfoPtr GetSong();
    std::string GetStreamTitle();
    void SetStreamTitle(const std::string& Title);
    int GetState();
    // True once per loaded song, at the first call after its first Play.
    bool SongStarted();
    void Stop();
    void FadeToNext();
    void FadeOutAndPause();
    void FadeInAndPlay();
    double GetEffectiveBPM();
    void SyncTempo(double Target);

    // Fired on the output thread by the start-next event, without the deck's lock: a handler
    // may lock and start another deck but must not wait for the output thread.
    TNextSongEvent OnNextSong;
    // Fired first in LoadSong, without the deck's lock.
    TBeforeLoadEvent OnBeforeLoad;

protected:
    int64_t DoGetDuration() override;
    void QueueMarkers() override;
    void OnMeta(IMetaData& Meta) override;
    void OnEnd() override;

private:
    void ApplySettings();
    void OnFadeTrigger();

    std::mutex FSongLock;  // the song reference, read without the deck's lock
    ISongInfoPtr FSong;
    bool FIsStream = false;
    std::string FStreamTitle;
    const TSongSettings* FDefaults = nullptr;
    TSongSettings FOwnSettings;
    TSongSettings FSettings;
    int FStartLatch = 0;
    TVolControl* FGainControl = nullptr;
    bool FLoadingSong = false;
    bool FEndFadeQueued = false;  // OnEnd has queued its fade to the next song
};

}  // namespace kelvar
