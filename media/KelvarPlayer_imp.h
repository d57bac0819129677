#pragma once
// Per-song playout settings (cues, fades, crossfade, gap killer, gain, tempo) with their text
// form, and the automated deck that merges a song's settings over its defaults, applies them to
// its chain and schedules the fade-out and start-next events on the mixer input.
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "audio/graph/FiltersEx.h"
#include "media/Player_imp.h"
#include "media/SongInfo.h"

namespace kelvar {

struct TCuePoint {
    std::string Name;
    int64_t Time = 0;
};
using TCuePoints = std::array<TCuePoint, 10>;

struct TFadeParams {
    int32_t Enabled = -1;  // 1 on, 0 off, -1 default
    int32_t Time = -1;     // ms
    int32_t Level = -1;    // percent depth of the fade
    uint8_t Curve = 0;     // 1 linear, 2 cosine, 3 power; 0 default
};

// Times in ms; -1 asks for the default (Gain 0, curves 0).
struct TSongSettings {
    int64_t Start = -1;
    int64_t End = -1;
    int64_t Intro = -1;
    int64_t Outro = -1;
    TCuePoints CuePoints{};
    int32_t GapKiller = 1;
    int32_t Gain = 0;
    double BPM = 0;
    int64_t Fade = -5000;
    int64_t XFade = -3000;
    TFadeParams FadeIn{1, 500, 80, 2};
    TFadeParams FadeOut{1, 5000, 90, 2};
    int32_t XFadeMode = 2;  // 0 none, 1 start the next song at XFade, 2 detect by level
    int32_t XFadeLevel = 7;  // dB below full scale
    int32_t XFadeMinTime = 100;
    int32_t XFadeMaxTime = 6000;
};

namespace XFadeModes {
constexpr int32_t None = 0;
constexpr int32_t Fixed = 1;
constexpr int32_t Detect = 2;
}  // namespace XFadeModes

// The built-in defaults; the custom cues are left as they are.
void InitSongSettings(TSongSettings& Settings);
// Own's fields that do not ask for the default replace those of Defaults; BPM and the custom
// cues stay those of Defaults.
void MergeSongSettings(const TSongSettings& Defaults, const TSongSettings& Own, TSongSettings& Result);
std::string SongSettingsToString(const TSongSettings& Settings);
// Missing or malformed values ask for the default.
void StringToSongSettings(const std::string& Text, TSongSettings& Settings);
// "&" and "=" cannot live in a cue name of the text form: they are replaced by "+" and "-".
std::string CleanCueName(const std::string& Name);

// The defaults of every deck, and the same with fade-in, fade-out and crossfading off (the
// core fills the second from the first). Written on the main thread only.
extern TSongSettings DefaultSongSettings;
extern TSongSettings NoFadeSongSettings;

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
