#include "core/rotation/PlaylistControl_imp.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/playlist/CategorySelection.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/rotation/PlayLimitCleaner.h"
#include "core/rotation/PlaylistRules_imp.h"
#include "core/rotation/RotationConfig.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

namespace {

struct TCurrentControl {
    std::mutex Lock;
    const TPlaylistControl* Owner = nullptr;
    std::weak_ptr<TPlaylistManager> Manager;
    std::weak_ptr<IPlaylistRules> Rules;
    std::weak_ptr<IDelayedQuery> Query;
};

TCurrentControl& Current() {
    static TCurrentControl current;
    return current;
}

TDLVariant Now() { return TDLVariant::FromDateTime(NowDateTime()); }

int IntValueOf(const ISongInfo& song, const std::string& name) {
    int64_t value = 0;
    if (!TryParseInt64(song.GetValue(name), value)) return 0;
    return static_cast<int>(
        std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

std::shared_ptr<TPlaylistManager> CurrentPlaylistManager() {
    std::lock_guard lock(Current().Lock);
    return Current().Manager.lock();
}

IPlaylistRulesPtr CurrentPlaylistRules() {
    std::lock_guard lock(Current().Lock);
    return Current().Rules.lock();
}

IDelayedQueryPtr RotationStatisticsQuery() {
    {
        std::lock_guard lock(Current().Lock);
        if (IDelayedQueryPtr query = Current().Query.lock()) return query;
    }
    return PoolNewDelayedQuery();
}

TPlaylistControl::TPlaylistControl()
    : DelayedQuery(PoolNewDelayedQuery()),
      PlaylistManager(std::make_shared<TPlaylistManager>()),
      Rules(std::make_shared<TPlaylistRules>()),
      PlayLimitCleaner(std::make_unique<TPlayLimitCleaner>()) {
    PlaylistManager->Categories->SetRules(Rules);
    std::lock_guard lock(Current().Lock);
    Current().Owner = this;
    Current().Manager = PlaylistManager;
    Current().Rules = Rules;
    Current().Query = DelayedQuery;
}

TPlaylistControl::~TPlaylistControl() {
    {
        std::lock_guard lock(Current().Lock);
        if (Current().Owner == this) {
            Current().Owner = nullptr;
            Current().Manager.reset();
            Current().Rules.reset();
            Current().Query.reset();
        }
    }
    // A pass of deletions stops after its current song; the rest is due again next time.
    PlayLimitCleaner.reset();
    // The statistics still queued run before the model goes.
    DelayedQuery.reset();
    Logic.reset();
    PlaylistManager.reset();
}

IPlaylistLogicPtr TPlaylistControl::GetLogic() { return Logic; }

void TPlaylistControl::SetLogic(IPlaylistLogicPtr logic) {
    Logic = std::move(logic);
    if (Logic) Logic->SetRules(Rules);
}

std::shared_ptr<TPlaylistManager> TPlaylistControl::GetPlaylistManager() { return PlaylistManager; }
IPlaylistRulesPtr TPlaylistControl::GetRules() { return Rules; }
int TPlaylistControl::GetPlayCount() { return PlayCount; }

void TPlaylistControl::LoadConfig(IConfigDoc& node) {
    // Each part on its own: a logic (or plug-in) whose settings fail must not cost the rules or
    // the default weight.
    try {
        Rules->LoadConfig(*node.Section("PlaylistRules"));
    } catch (const std::exception& e) {
        LogMessage(std::string("Error loading the playlist rules: ") + e.what(), "CORE", LogKind::Error);
    }
    try {
        if (Logic) Logic->LoadConfig(*node.Section("Logic"));
    } catch (const std::exception& e) {
        LogMessage(std::string("Error loading the rotation logic's settings: ") + e.what(), "CORE", LogKind::Error);
    }
    DefaultWeight = ReadConfigInt(*node.Section("Songlist"), "DefWeight", DefaultWeight.load());
}

void TPlaylistControl::SaveConfig(IConfigDoc& node) {
    Rules->SaveConfig(*node.Section("PlaylistRules"));
    if (Logic) Logic->SaveConfig(*node.Section("Logic"));
    node.Section("Songlist")->WriteInteger("DefWeight", DefaultWeight.load());
}

void TPlaylistControl::SongEnded(const ISongInfoPtr& song) {
    if (Logic) Logic->OnEndOfSong(song);
}

void TPlaylistControl::SongFailed(const ISongInfoPtr& song) {
    if (Logic) Logic->OnFail(song);
}

ISongInfoPtr TPlaylistControl::GetNextSong() {
    ISongInfoPtr song = PlaylistManager->Queue->PopNext();
    if (song && song->GetID() > 0) {
        Rules->SetGhostSong(nullptr);
    } else {
        song = Rules->GetGhostSong();
        Rules->SetGhostSong(nullptr);
        if (!song) song = ChooseFromLogic();
    }
    Rules->SetNowPlaying(song);
    return song;
}

void TPlaylistControl::SetChooser(TChooser chooser) { Chooser = std::move(chooser); }

ISongInfoPtr TPlaylistControl::ChooseFromLogic() {
    if (!Logic) return nullptr;
    return Chooser ? Chooser(Logic) : Logic->ChooseSong();
}

ISongInfoPtr TPlaylistControl::GetFallbackSong() {
    IDatasetPtr rows = PoolQueryLimit("SELECT songlist.* FROM songlist ORDER BY date_played ASC", {}, true, 1, 0);
    if (rows->IsEmpty()) return nullptr;
    ISongInfoPtr song = SongFromRow(*rows);
    // So that the next fallback offers another song.
    DelayedQuery->ExecSQL("UPDATE songlist SET date_played=:now WHERE ID = :ID", {Now(), song->GetID()}, nullptr,
                          false);
    return song;
}

void TPlaylistControl::SongPlayed(const ISongInfoPtr& song) {
    if (!song) return;
    std::exception_ptr error;
    try {
        ++PlayCount;
        if (Logic) Logic->OnPlay(song);
        if (IntValueOf(*song, "playlimit_count") > 0) {
            ++PlayLimitPlays;
            PlayLimitClean = false;
        }
    } catch (...) {
        error = std::current_exception();
    }

    if (song->GetValue("requestID").empty()) song->SetValue("requestID", "0");
    try {
        PlaylistManager->History->Add(*song, 1);
    } catch (...) {
        // The statistics below keep the rules working even when the history row is lost.
        if (!error) error = std::current_exception();
    }

    const TDLVariant now = Now();
    // A weight of 0 must not fail the statement and so lose the play's date and counts.
    DelayedQuery->ExecSQL(
        "UPDATE songlist SET balance=balance+CASE WHEN weight > 0 THEN 1/weight ELSE 0 END, date_played=:now, "
        "count_played=count_played+1, count_performances = count_performances + :performances WHERE ID = :ID",
        {now, 1, song->GetID()}, nullptr, false);
    DelayedQuery->ExecSQL("UPDATE songlist SET date_artist_played=:now WHERE artist = :artist",
                          {now, song->GetArtist()}, nullptr, false);
    const std::string title = song->GetTitle();
    if (!title.empty())
        DelayedQuery->ExecSQL("UPDATE songlist SET date_title_played=:now WHERE title = :title", {now, title}, nullptr,
                              false);
    const std::string album = song->GetAlbum();
    if (!album.empty())
        DelayedQuery->ExecSQL("UPDATE songlist SET date_album_played=:now WHERE album = :album", {now, album}, nullptr,
                              false);
    if (error) std::rethrow_exception(error);
}

void TPlaylistControl::PlayLimitMaintenance() {
    // While a pass deletes, the songs it holds would be found due again.
    if (PlayLimitCleaner->Running()) return;
    const std::string error = PlayLimitCleaner->TakeError();
    if (!error.empty()) throw std::runtime_error("Deleting the songs that reached their play limit failed: " + error);
    // A song with a limit that played during the pass may have reached it after the pass read.
    if (PlayLimitCleaner->TakeNothingLeft() && PlayLimitPlays == PlayLimitPassPlays) PlayLimitClean = true;
    if (PlayLimitClean) return;
    PlayLimitPassPlays = PlayLimitPlays;
    PlayLimitCleaner->Start();
}

void TPlaylistControl::WaitForPlayLimitDeletions() { PlayLimitCleaner->Wait(); }

}  // namespace kelvar
