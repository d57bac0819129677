#include "core/rotation/PlaylistRules_imp.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/QueueList.h"
#include "core/rotation/RotationConfig.h"
#include "core/rotation/RotationErrors.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

namespace {

// Now minus Minutes, kept inside the range the database can store whatever the configuration says.
TDLVariant LimitDate(TDateTime now, int minutes) {
    static const TDateTime earliest = EncodeDate(100, 1, 1);
    static const TDateTime latest = EncodeDate(9999, 12, 31);
    return TDLVariant::FromDateTime(std::clamp(now - minutes / 1440.0, earliest, latest));
}

// The artist, album and title of each queued song; a blank album or title stays empty.
struct TQueueRow {
    std::string Artist;
    std::string Album;
    std::string Title;
};

std::vector<TQueueRow> ReadQueueRows() {
    // The queue's appends and pops are written behind it: a choice sees the songs queued before it.
    if (!WaitForQueueWrites(QueueWritesLimit))
        LogMessage("Rotation: the queue's changes were not written in time; separation reads the queue as it is",
                   "CORE", LogKind::Warning);
    std::vector<TQueueRow> rows;
    IDatasetPtr queue = PoolQuery(
        "SELECT artist,title,album FROM queuelist, songlist WHERE (queuelist.songID = songlist.ID)", {}, true);
    for (queue->First(); !queue->Eof(); queue->Next()) {
        TQueueRow row;
        row.Artist = queue->GetFieldValue("artist").AsString();
        std::string album = queue->GetFieldValue("album").AsString();
        if (!TrimText(album).empty()) row.Album = std::move(album);
        std::string title = queue->GetFieldValue("title").AsString();
        if (!TrimText(title).empty()) row.Title = std::move(title);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

int TPlaylistRules::GetMinQueueSize() {
    std::lock_guard lock(FLock);
    return FMinQueueSize;
}
bool TPlaylistRules::GetUseGhostQueue() {
    std::lock_guard lock(FLock);
    return FUseGhostQueue;
}
ISongInfoPtr TPlaylistRules::GetGhostSong() {
    std::lock_guard lock(FLock);
    return FGhostSong;
}
void TPlaylistRules::SetMinQueueSize(int value) {
    std::lock_guard lock(FLock);
    FMinQueueSize = value;
}
void TPlaylistRules::SetUseGhostQueue(bool value) {
    std::lock_guard lock(FLock);
    FUseGhostQueue = value;
}
void TPlaylistRules::SetGhostSong(ISongInfoPtr song) {
    std::lock_guard lock(FLock);
    FGhostSong = std::move(song);
}
void TPlaylistRules::SetNowPlaying(ISongInfoPtr song) {
    std::optional<TNowPlaying> values;
    if (song) values = TNowPlaying{song->GetArtist(), song->GetTitle(), song->GetAlbum(), song->GetID()};
    std::lock_guard lock(FLock);
    FNowPlaying = std::move(values);
}
void TPlaylistRules::SetMinArtistTime(int value) {
    std::lock_guard lock(FLock);
    FMinArtistTime = value;
}
void TPlaylistRules::SetMinSongTime(int value) {
    std::lock_guard lock(FLock);
    FMinSongTime = value;
}
int TPlaylistRules::GetMinArtistTime() {
    std::lock_guard lock(FLock);
    return FMinArtistTime;
}
int TPlaylistRules::GetMinSongTime() {
    std::lock_guard lock(FLock);
    return FMinSongTime;
}
int TPlaylistRules::GetMinAlbumTime() {
    std::lock_guard lock(FLock);
    return FMinAlbumTime;
}
void TPlaylistRules::SetMinAlbumTime(int value) {
    std::lock_guard lock(FLock);
    FMinAlbumTime = value;
}
void TPlaylistRules::SetMinSongIDTime(int value) {
    std::lock_guard lock(FLock);
    FMinSongIDTime = value;
}
int TPlaylistRules::GetMinSongIDTime() {
    std::lock_guard lock(FLock);
    return FMinSongIDTime;
}

void TPlaylistRules::LoadConfig(IConfigDoc& node) {
    std::lock_guard lock(FLock);
    FMinArtistTime = ReadConfigInt(node, "MinArtistTime", FMinArtistTime);
    FMinSongTime = ReadConfigInt(node, "MinSongTime", FMinSongTime);
    FMinSongIDTime = ReadConfigInt(node, "MinSongIDTime", FMinSongIDTime);
    FMinAlbumTime = ReadConfigInt(node, "MinAlbumTime", FMinAlbumTime);
    FMinQueueSize = ReadConfigInt(node, "MinQueueSize", FMinQueueSize);
    FUseGhostQueue = ReadConfigBool(node, "UseGhostQueue", FUseGhostQueue);
}

void TPlaylistRules::SaveConfig(IConfigDoc& node) {
    std::lock_guard lock(FLock);
    node.WriteInteger("MinArtistTime", FMinArtistTime);
    node.WriteInteger("MinSongTime", FMinSongTime);
    node.WriteInteger("MinSongIDTime", FMinSongIDTime);
    node.WriteInteger("MinAlbumTime", FMinAlbumTime);
    node.WriteInteger("MinQueueSize", FMinQueueSize);
    node.WriteBool("UseGhostQueue", FUseGhostQueue);
}

std::string TPlaylistRules::BaseRulesSQL(TVariantArray& params) {
    int albumTime, artistTime, titleTime, songTime;
    std::optional<TNowPlaying> nowPlaying;
    {
        std::lock_guard lock(FLock);
        albumTime = FMinAlbumTime;
        artistTime = FMinArtistTime;
        titleTime = FMinSongTime;
        songTime = FMinSongIDTime;
        nowPlaying = FNowPlaying;
    }
    const TDateTime now = NowDateTime();
    params.push_back(LimitDate(now, albumTime));
    params.push_back(LimitDate(now, artistTime));
    params.push_back(LimitDate(now, titleTime));
    params.push_back(LimitDate(now, songTime));
    std::string sql =
        " AND ((playlimit_count<=0) OR (count_played<playlimit_count)) "
        " AND (date_album_played < :albumplayed) "
        " AND (date_artist_played < :artistplayed) "
        " AND (date_title_played < :titleplayed) "
        " AND (date_played < :songplayed) ";

    if (nowPlaying) {
        if (!nowPlaying->Artist.empty()) {
            params.emplace_back(nowPlaying->Artist);
            sql += " AND (artist <> :artistNPS) ";
        }
        if (!nowPlaying->Title.empty()) {
            params.emplace_back(nowPlaying->Title);
            sql += " AND (title <> :titleNPS) ";
        }
        if (!nowPlaying->Album.empty()) {
            params.emplace_back(nowPlaying->Album);
            sql += " AND (album <> :albumNPS) ";
        }
        if (nowPlaying->ID > 0) {
            params.emplace_back(nowPlaying->ID);
            sql += " AND (songlist.ID <> :NPSsongID) ";
        }
    }

    return sql;
}

std::string TPlaylistRules::BuildRulesSQL(TVariantArray& params) {
    std::string sql = BaseRulesSQL(params);
    // One counter numbers all three kinds, so every placeholder name is unique.
    int n = 0;
    for (TQueueRow& row : ReadQueueRows()) {
        params.emplace_back(std::move(row.Artist));
        sql += " AND (artist <> :artist" + std::to_string(++n) + ") ";
        if (!row.Album.empty()) {
            params.emplace_back(std::move(row.Album));
            sql += " AND (album <> :album" + std::to_string(++n) + ") ";
        }
        if (!row.Title.empty()) {
            params.emplace_back(std::move(row.Title));
            sql += " AND (title <> :title" + std::to_string(++n) + ") ";
        }
    }
    return sql;
}

std::string TPlaylistRules::BuildRulesSQLExceptQueue(TVariantArray& params, TQueueExclusions& queue) {
    std::string sql = BaseRulesSQL(params);
    queue = TQueueExclusions();
    for (TQueueRow& row : ReadQueueRows()) {
        queue.QueueEmpty = false;
        queue.Artists.push_back(std::move(row.Artist));
        if (!row.Album.empty()) queue.Albums.push_back(std::move(row.Album));
        if (!row.Title.empty()) queue.Titles.push_back(std::move(row.Title));
    }
    return sql;
}

std::string TPlaylistRules::SongTypeClause(char songType) {
    // The letter goes into the text, so nothing but a song-type letter may pass.
    if (songType < 'A' || songType > 'Z')
        throw ERotationError("Invalid song type: " +
                             std::to_string(static_cast<int>(static_cast<unsigned char>(songType))));
    return std::string(" AND (songtype = '") + songType + "') ";
}

std::string TPlaylistRules::StatusClause(uint8_t status) { return " AND (status = " + std::to_string(status) + ") "; }

}  // namespace kelvar
