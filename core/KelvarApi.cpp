#include "core/KelvarApi.h"

#include <algorithm>
#include <set>

#include "audio/live/VoiceFX_imp.h"
#include "audio/mix/AudioPipe_imp.h"
#include "core/AutoRecovery.h"
#include "core/ChooseSong.h"
#include "core/Kelvar.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/PlaylistUtils.h"
#include "database/SQLPool.h"

namespace kelvar {

static_assert(static_cast<int>(TDeckPhase::Playing) == DeckState::Playing);
static_assert(static_cast<int>(TDeckPhase::Empty) == DeckState::Empty);
static_assert(static_cast<int>(TDeckPhase::Ready) == DeckState::Ready);

namespace {

// The helpers take the core's members (the door's own members reach them as the core's friend).
std::shared_ptr<TPlaylistManager> Manager(const IPlaylistControlPtr& Control) {
    return Control ? Control->GetPlaylistManager() : nullptr;
}

TQueueList* Queue(const IPlaylistControlPtr& Control) {
    auto manager = Manager(Control);
    return manager ? manager->Queue.get() : nullptr;
}

THistoryList* History(const IPlaylistControlPtr& Control) {
    auto manager = Manager(Control);
    return manager ? manager->History.get() : nullptr;
}

TDualOutput_Combo* Output(const std::unique_ptr<TAudioPipe>& Pipe) { return Pipe ? &Pipe->GetOutput() : nullptr; }

}  // namespace

namespace {
TKelvarApi* ProgramApi = nullptr;
}  // namespace

TKelvarApi* ProgramKelvarApi() { return ProgramApi; }
void SetProgramKelvarApi(TKelvarApi* Api) { ProgramApi = Api; }

TKelvarApi::TKelvarApi(TKelvar& Core) : FCore(Core) {}

TKelvarApi::~TKelvarApi() = default;

// ---- life cycle

void TKelvarApi::Log(const std::string& Message, const std::string& Source, TLogKind Kind) {
    FCore.Log(Message, Source, Kind);
}

void TKelvarApi::ShutdownAudio() {
    FCore.EjectAll();
    if (FCore.AudioPipe) FCore.AudioPipe->Close();
}

void TKelvarApi::SetServiceMode(bool On) { FCore.ServiceMode = On; }

// ---- deck commands

void TKelvarApi::Play() { FCore.Play(); }
void TKelvarApi::PauseOrPlay() { FCore.PauseOrPlay(); }
void TKelvarApi::Stop() { FCore.StopAll(); }
void TKelvarApi::PlayNext(bool Fade) { FCore.PlayNext(Fade); }
void TKelvarApi::EjectAll() { FCore.EjectAll(); }
void TKelvarApi::QueueNext(TDeckId Deck) { FCore.QueueNext(Player(Deck)); }
void TKelvarApi::QueueNextAndPlay(TDeckId Deck) { FCore.QueueNextAndPlay(Player(Deck)); }
void TKelvarApi::SetNotifySongChange(bool On) { FCore.NotifySongChange = On ? 1 : 0; }
TKelvarPlayer* TKelvarApi::DeckPlayer(TDeckId Deck) const { return Player(Deck); }
TKelvarPlayer* TKelvarApi::PlayingDeck() { return FCore.PlayingDeck(); }
void TKelvarApi::QueueNext(TKelvarPlayer* Deck) { FCore.QueueNext(Deck); }
void TKelvarApi::QueueNextAndPlay(TKelvarPlayer* Deck) { FCore.QueueNextAndPlay(Deck); }

void TKelvarApi::Unload(TDeckId Deck) {
    if (TKelvarPlayer* player = Player(Deck)) player->Unload();
}

TKelvarPlayer* TKelvarApi::Player(TDeckId Deck) const {
    switch (Deck) {
        case TDeckId::DeckA: return FCore.DeckA;
        case TDeckId::DeckB: return FCore.DeckB;
        case TDeckId::SoundFX: return FCore.SoundFXPlayer;
        case TDeckId::Aux1: return FCore.Aux1;
        case TDeckId::Aux2: return FCore.Aux2;
        case TDeckId::Aux3: return FCore.Aux3;
    }
    return nullptr;
}

// ---- DJ mode and recovery

int TKelvarApi::DJMode() const { return FCore.AutoRecovery ? FCore.AutoRecovery->DJMode.load() : -1; }

void TKelvarApi::SetDJMode(uint8_t Mode) {
    if (!FCore.AutoRecovery) return;
    const uint8_t old = FCore.AutoRecovery->DJMode.exchange(Mode);
    if (old != Mode) FDJModeChanged(Mode);
}

bool TKelvarApi::AutoRecoveryEnabled() const { return FCore.AutoRecovery && FCore.AutoRecovery->Enabled != 0; }

void TKelvarApi::SetAutoRecoveryEnabled(bool On) {
    if (FCore.AutoRecovery) FCore.AutoRecovery->SetEnabled(On);
}

int32_t TKelvarApi::RecoverySecondsLeft() const { return FCore.AutoRecovery ? FCore.AutoRecovery->SecondsLeft() : 0; }

void TKelvarApi::StartRecovery() {
    if (FCore.AutoRecovery) FCore.AutoRecovery->Start();
}

void TKelvarApi::AbortRecovery() {
    if (FCore.AutoRecovery) FCore.AutoRecovery->Abort();
}

// ---- volumes, mutes and voice

bool TKelvarApi::Muted() const { return FCore.GetMuted(); }
void TKelvarApi::SetMuted(bool On) { FCore.SetMuted(On); }

uint8_t TKelvarApi::MainVolume() const {
    TDualOutput_Combo* output = Output(FCore.AudioPipe);
    return output ? output->GetMainVolume() : 0;
}

void TKelvarApi::SetMainVolume(uint8_t Value) {
    if (TDualOutput_Combo* output = Output(FCore.AudioPipe)) output->SetMainVolume(Value);
}

void TKelvarApi::ChangeMainVolume(int Delta) {
    if (TDualOutput_Combo* output = Output(FCore.AudioPipe))
        output->SetMainVolume(static_cast<uint8_t>(std::clamp(output->GetMainVolume() + Delta, 0, 255)));
}

void TKelvarApi::SetPreviewVolume(uint8_t Value) {
    if (TDualOutput_Combo* output = Output(FCore.AudioPipe)) output->SetPreviewVolume(Value);
}

void TKelvarApi::SetMainMute(bool On) {
    if (TDualOutput_Combo* output = Output(FCore.AudioPipe)) output->SetMainMute(On);
}

void TKelvarApi::SetPreviewMute(bool On) {
    if (TDualOutput_Combo* output = Output(FCore.AudioPipe)) output->SetPreviewMute(On);
}

bool TKelvarApi::HasVoice() const { return FCore.VoiceFX != nullptr; }
bool TKelvarApi::Talking() const { return FCore.VoiceFX && FCore.VoiceFX->GetTalking(); }
TVoiceFX* TKelvarApi::Voice() const { return FCore.VoiceFX.get(); }

void TKelvarApi::SetTalking(bool On) {
    if (!FCore.VoiceFX) return;
    if (On) FCore.VoiceFX->SetActive(true);
    FCore.VoiceFX->SetTalking(On);
}

TVoiceRoute TKelvarApi::VoiceRoute() const {
    if (!FCore.VoiceFX) return TVoiceRoute::None;
    switch (FCore.VoiceFX->GetVoiceMode()) {
        case VoiceMode::None: return TVoiceRoute::None;
        case VoiceMode::MixerLine: return TVoiceRoute::Soundcard;
        case VoiceMode::Record: return FCore.VoiceFX->GetMixPoint() == 0 ? TVoiceRoute::Mixer : TVoiceRoute::Other;
        default: return TVoiceRoute::Other;
    }
}

void TKelvarApi::SetVoiceRoute(TVoiceRoute Route) {
    TVoiceFX* voice = FCore.VoiceFX.get();
    if (!voice) return;
    switch (Route) {
        case TVoiceRoute::None: voice->SetVoiceMode(VoiceMode::None); break;
        case TVoiceRoute::Mixer:
            voice->SetVoiceMode(VoiceMode::Record);
            voice->SetMixPoint(0);
            break;
        case TVoiceRoute::Soundcard: voice->SetVoiceMode(VoiceMode::MixerLine); break;
        case TVoiceRoute::Other: break;
    }
}

// ---- queue and history

ISongItemListPtr TKelvarApi::QueueSnapshot() {
    ISongItemListPtr rows = NewSongItemList();
    TQueueList* queue = Queue(FCore.PlaylistControl);
    if (!queue) return rows;
    IDatasetPtr data = queue->GetList();
    for (data->First(); !data->Eof(); data->Next()) {
        TSongItem& item = rows->Add();
        item.ListID = static_cast<int32_t>(data->GetFieldValue("ID").AsInteger());
        item.SongID = static_cast<int32_t>(data->GetFieldValue("songID").AsInteger());
        item.Duration = static_cast<int32_t>(data->GetFieldValue("duration").AsInteger());
        item.SortID = data->GetFieldValue("sortID").AsFloat();
        item.Caption =
            SongDisplayName(data->GetFieldValue("artist").AsString(), data->GetFieldValue("title").AsString());
        if (data->GetFieldValue("requestID").AsInteger() > 0) item.Caption += " ~requested~";
    }
    return rows;
}

ISongItemListPtr TKelvarApi::HistorySnapshot() {
    ISongItemListPtr rows = NewSongItemList();
    THistoryList* history = History(FCore.PlaylistControl);
    if (!history) return rows;
    IDatasetPtr data = history->GetList();
    for (data->First(); !data->Eof(); data->Next()) {
        TSongItem& item = rows->Add();
        item.ListID = static_cast<int32_t>(data->GetFieldValue("ID").AsInteger());
        item.SongID = static_cast<int32_t>(data->GetFieldValue("songID").AsInteger());
        item.Duration = static_cast<int32_t>(data->GetFieldValue("duration").AsInteger());
        item.Caption =
            SongDisplayName(data->GetFieldValue("artist").AsString(), data->GetFieldValue("title").AsString());
        item.StartTime = TimeOfDayToMs(data->GetFieldValue("date_played").AsDateTime());
    }
    return rows;
}

bool TKelvarApi::HasQueue() { return Queue(FCore.PlaylistControl) != nullptr; }

int TKelvarApi::HistoryLimit() {
    THistoryList* history = History(FCore.PlaylistControl);
    return history ? history->MaxItems : 200;
}

int TKelvarApi::QueueCount() {
    TQueueList* queue = Queue(FCore.PlaylistControl);
    return queue ? queue->Count() : 0;
}

void TKelvarApi::QueueSongs(const ISongItemListPtr& Songs, double After, double Before) {
    if (TQueueList* queue = Queue(FCore.PlaylistControl)) queue->AddSongs(Songs, 0, After, Before);
}

void TKelvarApi::QueueSong(const ISongInfo& Song, TQueuePlace Place) {
    if (TQueueList* queue = Queue(FCore.PlaylistControl))
        queue->AddSong(Song, Place == TQueuePlace::Top ? ipTop : ipBottom);
}

void TKelvarApi::RequestSong(const ISongInfoPtr& Song, int32_t RequestID) {
    TQueueList* queue = Queue(FCore.PlaylistControl);
    if (!queue || !Song) return;
    Song->SetValue("requestID", std::to_string(RequestID));
    queue->AddSong(*Song, ipBottom);
}

double TKelvarApi::MoveQueueSong(int32_t ID, double SortA, double SortB) {
    TQueueList* queue = Queue(FCore.PlaylistControl);
    if (!queue) return (SortA + SortB) / 2;
    const double sortID = queue->MoveSong(ID, SortA, SortB);
    FQueueMoved(ID, sortID);
    return sortID;
}

void TKelvarApi::RemoveQueueSong(int32_t ID) {
    if (TQueueList* queue = Queue(FCore.PlaylistControl)) queue->Delete(ID);
}

void TKelvarApi::RemoveQueueSongs(const std::vector<int32_t>& IDs) {
    if (TQueueList* queue = Queue(FCore.PlaylistControl)) queue->DeleteSongs(IDs);
}

void TKelvarApi::CropQueue(const std::vector<int32_t>& Keep) {
    TQueueList* queue = Queue(FCore.PlaylistControl);
    if (!queue) return;
    const std::set<int32_t> kept(Keep.begin(), Keep.end());
    ISongItemListPtr rows = QueueSnapshot();
    std::vector<int32_t> removed;
    for (int i = 0; i < rows->Count(); ++i)
        if (!kept.count(rows->Items(i).ListID)) removed.push_back(rows->Items(i).ListID);
    queue->DeleteSongs(removed);
}

void TKelvarApi::ClearQueue() {
    if (TQueueList* queue = Queue(FCore.PlaylistControl)) queue->Clear();
}

void TKelvarApi::ShuffleQueue() {
    if (TQueueList* queue = Queue(FCore.PlaylistControl)) queue->Shuffle();
}

int TKelvarApi::RemoveQueueDuplicates() {
    TQueueList* queue = Queue(FCore.PlaylistControl);
    return queue ? queue->RemoveQueueDuplicates() : 0;
}

void TKelvarApi::WaitForQueue() {
    if (TQueueList* queue = Queue(FCore.PlaylistControl)) queue->GetDelayedQuery()->WaitForAll();
}

bool TKelvarApi::QueueChosenSong(int Tries) {
    TQueueList* queue = Queue(FCore.PlaylistControl);
    if (!queue || !FCore.PlaylistControl) return false;
    for (int i = 0; i < Tries; ++i) {
        if (ISongInfoPtr song = ChooseQueueSong(*FCore.PlaylistControl)) {
            queue->AddSong(*song, ipBottom);
            return true;
        }
    }
    return false;
}

// ---- configuration

int TKelvarApi::DatabaseDialect() { return static_cast<int>(SQLDriverType.load()); }

void TKelvarApi::LoadConfig(IConfigDoc& Node) { FCore.LoadConfig(Node); }
void TKelvarApi::SaveConfig(IConfigDoc& Node) { FCore.SaveConfig(Node); }
std::shared_ptr<TPlaylistManager> TKelvarApi::PlaylistManager() const { return Manager(FCore.PlaylistControl); }

std::string TKelvarApi::PictureFolder() const {
    return FCore.MetaDataConfig ? FCore.MetaDataConfig->LocalPictureDir() : std::string();
}

TAudioPipe* TKelvarApi::AudioPipe() const { return FCore.AudioPipe.get(); }
const TMetaDataConfig* TKelvarApi::MetaDataConfig() const { return FCore.MetaDataConfig.get(); }

// ---- snapshots

TDeckSnapshot TKelvarApi::Deck(TDeckId Deck) {
    TDeckSnapshot snapshot;
    TKelvarPlayer* player = Player(Deck);
    if (!player) return snapshot;
    snapshot.Exists = true;
    snapshot.Phase = static_cast<TDeckPhase>(player->GetState());
    snapshot.Position = player->GetPosition();
    snapshot.Duration = player->GetDuration();
    if (ISongInfoPtr song = player->GetSong()) {
        snapshot.SongID = song->GetID();
        snapshot.Artist = song->GetArtist();
        snapshot.Title = song->GetTitle();
        snapshot.FileName = song->GetFilename();
    }
    return snapshot;
}

TLevelsSnapshot TKelvarApi::Levels() const {
    TLevelsSnapshot levels;
    levels.Muted = FCore.GetMuted();
    if (TDualOutput_Combo* output = Output(FCore.AudioPipe)) {
        levels.MainVolume = output->GetMainVolume();
        levels.PreviewVolume = output->GetPreviewVolume();
        levels.MainMute = output->GetMainMute();
        levels.PreviewMute = output->GetPreviewMute();
        levels.PreviewOwnDevice = output->GetSettings().PreviewStyle == PreviewStyle::SecondDevice;
    }
    return levels;
}

int64_t TKelvarApi::DecksRemainingTime() { return FCore.DecksRemainingTime(); }

int TKelvarApi::PlayerCount() const { return FCore.PlayerCount(); }

// ---- events

TEventLinks TKelvarApi::ListenQueue(TQueueListener Listener) {
    TEventLinks links;
    if (Listener.Moved) links.emplace_back(FQueueMoved, Listener.Moved);
    TQueueList* queue = Queue(FCore.PlaylistControl);
    if (!queue) return links;
    if (auto added = Listener.Added)
        links.emplace_back(queue->OnAdd, [added](TQueueList&, const ISongItemListPtr& Songs) { added(Songs); });
    if (auto removed = Listener.Removed)
        links.emplace_back(queue->OnDelete, [removed](TQueueList&, int ID) { removed(ID); });
    if (auto popped = Listener.Popped) links.emplace_back(queue->OnPop, [popped](TQueueList&, int ID) { popped(ID); });
    if (auto changed = Listener.Changed) links.emplace_back(queue->OnChange, [changed](TQueueList&) { changed(); });
    return links;
}

TEventLink TKelvarApi::ListenHistory(std::function<void(const TSongItem& Item)> Added) {
    THistoryList* history = History(FCore.PlaylistControl);
    if (!history || !Added) return {};
    return TEventLink(history->OnAdd, [Added](THistoryList&, const TSongItem& Item) { Added(Item); });
}

TEventLink TKelvarApi::ListenDJMode(std::function<void(int Mode)> Changed) {
    return TEventLink(FDJModeChanged, std::move(Changed));
}

TEventLink TKelvarApi::ListenQueueFailed(std::function<void()> Failed) {
    if (!Failed) return {};
    return TEventLink(FCore.OnQueueFailed, [Failed](TKelvar&) { Failed(); });
}

TEventLinks TKelvarApi::ListenRecovery(std::function<void(TAutoRecovery& Recovery)> Triggered,
                                       std::function<void()> Ended) {
    TEventLinks links;
    if (!FCore.AutoRecovery) return links;
    TAutoRecovery& recovery = *FCore.AutoRecovery;
    if (Triggered) links.emplace_back(recovery.OnTrigger, Triggered);
    if (Ended) {
        links.emplace_back(recovery.OnStarted, [Ended](TAutoRecovery&) { Ended(); });
        links.emplace_back(recovery.OnAbort, [Ended](TAutoRecovery&) { Ended(); });
    }
    return links;
}

}  // namespace kelvar
