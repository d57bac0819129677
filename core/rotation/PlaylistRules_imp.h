#pragma once
// The playlist control's rotation rules.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/playlist/PlaylistRules.h"

namespace kelvar {

// The values by which the queue keeps songs out: every queued artist, and the albums and titles
// that are not blank.
struct TQueueExclusions {
    bool QueueEmpty = true;
    std::vector<std::string> Artists;
    std::vector<std::string> Albums;
    std::vector<std::string> Titles;
};

class TPlaylistRules : public IPlaylistRules {
public:
    int GetMinQueueSize() override;
    bool GetUseGhostQueue() override;
    ISongInfoPtr GetGhostSong() override;
    void SetMinQueueSize(int value) override;
    void SetUseGhostQueue(bool value) override;
    void SetGhostSong(ISongInfoPtr song) override;
    void SetNowPlaying(ISongInfoPtr song) override;
    void SetMinArtistTime(int value) override;
    void SetMinSongTime(int value) override;
    int GetMinArtistTime() override;
    int GetMinSongTime() override;
    int GetMinAlbumTime() override;
    void SetMinAlbumTime(int value) override;
    void SetMinSongIDTime(int value) override;
    int GetMinSongIDTime() override;

    void LoadConfig(IConfigDoc& node) override;
    void SaveConfig(IConfigDoc& node) override;

    std::string BuildRulesSQL(TVariantArray& params) override;
    // The same fragment without the queue's clauses, whose values go to Queue instead, for a
    // caller that reads few candidates and checks them itself: a statement with a clause per
    // queued value takes Firebird long to prepare.
    std::string BuildRulesSQLExceptQueue(TVariantArray& params, TQueueExclusions& queue);
    std::string SongTypeClause(char songType) override;
    std::string StatusClause(uint8_t status) override;

private:
    std::string BaseRulesSQL(TVariantArray& params);

    // The automation runs on the main thread, but a window may read the rules meanwhile.
    std::mutex FLock;
    int FMinQueueSize = 0;
    int FMinArtistTime = 120;
    int FMinSongTime = 240;
    int FMinSongIDTime = 240;
    int FMinAlbumTime = 60;
    bool FUseGhostQueue = true;
    ISongInfoPtr FGhostSong;
    // The values the rules keep out, taken when the song is set: the song itself goes on air and
    // the main thread changes it while a worker builds the rules.
    struct TNowPlaying {
        std::string Artist, Title, Album;
        int ID = -1;
    };
    std::optional<TNowPlaying> FNowPlaying;
};

}  // namespace kelvar
