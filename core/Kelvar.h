#pragma once
// The core object: owns the six players, the audio pipe, the talk-over voice, the plug-in
// manager, the playlist control, the rotation logic list, the auto recovery and the metadata
// configuration; loads and saves the node "Kelvar" of the core configuration; and, on the core
// heartbeat, runs the deck automation (queue fill, loading the idle deck before the playing one
// ends, ejecting finished decks, booking song starts, auto recovery).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "audio/live/VoiceFX_imp.h"
#include "audio/mix/AudioPipe_imp.h"
#include "core/AutoRecovery.h"
#include "core/ChoiceAhead.h"
#include "core/CoreDeck.h"
#include "core/HeartBeat.h"
#include "core/MessageAPI.h"
#include "core/RepeatedFailure.h"
#include "core/plugins/PluginManager_imp.h"
#include "core/rotation/PlaylistControl.h"
#include "core/rotation/PlaylistLogic.h"
#include "foundation/ConfigDoc.h"
#include "foundation/Logger.h"
#include "foundation/MulticastEvent.h"
#include "media/SongInfo.h"
#include "media/tags/MetaDataConfig_imp.h"

namespace kelvar {

class TKelvar {
public:
    using TNotifyEvent = std::function<void(TKelvar& Sender)>;
    using TStatusEvent = std::function<void(const std::string& Message)>;

    // The playlist control is made by Init unless one is given (tests give a fake one).
    explicit TKelvar(IPlaylistControlPtr Control = nullptr);
    ~TKelvar();
    TKelvar(const TKelvar&) = delete;
    TKelvar& operator=(const TKelvar&) = delete;

    // Life cycle (main thread): Init, LoadConfig on "Kelvar", DoAfterLoad ... DoQuit.
    void Init();
    void LoadConfig(IConfigDoc& Node);
    void SaveConfig(IConfigDoc& Node);
    void DoAfterLoad();
    void DoQuit();

    TKelvarPlayer* Players(int Index);
    int PlayerCount() const { return static_cast<int>(PlayerList.size()); }
    void EjectAll();
    void StopAll();
    void SetMuted(bool Value);
    bool GetMuted();
    void DoStatus(const std::string& Message);
    void Log(const std::string& Message, const std::string& Source, TLogKind Kind);

    // Deck commands (main thread).
    void Play();
    void PlayNext(bool Fade);
    void QueueNext(TKelvarPlayer* Player);
    void QueueNextAndPlay(TKelvarPlayer* Player);
    // Pauses the playing deck, or plays the ready one when none plays.
    void PauseOrPlay();
    TKelvarPlayer* PlayingDeck();
    TKelvarPlayer* ReadyDeck();
    TKelvarPlayer* EmptyDeck();
    TKelvarPlayer* CurrentDeck();
    TKelvarPlayer* TargetDeck();
    int64_t DecksRemainingTime();
    bool AutoDJAllowed();
    bool NoXFade(const ISongInfoPtr& Song) const;
    // The commands of the remote-control message that the core carries out (the user interface
    // adds Exit and Show).
    TKelvarAPIHandlers APIHandlers();

    // Heartbeat tasks (main thread).
    void Tick();
    void QueueFill();
    void Maintenance();

    // Parts of the tick, callable on their own.
    void CheckSongChange();
    void CheckQueueAhead();
    void CheckFinishedPlayers();
    void AutoRecoveryTick();
    void UpdateMeters();
    // The start-next handler of decks A and B, on the output thread: starts Other when it is
    // ready, unless the next song must not start on a fade or the mode is Manual.
    void DeckFadeStart(TKelvarPlayer& Fading, TKelvarPlayer& Other);

