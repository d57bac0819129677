#pragma once
// The core's front door: what the windows (and the program's main file) may do with the core.
// Commands act on the automation, snapshots are copies of what a window shows, and events are
// multicast: every listener that registered hears every event until its link goes.
// Main thread only, like the automation it fronts.
//
// Sections: life cycle | deck commands | DJ mode and recovery | volumes, mutes and voice |
// queue and history | configuration | snapshots | events. Add new operations to the section
// they belong to.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/DJModes.h"
#include "core/playlist/SongItem.h"
#include "foundation/ConfigDoc.h"
#include "foundation/Logger.h"
#include "foundation/MulticastEvent.h"
#include "media/SongInfo.h"

namespace kelvar {

class TAudioPipe;
class TAutoRecovery;
class TKelvar;
class TKelvarPlayer;
class TMetaDataConfig;
class TPlaylistManager;
class TVoiceFX;

// The players of the core, in the order the core creates them.
enum class TDeckId : uint8_t { DeckA = 0, DeckB = 1, SoundFX = 2, Aux1 = 3, Aux2 = 4, Aux3 = 5 };

// Where a song goes in the queue (the queue's own ipTop/ipBottom).
enum class TQueuePlace : uint8_t { Top = 0, Bottom = 1 };

// A deck's state (the values of the deck's own DeckState).
enum class TDeckPhase : uint8_t { Playing = 0, Empty = 1, Ready = 2 };

// Where the talk-over voice goes: nowhere, into the mixer, or through the sound card's own line
// mixer; Other is a setting the windows do not offer.
enum class TVoiceRoute : uint8_t { None, Mixer, Soundcard, Other };

struct TDeckSnapshot {
    bool Exists = false;
    TDeckPhase Phase = TDeckPhase::Empty;
    int64_t Position = 0;
    int64_t Duration = 0;
    int32_t SongID = 0;
    std::string Artist;
    std::string Title;
    std::string FileName;
};

struct TLevelsSnapshot {
    uint8_t MainVolume = 0;
    uint8_t PreviewVolume = 0;
    bool MainMute = false;
    bool PreviewMute = false;
    bool Muted = false;             // the core's own mute of the on-air output
    bool PreviewOwnDevice = false;  // the preview plays on a second device
};

// What the queue window hears; any member may be empty.
struct TQueueListener {
    std::function<void(const ISongItemListPtr& Songs)> Added;
    std::function<void(int32_t ID)> Removed;
    std::function<void(int32_t ID, double SortID)> Moved;
    std::function<void(int32_t ID)> Popped;
    // Cleared or shuffled: show the queue again.
    std::function<void()> Changed;
};

// The links of one listener; dropping it unregisters every part.
using TEventLinks = std::vector<TEventLink>;

class TKelvarApi {
public:
    explicit TKelvarApi(TKelvar& Core);
    ~TKelvarApi();
    TKelvarApi(const TKelvarApi&) = delete;
    TKelvarApi& operator=(const TKelvarApi&) = delete;

    // ---- life cycle
    void Log(const std::string& Message, const std::string& Source, TLogKind Kind);
    // Ejects every deck and closes the audio pipe (the program's last step before the core goes).
    void ShutdownAudio();
    // Before the core's start: nobody watches the program (a Queue mode that a queue failure set
    // in an earlier run is not kept).
    void SetServiceMode(bool On);

    // ---- deck commands
    void Play();
    // Pauses the playing deck, or plays the ready one when none plays.
    void PauseOrPlay();
    void Stop();
    void PlayNext(bool Fade);
    void EjectAll();
    void QueueNext(TDeckId Deck);
    void QueueNextAndPlay(TDeckId Deck);
    // Remote-control "notify song change".
    void SetNotifySongChange(bool On);
    // The deck windows' players, handed out as handles for core/PlayerAccess; nullptr when the
    // core has no such player.
    TKelvarPlayer* DeckPlayer(TDeckId Deck) const;
    // Deck A or B, whichever plays; nullptr when neither does.
    TKelvarPlayer* PlayingDeck();
    // As above, for the deck a window holds.
    void QueueNext(TKelvarPlayer* Deck);
    void QueueNextAndPlay(TKelvarPlayer* Deck);
    // The player lets go of its song and its file.
    void Unload(TDeckId Deck);

    // ---- DJ mode and recovery
    // DJModes::AutoDJ, Queue or Manual; -1 before the core is initialised.
    int DJMode() const;
    void SetDJMode(uint8_t Mode);
    bool AutoRecoveryEnabled() const;
    void SetAutoRecoveryEnabled(bool On);
    // Seconds of the recovery countdown left (0 when none runs).
    int32_t RecoverySecondsLeft() const;
    void StartRecovery();
    void AbortRecovery();

