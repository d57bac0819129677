#include "core/Kelvar.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "audio/nodes/Node_GapKiller.h"
#include "audio/nodes/Node_VUMeter.h"
#include "audio/nodes/Node_Volume.h"
#include "audio/nodes/WinampDSPList.h"
#include "core/ProcessPriority.h"
#include "core/playlist/PlaylistManager.h"
#include "core/plugins/PluginList_imp.h"
#include "core/rotation/LogicList.h"
#include "core/rotation/Logic_category.h"
#include "core/rotation/Logic_weighted.h"
#include "core/rotation/PlaylistControl_imp.h"
#include "core/rotation/RotationConfig.h"
#include "core/rotation/RotationErrors.h"
#include "core/web/Logic_web.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

namespace {

constexpr int TickTask = 1;
constexpr int QueueFillTask = 2;
constexpr int MaintenanceTask = 3;
constexpr int QueueAttempts = 20;
constexpr int64_t QueueAheadMs = 10000;
// A web rotation still answering is waited for (tick by tick, never in one) while the deck on
// air has more than this left; then the fallback song plays.
constexpr int64_t ChoiceMarginMs = 2000;
// A database choice not prepared in time (the first one, or after a change of logic) is waited
// for this long at most.
constexpr int ChoiceWaitMs = 3000;
// When not even the fallback song could be loaded, the queue-ahead tries again after this.
constexpr uint32_t QueueRetryMs = 2000;

using TDeckGuard = std::lock_guard<std::recursive_mutex>;

bool IsPlaying(TKelvarPlayer* Deck) { return Deck && Deck->GetState() == DeckState::Playing; }

// Logics whose choice may run on the worker: they touch only the database (through
// connections of the worker's own) or the network, and the rules, which lock.
bool ChoosesOnWorker(const IPlaylistLogicPtr& Logic) {
    return dynamic_cast<TplWeightedRotation*>(Logic.get()) || dynamic_cast<TplWebRotation*>(Logic.get());
}

bool AnswersOverNetwork(const IPlaylistLogicPtr& Logic) { return dynamic_cast<TplWebRotation*>(Logic.get()); }

std::string UpperText(std::string Text) {
    for (char& c : Text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return Text;
}

// Runs one guarded group of the configuration load: a failure is logged with its prefix and
// the load goes on.
template <class F>
void Guarded(TKelvar& Core, const char* Prefix, F Step) {
    try {
        Step();
    } catch (const std::exception& e) {
        Core.Log(std::string(Prefix) + e.what(), "Kelvar", LogKind::Exception);
    }
}

}  // namespace

std::string SongLogText(const ISongInfoPtr& Song) {
    if (!Song) return {};
    return JoinArtistTitleTrimmed(Song->GetArtist(), Song->GetTitle()) + " (" + FormatTimeMs(2, Song->GetDuration()) +
           ")";
}

TKelvar::TKelvar(IPlaylistControlPtr Control)
    : PlaylistControl(std::move(Control)), PluginManager(std::make_unique<TPluginManager>(PluginDir())) {}

TKelvar::~TKelvar() { DoQuit(); }

// ---- life cycle

void TKelvar::Init() {
    MetaDataConfig = std::make_unique<TMetaDataConfig>();
    AutoRecovery = std::make_unique<TAutoRecovery>();
    AutoRecovery->Logger = Logger;
    AutoRecovery->OnStart = [this](TAutoRecovery&) { AutoRecoveryStart(); };

    DoStatus("Loading plugins");
    PluginManager->Logic->Add(std::make_shared<TBasePlugin>(CategoryLogicInfo));
    PluginManager->Logic->Add(std::make_shared<TBasePlugin>(WebLogicInfo));
    PluginManager->Logic->Add(std::make_shared<TBasePlugin>(WeightedLogicInfo));
    PluginManager->LoadPlugins();

    DoStatus("Creating Playlist Control");
    if (!PlaylistControl) PlaylistControl = std::make_shared<TPlaylistControl>();
    FChoice = std::make_unique<TChoiceAhead>([](IPlaylistLogic& Logic) {
        if (auto* web = dynamic_cast<TplWebRotation*>(&Logic)) web->AbortSyncPost();
    });
    PlaylistControl->SetChooser([this](const IPlaylistLogicPtr& Logic) { return ChooseFor(Logic, FChoiceMayWait); });

    auto logics = std::make_shared<TLogicList>();
    LogicList = logics;
    AddPluginsToList(*PluginManager->Logic, static_cast<ILogicList&>(*logics));

    DoStatus("Creating Audio Pipe");
    AudioPipe = std::make_unique<TAudioPipe>();

    DoStatus("Creating Players");
    DeckA = NewPlayer();
    DeckB = NewPlayer();
    SoundFXPlayer = NewPlayer();
    Aux1 = NewPlayer();
    Aux2 = NewPlayer();
    Aux3 = NewPlayer();

    DeckA->OnNextSong = [this, a = DeckA, b = DeckB](TKelvarPlayer&) { DeckFadeStart(*a, *b); };
    DeckB->OnNextSong = [this, a = DeckA, b = DeckB](TKelvarPlayer&) { DeckFadeStart(*b, *a); };
    for (TKelvarPlayer* deck : {DeckA, DeckB}) {
        deck->OnBeforeLoad = [this](TKelvarPlayer& Deck, const ISongInfoPtr& Song) { SongLoading(Deck, Song); };
    }

    VoiceFX = std::make_unique<TVoiceFX>();
    for (TKelvarPlayer* deck : {DeckA, DeckB}) {
        TVolControl* control = deck->Channel->Volume->AddVolControl();
        FDuckControls.push_back(control);
        VoiceFX->AddMusicControl(control);
    }
    VoiceFX->SetMixer(&AudioPipe->GetMixer());
}

TCoreDeck* TKelvar::NewPlayer() {
    auto player = std::make_unique<TCoreDeck>();
    player->SetDefaultSettings(&DefaultSongSettings);
    AudioPipe->GetMixer().AddSource(player->Channel->GetOutput());
    PlayerList.push_back(std::move(player));
    return PlayerList.back().get();
}

void TKelvar::LoadConfig(IConfigDoc& Node) {
    const bool live = Node.GetLiveApply();
    // The logic's settings change under a choice still under way: drop it.
    if (FChoice) FChoice->Reset();
    Guarded(*this, "Error loading Plugin: ", [&] { PluginManager->LoadConfig(*Node.Section("Plugins")); });
    Guarded(*this, "Error loading Logic: ", [&] {
        LogicList->LoadConfig(*Node.Section("LogicList"));
        PlaylistControl->SetLogic(LogicList->GetActive());
        // The automation never waits for the web service's answer to a play or failure.
        if (auto* web = dynamic_cast<TplWebRotation*>(PlaylistControl->GetLogic().get()))
            web->EventsInBackground = true;
    });
    Guarded(*this, "Error setting active output channel: ", [&] {
        const int64_t priority = ReadConfigInt(Node, "ProcessPriority", PriorityClass::High);
        if (!SetPriorityClass(priority)) {
            Log("Error setting priority class.", "Kelvar", LogKind::Warning);
            // The high class may be refused as well (it needs privileges): that is all we try.
            SetPriorityClass(PriorityClass::High);
        }
        if (!live) AudioPipe->LoadConfig(*Node.Section("AudioPipe"));
    });
    Guarded(*this, "Error loading Playlist control: ", [&] { PlaylistControl->LoadConfig(Node); });
    // Each on its own, so that a damaged section costs only its own settings.
    Guarded(*this, "Error loading Playlist control: ", [&] { MetaDataConfig->LoadConfig(*Node.Section("MetaData")); });
    Guarded(*this, "Error loading Playlist control: ", [&] {
        AutoRecovery->LoadConfig(*Node.Section("AutoRecovery"));
        ForgetQueueModeOfFailure();
    });

    Guarded(*this, "Error loading song settings: ", [&] {
        auto songSettings = Node.Section("DefSongSettings");
        TSongSettings settings = DefaultSongSettings;
        StringToSongSettings(songSettings->ReadString("FadeSettings", SongSettingsToString(DefaultSongSettings)),
                             settings);
        DefaultSongSettings = settings;
        DefaultSongSettings.GapKiller = ReadConfigInt(*songSettings, "GapKillerOn", DefaultSongSettings.GapKiller);
        XFadeSkipTime = ReadConfigInt(*songSettings, "XFadeSkipTime", XFadeSkipTime);
    });
    NoFadeSongSettings = DefaultSongSettings;
    NoFadeSongSettings.FadeIn.Enabled = 0;
    NoFadeSongSettings.FadeOut.Enabled = 0;
    NoFadeSongSettings.XFadeMode = XFadeModes::None;

    if (!live) {
        Guarded(*this, "Error loading Players: ", [&] {
            auto players = Node.Section("Players");
            for (size_t n = 0; n < PlayerList.size(); ++n) {
                PlayerList[n]->LoadConfig(*players->Section("Player" + std::to_string(n)));
            }
        });
    }
    Guarded(*this, "Error loading the gap killer: ", [&] {
        auto gapKiller = Node.Section("GapKillerEx");
        for (auto& player : PlayerList) player->Channel->GapKiller->LockedLoadConfig(*gapKiller);
    });
    Guarded(*this, "Error loading VoiceFX: ", [&] { VoiceFX->LoadConfig(*Node.Section("VoiceFX")); });
}

void TKelvar::ForgetQueueModeOfFailure() {
    if (!ServiceMode || !AutoRecovery || !AutoRecovery->QueueModeByFailure) return;
    if (AutoRecovery->DJMode == DJModes::Queue) {
        // Set because nothing could be queued while an operator watched; nobody watches now.
        AutoRecovery->DJMode = DJModes::AutoDJ;
        Log("The Queue mode set by a queue failure is not kept in service mode: Auto DJ", "CORE", LogKind::Warning);
    }
    AutoRecovery->QueueModeByFailure = 0;
}

void TKelvar::SaveConfig(IConfigDoc& Node) {
    PluginManager->SaveConfig(*Node.Section("Plugins"));
    if (AudioPipe) AudioPipe->SaveConfig(*Node.Section("AudioPipe"));
    Node.WriteInteger("ProcessPriority", GetPriorityClass());
    if (LogicList) LogicList->SaveConfig(*Node.Section("LogicList"));
    if (PlaylistControl) PlaylistControl->SaveConfig(Node);
    if (MetaDataConfig) MetaDataConfig->SaveConfig(*Node.Section("MetaData"));
    if (AutoRecovery) AutoRecovery->SaveConfig(*Node.Section("AutoRecovery"));
    auto players = Node.Section("Players");
    for (size_t n = 0; n < PlayerList.size(); ++n)
        PlayerList[n]->SaveConfig(*players->Section("Player" + std::to_string(n)));
    auto songSettings = Node.Section("DefSongSettings");
    songSettings->WriteInteger("GapKillerOn", DefaultSongSettings.GapKiller);
    songSettings->WriteString("FadeSettings", SongSettingsToString(DefaultSongSettings));
    songSettings->WriteInteger("XFadeSkipTime", XFadeSkipTime);
    if (VoiceFX) VoiceFX->SaveConfig(*Node.Section("VoiceFX"));
}

void TKelvar::DoAfterLoad() {
    if (Heartbeat) {
        Heartbeat->Add(100, this, TickTask, [this](THeartBeat&) { Tick(); });
        Heartbeat->Add(4000, this, QueueFillTask, [this](THeartBeat&) { QueueFill(); });
        Heartbeat->Add(30000, this, MaintenanceTask, [this](THeartBeat&) { Maintenance(); });
    }
    // The first choice is made while the output opens.
    RequestChoice();
    if (AudioPipe && AudioPipe->Open()) {
        AudioPipe->GetOutput().Play();
    } else {
        Log("Failed to open audio pipeline", "CORE", LogKind::Error);
    }
}

void TKelvar::RemoveFromMixer() {
    if (!AudioPipe) return;
    for (auto& player : PlayerList) AudioPipe->GetMixer().RemoveSource(player->Channel->GetOutput());
}

void TKelvar::DoQuit() {
    if (FQuit) return;
    FQuit = true;
    if (Heartbeat) {
        Heartbeat->Remove(this, TickTask);
        Heartbeat->Remove(this, QueueFillTask);
        Heartbeat->Remove(this, MaintenanceTask);
        Heartbeat->Clear();
    }
    // A choice under way ends (a web post is aborted) before the logics and the pool go.
    FChoice.reset();
    if (PlaylistControl) PlaylistControl->SetChooser(nullptr);
    EjectAll();
    // The voice goes before the decks whose volume envelopes it ducks, and before the mixer.
    if (VoiceFX) {
        VoiceFX->SetActive(false);
        VoiceFX->SetMixer(nullptr);
    }
    if (AudioPipe) AudioPipe->Close();
    VoiceFX.reset();
    FDuckControls.clear();
    RemoveFromMixer();
    DeckA = DeckB = SoundFXPlayer = Aux1 = Aux2 = Aux3 = nullptr;
    FPausedDecks.clear();
    PlayerList.clear();
    AudioPipe.reset();
    if (PlaylistControl) PlaylistControl->SetLogic(nullptr);
    if (LogicList) LogicList->Clear();
    PlaylistControl.reset();
    if (PluginManager) PluginManager->Unload();
    FreeWinampDSPList();
    AutoRecovery.reset();
    MetaDataConfig.reset();
}

// ---- plain operations

TKelvarPlayer* TKelvar::Players(int Index) {
    if (Index < 0 || Index >= PlayerCount()) return nullptr;
    return PlayerList[static_cast<size_t>(Index)].get();
}

void TKelvar::EjectAll() {
    for (auto& player : PlayerList) player->Unload();
}

void TKelvar::StopAll() {
    for (auto& player : PlayerList) player->Stop();
}

void TKelvar::SetMuted(bool Value) {
    FMuted = Value;
    if (AudioPipe) AudioPipe->GetOutput().SetMainMute(Value);
}

bool TKelvar::GetMuted() { return FMuted; }

void TKelvar::DoStatus(const std::string& Message) {
    if (StatusEvent) StatusEvent(Message);
}

void TKelvar::Log(const std::string& Message, const std::string& Source, TLogKind Kind) {
    if (Logger) Logger->Log(Message, Source, Kind);
}

std::string TKelvar::PlayerSource(TKelvarPlayer* Player) {
    static const char* const Sources[] = {"DECK A", "DECK B", "Sound FX", "Auxilary 1"};
    for (size_t i = 0; i < PlayerList.size() && i < 4; ++i) {
        if (PlayerList[i].get() == Player) return Sources[i];
    }
    return "PLAYER";
}

TKelvarAPIHandlers TKelvar::APIHandlers() {
    TKelvarAPIHandlers handlers;
    handlers.SetNotifySongChange = [this](bool On) { NotifySongChange = On ? 1 : 0; };
    handlers.Play = [this] { Play(); };
    handlers.Stop = [this] { StopAll(); };
    handlers.Pause = [this] { PauseOrPlay(); };
    handlers.Next = [this](bool Fade) { PlayNext(Fade); };
    return handlers;
}

// ---- deck queries

TKelvarPlayer* TKelvar::FindDeck(int State) {
    if (DeckA && DeckA->GetState() == State) return DeckA;
    if (DeckB && DeckB->GetState() == State) return DeckB;
    return nullptr;
}

TKelvarPlayer* TKelvar::PlayingDeck() { return FindDeck(DeckState::Playing); }
TKelvarPlayer* TKelvar::EmptyDeck() { return FindDeck(DeckState::Empty); }
TKelvarPlayer* TKelvar::ReadyDeck() { return FindDeck(DeckState::Ready); }

TKelvarPlayer* TKelvar::CurrentDeck() {
    const bool a = IsPlaying(DeckA);
    const bool b = IsPlaying(DeckB);
    if (a && b) return DeckB->GetPosition() < DeckA->GetPosition() ? DeckB : DeckA;
    if (a) return DeckA;
    if (b) return DeckB;
    return nullptr;
}

TKelvarPlayer* TKelvar::TargetDeck() {
    TKelvarPlayer* current = CurrentDeck();
    if (!current) return DeckA;
    if (current == DeckA && DeckB->GetState() == DeckState::Empty) return DeckB;
    if (current == DeckB && DeckA->GetState() == DeckState::Empty) return DeckA;
    return nullptr;
}

int64_t TKelvar::TimeLeftOnAir() {
    TKelvarPlayer* current = CurrentDeck();
    if (!current) return 0;
    const int64_t duration = current->GetDuration();
    if (duration <= 0) return 0;
    return std::max<int64_t>(duration - current->GetPosition(), 0);
}

int64_t TKelvar::DecksRemainingTime() {
    if (!DeckA || !DeckB) return 0;
    auto remaining = [](TKelvarPlayer* Deck) {
        return std::max<int64_t>(Deck->GetDuration() - Deck->GetPosition(), 0);
    };
    const int64_t a = remaining(DeckA);
    const int64_t b = remaining(DeckB);
    if (IsPlaying(DeckA) != IsPlaying(DeckB)) return a + b;
    return std::max(a, b);
}

bool TKelvar::AutoDJAllowed() {
    if (!AutoRecovery) return false;
    switch (AutoRecovery->DJMode.load()) {
        case DJModes::AutoDJ: AutoRecovery->EndAbortEpisode(); return true;
        case DJModes::Queue: {
            auto manager = PlaylistControl ? PlaylistControl->GetPlaylistManager() : nullptr;
            if (ReadyDeck() || (manager && manager->Queue->Count() > 0)) {
                AutoRecovery->EndAbortEpisode();
                return true;
            }
            AutoRecovery->Abort();
            return false;
        }
        default: return false;
    }
}

bool TKelvar::NoXFade(const ISongInfoPtr& Song) const {
    if (!Song) return false;
    const int duration = Song->GetDuration();
    if (duration > 0 && XFadeSkipTime >= 1 && duration <= XFadeSkipTime) return true;
    return UpperText(Song->GetValue("overlay")) == "YES";
}

// ---- deck commands

void TKelvar::Play() {
    TKelvarPlayer* deck = ReadyDeck();
    if (!deck) deck = PlayingDeck();
    if (!deck) {
        QueueNext(DeckA);
        deck = ReadyDeck();
    }
    if (deck) deck->Play();
}

void TKelvar::PauseOrPlay() {
    // A pause holds every deck on air (both during a crossfade), and the next one resumes the
    // decks it held before anything else: pausing one deck of a crossfade left the other to be
    // paused by the next toggle, and a resume could start the queued song instead.
    bool paused = false;
    for (TKelvarPlayer* deck : {DeckA, DeckB}) {
        if (!IsPlaying(deck)) continue;
        if (!paused) FPausedDecks.clear();
        deck->Pause();
        FPausedDecks.push_back(deck);
        paused = true;
    }
    if (paused) return;
    bool resumed = false;
    for (TKelvarPlayer* deck : FPausedDecks) {
        if (deck->GetState() != DeckState::Ready) continue;
        deck->Play();
        resumed = true;
    }
    FPausedDecks.clear();
    if (resumed) return;
    if (TKelvarPlayer* ready = ReadyDeck()) ready->Play();
}

void TKelvar::PlayNext(bool Fade) {
    TKelvarPlayer* playing = PlayingDeck();
    TKelvarPlayer* ready = ReadyDeck();
    if (playing) {
        if (Fade) {
            playing->FadeToNext();
            return;
        }
        playing->Unload();
    }
    if (!ready) QueueNext(playing == DeckA ? DeckB : DeckA);
    if (TKelvarPlayer* now = ReadyDeck()) now->Play();
}

void TKelvar::LogFailedSong(const ISongInfoPtr& Song, const std::string& Source) {
    Log("Failed to play " + SongLogText(Song), Source, LogKind::Warning);
}

void TKelvar::LogFailedOnce(const ISongInfoPtr& Song, const std::string& Source) {
    // While queueing keeps failing, a song that fails again and again is logged once.
    if (FQueueFailures.Failing() && Song && !FFailedSongsLogged.insert(Song->GetFilename()).second) return;
    LogFailedSong(Song, Source);
}

ISongInfoPtr TKelvar::ChooseFor(const IPlaylistLogicPtr& Logic, bool MayWait) {
    if (!FChoice || !ChoosesOnWorker(Logic)) return Logic->ChooseSong();
    FChoice->Request(Logic);
    // A web service is never waited for here; a database choice only when it was not
    // prepared in time.
    if (!FChoice->IsReady(Logic) && MayWait && !AnswersOverNetwork(Logic)) FChoice->WaitReady(ChoiceWaitMs);
    ISongInfoPtr song;
    std::string error;
    if (!FChoice->Take(Logic, song, error)) {
        FChoiceNotReady = true;
        return nullptr;
    }
    if (!error.empty()) throw ERotationError(error);
    return song;
}

void TKelvar::RequestChoice() {
    if (!FChoice || !PlaylistControl) return;
    IPlaylistLogicPtr logic = PlaylistControl->GetLogic();
    if (logic && ChoosesOnWorker(logic)) FChoice->Request(logic);
}

void TKelvar::QueueNext(TKelvarPlayer* Player) { QueueNextFor(Player, TimeLeftOnAir()); }

bool TKelvar::QueueNextFor(TKelvarPlayer* Player, int64_t TimeLeftMs) {
    if (!Player || !PlaylistControl) return true;
    Player->Unload();
    const std::string source = PlayerSource(Player);
    bool loaded = false;
    auto failed = [&](const ISongInfoPtr& Song) {
        try {
            PlaylistControl->SongFailed(Song);
        } catch (const std::exception& e) {
            Log(e.what(), source, LogKind::Exception);
        }
        LogFailedOnce(Song, source);
        Player->Unload();
    };
    // A choice not prepared yet is waited for only when there is no time to take it on a later
    // tick: while the deck on air has time left, the main thread never waits for the database.
    FChoiceMayWait = TimeLeftMs <= ChoiceMarginMs;
    struct TRestore {
        bool& Flag;
        ~TRestore() { Flag = true; }
    } restore{FChoiceMayWait};
    while (FQueueAttempts < QueueAttempts && !loaded) {
        ISongInfoPtr song;
        FChoiceNotReady = false;
        try {
            song = PlaylistControl->GetNextSong();
        } catch (const std::exception& e) {
            // A database that went away or a failing logic counts as an attempt.
            FQueueCause = e.what();
            ++FQueueAttempts;
            continue;
        }
        if (!song && FChoiceNotReady) {
            // The rotation is still answering: wait for it on the next ticks while there is
            // time, else the fallback plays now.
            if (TimeLeftMs > ChoiceMarginMs) return false;
            FQueueCause = "the rotation logic did not answer in time";
            break;
        }
        if (!song) {
            FQueueCause = "the rotation logic chose no song";
            ++FQueueAttempts;
            continue;
        }
        if (Player->LoadSong(song)) {
            loaded = true;
        } else {
            FQueueCause = "songs failed to load";
            ++FQueueAttempts;
            failed(song);
        }
    }
    FQueueAttempts = 0;
    // The next choice is prepared now that the rules know where this one went.
    RequestChoice();
    if (loaded) {
        FQueueFailures.Succeeded(Logger);
        FFailedSongsLogged.clear();
        return true;
    }
    ISongInfoPtr fallback;
    std::string fallbackError;
    try {
        fallback = PlaylistControl->GetFallbackSong();
    } catch (const std::exception& e) {
        fallbackError = e.what();
    }
    if (fallback && !Player->LoadSong(fallback)) failed(fallback);
    std::string line = FQueueCause;
    if (Player->GetState() == DeckState::Ready) {
        line += "; the fallback song plays: " + SongLogText(fallback);
    } else {
        line += fallbackError.empty() ? "; no fallback song" : "; no fallback song (" + fallbackError + ")";
        FQueueRetryAt = TickCount() + QueueRetryMs;
    }
    FQueueFailures.Failed(Logger, line);
    if (OnQueueFailed) {
        const uint8_t mode = AutoRecovery ? AutoRecovery->DJMode.load() : DJModes::AutoDJ;
        OnQueueFailed(*this);
        // The user interface's switch to Queue mode: remembered as set by this failure.
        if (AutoRecovery && mode != DJModes::Queue && AutoRecovery->DJMode == DJModes::Queue)
            AutoRecovery->QueueModeByFailure = 1;
    }
    return true;
}

void TKelvar::QueueNextAndPlay(TKelvarPlayer* Player) {
    if (!Player) return;
    const bool wasPlaying = Player->GetState() == DeckState::Playing;
    QueueNext(Player);
    if (wasPlaying && Player->GetState() == DeckState::Ready) Player->Play();
}

// ---- heartbeat tasks

void TKelvar::Tick() {
    CheckSongChange();
    CheckQueueAhead();
    AutoRecoveryTick();
    UpdateMeters();
}

void TKelvar::CheckSongChange() {
    // A song counts as started (and is booked) once its deck has audio: one that never delivers any is not.
    if (DeckA && DeckA->HasAudio() && DeckA->SongStarted()) SongStarted(*DeckA, "DECK A");
    if (DeckB && DeckB->HasAudio() && DeckB->SongStarted()) SongStarted(*DeckB, "DECK B");
}

void TKelvar::SongStarted(TKelvarPlayer& Deck, const std::string& Source) {
    ISongInfoPtr song = Deck.GetSong();
    CurrentSong = song;
    if (!song) return;
    if (!NoXFade(song)) NoAutoStartOnFade = 0;
    try {
        if (PlaylistControl) PlaylistControl->SongPlayed(song);
        if (NotifySongChange) BroadcastSongChange(song->GetID());
    } catch (const std::exception& e) {
        Log(e.what(), "SongChange", LogKind::Exception);
    }
    Log(SongLogText(song), Source, LogKind::Notice);
}

void TKelvar::CheckQueueAhead() {
    try {
        TKelvarPlayer* current = CurrentDeck();
        TKelvarPlayer* target = TargetDeck();
        if (current && target) {
            const int64_t duration = current->GetDuration();
            const int64_t remaining = duration - current->GetPosition();
            if (remaining <= QueueAheadMs && duration > 0 && AutoDJAllowed() &&
                static_cast<int32_t>(TickCount() - FQueueRetryAt) >= 0)
                QueueNextFor(target, std::max<int64_t>(remaining, 0));
        }
    } catch (...) {
        CheckFinishedPlayers();
        throw;
    }
    CheckFinishedPlayers();
}

void TKelvar::CheckFinishedPlayers() {
    // A deck waiting for its turn whose input ended without any audio (a stream that never
    // started, an empty file) is loaded anew before it goes on air, so it costs no air time.
    for (TKelvarPlayer* deck : {DeckA, DeckB}) {
        if (!deck || deck->GetState() != DeckState::Ready || !deck->IsFinished() || deck->HasAudio()) continue;
        if (AutoDJAllowed()) QueueNext(deck);
    }
    bool automatedGone = false;
    for (auto& player : PlayerList) {
        if (player->GetState() != DeckState::Playing || !player->IsFinished()) continue;
        if (player->GetLoop()) {
            player->Seek(0);
        } else {
            player->Unload();
            if (player.get() == DeckA || player.get() == DeckB) automatedGone = true;
        }
    }
    if (!automatedGone || PlayingDeck()) return;
    TKelvarPlayer* ready = ReadyDeck();
    if (!ready && AutoDJAllowed()) {
        QueueNext(EmptyDeck());
        ready = ReadyDeck();
    }
    if (ready && AutoDJAllowed()) {
        // The start-next handler may start it on the output thread meanwhile: start it once.
        TDeckGuard guard(ready->GetLock());
        if (!PlayingDeck() && ready->GetState() == DeckState::Ready) ready->Play();
    }
}

void TKelvar::AutoRecoveryTick() {
    if (!AutoRecovery) return;
    AutoRecovery->Tick(IsPlaying(DeckA) || IsPlaying(DeckB) || IsPlaying(SoundFXPlayer));
}

void TKelvar::UpdateMeters() {
    if (!AudioPipe) return;
    const TDualOutputSettings output = AudioPipe->GetOutput().GetSettings();
    const int32_t delay = output.Packets * output.PacketTime;
    if (delay < 0 || delay != LastMeterDelay) {
        for (auto& player : PlayerList) player->Channel->VUMeter->SetDelay(delay);
        if (VoiceFX && VoiceFX->GetVoiceMode() == VoiceMode::Record) {
            if (auto* channel = VoiceFX->GetVoiceChannel()) channel->VUMeter->SetDelay(delay);
        }
    }
    LastMeterDelay = delay;
}

void TKelvar::QueueFill() {
    if (!PlaylistControl) return;
    try {
        IPlaylistRulesPtr rules = PlaylistControl->GetRules();
        auto manager = PlaylistControl->GetPlaylistManager();
        if (!rules || !manager) return;
        IPlaylistLogicPtr logic = PlaylistControl->GetLogic();
        // Never waits: a choice still under way is taken at a later run.
        if (rules->GetMinQueueSize() > 0) {
            if (manager->Queue->Count() < rules->GetMinQueueSize() && logic) {
                if (ISongInfoPtr song = ChooseFor(logic, false)) {
                    manager->Queue->AddSong(*song, ipBottom);
                    RequestChoice();
                }
            }
        } else if (rules->GetUseGhostQueue()) {
            if (!rules->GetGhostSong() && manager->Queue->Count() == 0 && logic) {
                FChoiceNotReady = false;
                ISongInfoPtr song = ChooseFor(logic, false);
                if (!FChoiceNotReady) {
                    rules->SetGhostSong(song);
                    RequestChoice();
                }
            }
        }
        FQueueFillFailures.Succeeded(Logger);
    } catch (const std::exception& e) {
        FQueueFillFailures.Failed(Logger, e.what());
    }
}

void TKelvar::Maintenance() {
    if (!PlaylistControl) return;
    try {
        PlaylistControl->PlayLimitMaintenance();
        FMaintenanceFailures.Succeeded(Logger);
    } catch (const std::exception& e) {
        FMaintenanceFailures.Failed(Logger, e.what());
    }
}

// ---- deck handlers

void TKelvar::SongLoading(TKelvarPlayer& Deck, const ISongInfoPtr& Song) {
    if (NoXFade(Song)) {
        Deck.SetDefaultSettings(&NoFadeSongSettings);
        NoAutoStartOnFade = 1;
    } else {
        Deck.SetDefaultSettings(&DefaultSongSettings);
    }
}

void TKelvar::DeckFadeStart(TKelvarPlayer&, TKelvarPlayer& Other) {
    // On the output thread with the mixer's locks held: only the deck's lock and its flag.
    if (NoAutoStartOnFade || !AutoRecovery || AutoRecovery->DJMode == DJModes::Manual) return;
    TDeckGuard guard(Other.GetLock());
    if (Other.GetState() == DeckState::Ready) Other.Play();
}

void TKelvar::AutoRecoveryStart() {
    if (IsPlaying(DeckA) || IsPlaying(DeckB) || IsPlaying(SoundFXPlayer)) return;
    TKelvarPlayer* ready = ReadyDeck();
    if (!ready) {
        QueueNext(DeckA);
        ready = ReadyDeck();
    }
    if (ready) ready->Play();
}

}  // namespace kelvar
