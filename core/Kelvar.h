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
#include <utility>
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

    // The playlist control is made by Init unless one is given (tests and benchmarks give their
    // own, a fake one or a real one they keep a hold of).
    explicit TKelvar(IPlaylistControlPtr Control = nullptr);
    ~TKelvar();
    TKelvar(const TKelvar&) = delete;
    TKelvar& operator=(const TKelvar&) = delete;

    // Whoever makes the core hands it these before Init.
    void SetHeartbeat(THeartBeat* Value) { Heartbeat = Value; }
    void SetLogger(ILoggerPtr Value) { Logger = std::move(Value); }

    // Life cycle (main thread): Init, LoadConfig on "Kelvar", DoAfterLoad ... DoQuit.
    void Init();
    void LoadConfig(IConfigDoc& Node);
    void SaveConfig(IConfigDoc& Node);
    void DoAfterLoad();
    void DoQuit();

    // The players in the order the core makes them (deck A, deck B, sound effects, auxiliary 1
    // to 3); windows are handed them by the door.
    TKelvarPlayer* Players(int Index);
    int PlayerCount() const { return static_cast<int>(PlayerList.size()); }
    void EjectAll();
    void QueueNext(TKelvarPlayer* Player);
    // A line in the core's log.
    void Log(const std::string& Message, const std::string& Source, TLogKind Kind);

    // Heartbeat tasks (main thread); the parts of the tick are private.
    void Tick();
    void QueueFill();

private:
    // The door carries out the windows' commands on the members below, the core data module
    // makes the core, and tests reach what the door does not offer through one accessor
    // (tests/common/KelvarTestAccess.h).
    friend class TKelvarApi;
    friend class TfoKelvar;
    friend class TKelvarTestAccess;

    bool GetMuted();

    // Deck commands (main thread).
    void Play();
    void PlayNext(bool Fade);
    void QueueNextAndPlay(TKelvarPlayer* Player);
    TKelvarPlayer* PlayingDeck();
    TKelvarPlayer* ReadyDeck();
    TKelvarPlayer* EmptyDeck();
    TKelvarPlayer* CurrentDeck();
    int64_t DecksRemainingTime();
    bool NoXFade(const ISongInfoPtr& Song) const;
    // The commands of the remote-control message that the core carries out (the user interface
    // adds Exit and Show).
    TKelvarAPIHandlers APIHandlers();

    // Parts of the tick, callable on their own (main thread).
    void CheckSongChange();
    void CheckFinishedPlayers();
    void AutoRecoveryTick();
    // The start-next handler of decks A and B, on the output thread: starts Other when it is
    // ready, unless the next song must not start on a fade or the mode is Manual.
    void DeckFadeStart(TKelvarPlayer& Fading, TKelvarPlayer& Other);

    void StopAll();
    void SetMuted(bool Value);
    void DoStatus(const std::string& Message);
    // Pauses the playing deck, or plays the ready one when none plays.
    void PauseOrPlay();
    TKelvarPlayer* TargetDeck();
    bool AutoDJAllowed();
    void Maintenance();
    void CheckQueueAhead();
    void UpdateMeters();
    // The time the deck on air has left, 0 when none plays or its length is unknown.
    int64_t TimeLeftOnAir();

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

    // The data members, in the order they are made and (backwards) freed.
    // Every listener hears it (the main window, the remote commands).
    TMulticastEvent<TKelvar&> OnQueueFailed;
    // Set before Init when nobody watches (service mode): a Queue mode that a queue failure set
    // in an earlier run is not kept.
    bool ServiceMode = false;
    std::atomic<uint8_t> NotifySongChange{0};
    int32_t XFadeSkipTime = 45000;
    // Read by the start-next handler on the output thread.
    std::atomic<uint8_t> NoAutoStartOnFade{0};
    TStatusEvent StatusEvent;
    THeartBeat* Heartbeat = nullptr;
    std::unique_ptr<TAutoRecovery> AutoRecovery;
    std::vector<std::unique_ptr<TCoreDeck>> PlayerList;
    ISongInfoPtr CurrentSong;
    ILoggerPtr Logger;
    std::unique_ptr<TAudioPipe> AudioPipe;
    std::unique_ptr<TVoiceFX> VoiceFX;
    std::unique_ptr<TMetaDataConfig> MetaDataConfig;
    IPlaylistControlPtr PlaylistControl;
    TKelvarPlayer* DeckA = nullptr;
    TKelvarPlayer* DeckB = nullptr;
    TKelvarPlayer* SoundFXPlayer = nullptr;
    TKelvarPlayer* Aux1 = nullptr;
    TKelvarPlayer* Aux2 = nullptr;
    TKelvarPlayer* Aux3 = nullptr;

    int32_t LastMeterDelay = 0;
    std::unique_ptr<TPluginManager> PluginManager;
    ILogicListPtr LogicList;

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