    // ---- volumes, mutes and voice
    bool Muted() const;
    void SetMuted(bool On);
    uint8_t MainVolume() const;
    void SetMainVolume(uint8_t Value);
    // Adds Delta to the main volume, kept within 0..255.
    void ChangeMainVolume(int Delta);
    void SetPreviewVolume(uint8_t Value);
    void SetMainMute(bool On);
    void SetPreviewMute(bool On);
    bool HasVoice() const;
    bool Talking() const;
    // Talking switches the voice on first.
    void SetTalking(bool On);
    // The voice, handed out as a handle for core/VoiceAccess; nullptr when the core has none.
    TVoiceFX* Voice() const;
    // None without a voice.
    TVoiceRoute VoiceRoute() const;
    void SetVoiceRoute(TVoiceRoute Route);

    // ---- queue and history
    // Copies of the rows as the windows list them (requests marked " ~requested~").
    ISongItemListPtr QueueSnapshot();
    ISongItemListPtr HistorySnapshot();
    // The most rows the history lists.
    int HistoryLimit();
    // False until the core has its song database model.
    bool HasQueue();
    int QueueCount();
    // After/Before as TQueueList::AddSongs; the items get their ListID and SortID.
    void QueueSongs(const ISongItemListPtr& Songs, double After, double Before);
    void QueueSong(const ISongInfo& Song, TQueuePlace Place);
    // A listener request: the song goes to the bottom marked with its request.
    void RequestSong(const ISongInfoPtr& Song, int32_t RequestID);
    // Answers the new sortID, the midpoint of SortA and SortB.
    double MoveQueueSong(int32_t ID, double SortA, double SortB);
    void RemoveQueueSong(int32_t ID);
    // One queued statement, so the automation's next pop sees all of it.
    void RemoveQueueSongs(const std::vector<int32_t>& IDs);
    // Removes every queue row whose ID is not in Keep.
    void CropQueue(const std::vector<int32_t>& Keep);
    void ClearQueue();
    void ShuffleQueue();
    int RemoveQueueDuplicates();
    // Waits until queued moves and deletions are stored.
    void WaitForQueue();
    // Asks the rotation for a song (the ghost song first) and queues it at the bottom, up to
    // Tries times; answers whether one was queued.
    bool QueueChosenSong(int Tries);

    // ---- configuration
    // The driver of the song database the program opened (0 none, 1 MySQL, 2 Firebird,
    // 3 PostgreSQL, 4 MSSQL, 5 SQLite, 6 ADO); process-wide, so asked without a door.
    static int DatabaseDialect();
    void LoadConfig(IConfigDoc& Node);
    void SaveConfig(IConfigDoc& Node);
    // The song database model the library and on-air windows list from; nullptr before the core
    // has one.
    std::shared_ptr<TPlaylistManager> PlaylistManager() const;
    // The folder the songs' "picture" names are relative to; empty without metadata settings.
    std::string PictureFolder() const;
    // The engine objects the audio settings and the editors' preview work on through the access
    // classes (core/AudioSettingsAccess, core/PreviewDeck); null when the core has none.
    TAudioPipe* AudioPipe() const;
    // The metadata settings (picture folder, lookups).
    const TMetaDataConfig* MetaDataConfig() const;

    // ---- snapshots
    TDeckSnapshot Deck(TDeckId Deck);
    TLevelsSnapshot Levels() const;
    // What is left to play on decks A and B (ms): the queue's first song starts after it.
    int64_t DecksRemainingTime();
    int PlayerCount() const;

    // ---- events (a link unregisters its listener when it goes)
    TEventLinks ListenQueue(TQueueListener Listener);
    TEventLink ListenHistory(std::function<void(const TSongItem& Item)> Added);
    TEventLink ListenDJMode(std::function<void(int Mode)> Changed);
    TEventLink ListenQueueFailed(std::function<void()> Failed);
    // The recovery countdown: Triggered when it starts counting (with the recovery the countdown
    // window watches), Ended when it started the decks or was aborted.
    TEventLinks ListenRecovery(std::function<void(TAutoRecovery& Recovery)> Triggered, std::function<void()> Ended);

private:
    TKelvarPlayer* Player(TDeckId Deck) const;

    TKelvar& FCore;
    TMulticastEvent<int32_t, double> FQueueMoved;
    TMulticastEvent<int> FDJModeChanged;
};

// The program's door, set by the core data module while its core lives (and by tests that make
// a core of their own). Windows are handed it through this one accessor; code of the core never
// calls it.
TKelvarApi* ProgramKelvarApi();
void SetProgramKelvarApi(TKelvarApi* Api);

}  // namespace kelvar