    // Every listener hears it (the main window, the remote commands).
    TMulticastEvent<TKelvar&> OnQueueFailed;
    // Set by the program before Init when nobody watches (service mode): a Queue mode that a
    // queue failure set in an earlier run is not kept.
    bool ServiceMode = false;
    std::unique_ptr<TVoiceFX> VoiceFX;
    std::atomic<uint8_t> NotifySongChange{0};
    int32_t XFadeSkipTime = 45000;
    // Read by the start-next handler on the output thread.
    std::atomic<uint8_t> NoAutoStartOnFade{0};
    int32_t LastMeterDelay = 0;
    TStatusEvent StatusEvent;
    THeartBeat* Heartbeat = nullptr;
    std::unique_ptr<TMetaDataConfig> MetaDataConfig;
    std::unique_ptr<TAutoRecovery> AutoRecovery;
    std::vector<std::unique_ptr<TCoreDeck>> PlayerList;
    std::unique_ptr<TPluginManager> PluginManager;
    ISongInfoPtr CurrentSong;
    ILogicListPtr LogicList;
    ILoggerPtr Logger;
    IPlaylistControlPtr PlaylistControl;
    std::unique_ptr<TAudioPipe> AudioPipe;
    TKelvarPlayer* DeckA = nullptr;
    TKelvarPlayer* DeckB = nullptr;
    TKelvarPlayer* SoundFXPlayer = nullptr;
    TKelvarPlayer* Aux1 = nullptr;
    TKelvarPlayer* Aux2 = nullptr;
    TKelvarPlayer* Aux3 = nullptr;

    // The time the deck on air has left, 0 when none plays or its length is unknown.
    int64_t TimeLeftOnAir();
    // The choice prepared ahead on the worker (tests look at it).
    TChoiceAhead* ChoiceAhead() { return FChoice.get(); }

private:
    // Loads the next song into Player. TimeLeftMs: how long the deck on air still plays. False
    // when the rotation's answer is still under way and there is time to wait for it (the
    // caller tries again on its next tick); the attempts made so far count on.
    bool QueueNextFor(TKelvarPlayer* Player, int64_t TimeLeftMs);
    // The playlist control's chooser: the choice prepared ahead for logics that can choose off
    // the main thread, the logic's own ChooseSong for the others.
    ISongInfoPtr ChooseFor(const IPlaylistLogicPtr& Logic, bool MayWait);
    // Asks the worker for the active logic's next choice, when it chooses there.
    void RequestChoice();
    void ForgetQueueModeOfFailure();
    void LogFailedOnce(const ISongInfoPtr& Song, const std::string& Source);
    TCoreDeck* NewPlayer();
    TKelvarPlayer* FindDeck(int State);
    void SongStarted(TKelvarPlayer& Deck, const std::string& Source);
    void SongLoading(TKelvarPlayer& Deck, const ISongInfoPtr& Song);
    void AutoRecoveryStart();
    std::string PlayerSource(TKelvarPlayer* Player);
    void LogFailedSong(const ISongInfoPtr& Song, const std::string& Source);
    void RemoveFromMixer();

    std::unique_ptr<TChoiceAhead> FChoice;
    bool FChoiceMayWait = true;    // for the chooser, during one QueueNext
    bool FChoiceNotReady = false;  // set by the chooser: the answer is still under way
    int FQueueAttempts = 0;        // failed attempts of the load under way, across ticks
    std::string FQueueCause;       // why the last attempt failed
    uint32_t FQueueRetryAt = 0;    // tick before which a failed queue-ahead is not retried
    TRepeatedFailure FQueueFailures{"Kelvar was unable to queue a song", "CORE"};
    TRepeatedFailure FQueueFillFailures{"Queue fill failed", "CORE"};
    TRepeatedFailure FMaintenanceFailures{"Maintenance failed", "CORE"};
    std::set<std::string> FFailedSongsLogged;  // within a stretch of queue failures
    std::vector<TVolControl*> FDuckControls;
    std::vector<TKelvarPlayer*> FPausedDecks;  // held by the last pause, resumed by the next
    bool FMuted = false;                       // the output pair's main mute, as the core last set it
    bool FQuit = false;
};

// The log line of a song: "Artist - Title (m:ss)".
std::string SongLogText(const ISongInfoPtr& Song);

}  // namespace kelvar
