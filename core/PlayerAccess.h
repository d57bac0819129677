#pragma once
// One player of the core as the deck, fade and pad windows drive it, without the player's or the
// engine's headers. The windows hold a player as a handle (a pointer they never use themselves);
// every access answers a neutral value when the handle is null.
#include <cstdint>
#include <string>

#include "core/ChannelMix.h"
#include "core/KelvarApi.h"
#include "media/SongInfo.h"
#include "media/SongSettings.h"

namespace kelvar {

class TKelvarPlayer;

class TPlayerAccess {
public:
    explicit TPlayerAccess(TKelvarPlayer* Player) : FPlayer(Player) {}

    bool Exists() const { return FPlayer != nullptr; }
    TDeckPhase State();

    bool LoadSong(const ISongInfoPtr& Song);
    void Unload();
    void Play();
    void Pause();
    void Seek(int64_t Ms);
    void FadeInAndPlay();
    void FadeOutAndPause();
    void FadeToNext();
    // The pads' own cue and fade settings for songs loaded from now on (Settings outlives them).
    void SetDefaultSettings(const TSongSettings* Settings);

    ISongInfoPtr Song();
    TSongSettings SongSettings();
    std::string StreamTitle();
    int64_t Position();
    int64_t Duration();
    bool Seekable();
    int Rate();
    int Bitrate();
    int Channels();
    int BufferPercent();

    int Volume();
    void SetVolume(int Value);
    int Pitch();
    void SetPitch(int Percent);
    int Tempo();
    void SetTempo(int Percent);
    double EffectiveBPM();
    void SyncTempo(double Target);
    bool Loop();
    void SetLoop(bool Value);

    // ChannelMix flags; 0 without a channel.
    uint8_t MixMode();
    // Flips the given flags; false without a channel.
    bool ToggleMix(uint8_t Flags);
    // The channel's level meter; false (levels untouched) without one.
    bool Levels(double& Left, double& Right);

private:
    TKelvarPlayer* FPlayer;
};

}  // namespace kelvar
