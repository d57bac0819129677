#pragma once
// The one way into the core object's private members, for tests where the door (core/KelvarApi)
// offers nothing: the automation's state and settings, the parts of its tick, and the objects a
// test builds a core of its own from. Code of the program never uses it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/Kelvar.h"

namespace kelvar {

class TKelvarTestAccess {
public:
    explicit TKelvarTestAccess(TKelvar& Core)
        : AutoRecovery(Core.AutoRecovery),
          AudioPipe(Core.AudioPipe),
          VoiceFX(Core.VoiceFX),
          MetaDataConfig(Core.MetaDataConfig),
          PlaylistControl(Core.PlaylistControl),
          PlayerList(Core.PlayerList),
          DeckA(Core.DeckA),
          DeckB(Core.DeckB),
          SoundFXPlayer(Core.SoundFXPlayer),
          Aux3(Core.Aux3),
          CurrentSong(Core.CurrentSong),
          XFadeSkipTime(Core.XFadeSkipTime),
          NoAutoStartOnFade(Core.NoAutoStartOnFade),
          NotifySongChange(Core.NotifySongChange),
          ServiceMode(Core.ServiceMode),
          OnQueueFailed(Core.OnQueueFailed),
          FCore(Core) {}

    std::unique_ptr<TAutoRecovery>& AutoRecovery;
    std::unique_ptr<TAudioPipe>& AudioPipe;
    std::unique_ptr<TVoiceFX>& VoiceFX;
    std::unique_ptr<TMetaDataConfig>& MetaDataConfig;
    IPlaylistControlPtr& PlaylistControl;
    std::vector<std::unique_ptr<TCoreDeck>>& PlayerList;
    TKelvarPlayer*& DeckA;
    TKelvarPlayer*& DeckB;
    TKelvarPlayer*& SoundFXPlayer;
    TKelvarPlayer*& Aux3;
    ISongInfoPtr& CurrentSong;
    int32_t& XFadeSkipTime;
    std::atomic<uint8_t>& NoAutoStartOnFade;
    std::atomic<uint8_t>& NotifySongChange;
    bool& ServiceMode;
    TMulticastEvent<TKelvar&>& OnQueueFailed;

    void Play() { FCore.Play(); }
    void PauseOrPlay() { FCore.PauseOrPlay(); }
    void PlayNext(bool Fade) { FCore.PlayNext(Fade); }
    TKelvarPlayer* PlayingDeck() { return FCore.PlayingDeck(); }
    TKelvarPlayer* ReadyDeck() { return FCore.ReadyDeck(); }
    TKelvarPlayer* EmptyDeck() { return FCore.EmptyDeck(); }
    TKelvarPlayer* CurrentDeck() { return FCore.CurrentDeck(); }
    int64_t DecksRemainingTime() { return FCore.DecksRemainingTime(); }
    bool NoXFade(const ISongInfoPtr& Song) const { return FCore.NoXFade(Song); }
    TKelvarAPIHandlers APIHandlers() { return FCore.APIHandlers(); }
    void CheckSongChange() { FCore.CheckSongChange(); }
    void CheckFinishedPlayers() { FCore.CheckFinishedPlayers(); }
    void AutoRecoveryTick() { FCore.AutoRecoveryTick(); }
    void DeckFadeStart(TKelvarPlayer& Fading, TKelvarPlayer& Other) { FCore.DeckFadeStart(Fading, Other); }

private:
    TKelvar& FCore;
};

}  // namespace kelvar
