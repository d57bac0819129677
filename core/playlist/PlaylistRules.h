#pragma once
// The rotation rules that keep the automatic song choice varied: minimum times since the same
// artist, title, album or song last played, the queue size the core keeps, the ghost song held
// as the next choice and the song now playing. The song queries of the logics and of the
// category selection append the WHERE fragment that BuildRulesSQL makes.
// Header only: the category side of the playlist model uses the interface without linking us.
#include <cstdint>
#include <memory>
#include <string>

#include "database/SQLPool.h"
#include "foundation/ConfigDoc.h"
#include "media/SongInfo.h"

namespace kelvar {

class IPlaylistRules {
public:
    virtual ~IPlaylistRules() = default;

    virtual int GetMinQueueSize() = 0;
    virtual bool GetUseGhostQueue() = 0;
    virtual ISongInfoPtr GetGhostSong() = 0;
    virtual void SetMinQueueSize(int value) = 0;
    virtual void SetUseGhostQueue(bool value) = 0;
    virtual void SetGhostSong(ISongInfoPtr song) = 0;
    virtual void SetNowPlaying(ISongInfoPtr song) = 0;
    // Minutes.
    virtual void SetMinArtistTime(int value) = 0;
    virtual void SetMinSongTime(int value) = 0;
    virtual int GetMinArtistTime() = 0;
    virtual int GetMinSongTime() = 0;
    virtual int GetMinAlbumTime() = 0;
    virtual void SetMinAlbumTime(int value) = 0;
    virtual void SetMinSongIDTime(int value) = 0;
    virtual int GetMinSongIDTime() = 0;

    // The node "PlaylistRules".
    virtual void LoadConfig(IConfigDoc& node) = 0;
    virtual void SaveConfig(IConfigDoc& node) = 0;

    // A fragment of a WHERE clause (each part begins with " AND "). Params holds the values of
    // the caller's own placeholders; the fragment's values are appended in the order of its
    // placeholders, so the caller appends the fragment after its own text. Reads the queue on
    // the calling thread's connection; its failures raise.
    virtual std::string BuildRulesSQL(TVariantArray& params) = 0;
    // " AND (songtype = 'S') "; raises for anything but a letter A to Z.
    virtual std::string SongTypeClause(char songType) = 0;
    // " AND (status = 0) ".
    virtual std::string StatusClause(uint8_t status) = 0;
};

using IPlaylistRulesPtr = std::shared_ptr<IPlaylistRules>;

}  // namespace kelvar
