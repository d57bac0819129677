#include "core/playlist/HistoryList.h"

#include <string>

#include "core/playlist/PlaylistUtils.h"
#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"

namespace kelvar {

std::atomic<double> LastHistoryBalance{0.0};

void THistoryList::Add(ISongInfo& song, int32_t listeners) {
    IDatasetPtr rows = PoolQueryLimit(SQLDriverType == dtFirebird ? "SELECT * FROM historylist WHERE ID = 1"
                                                                  : "SELECT historylist.* FROM historylist",
                                      {}, false, 1, 0);
    song.SetValue("listeners", std::to_string(listeners));

    rows->Append();
    const TDateTime now = NowDateTime();
    FieldOf(*rows, "date_played").SetAsDateTime(now);
    SetTextField(*rows, "historylist", "filename", song.GetFilename());
    rows->SetFieldValue("songID", song.GetID());
    rows->SetFieldValue("duration", song.GetDuration());
    SetTextField(*rows, "historylist", "artist", song.GetArtist());
    SetTextField(*rows, "historylist", "title", song.GetTitle());
    SetTextField(*rows, "historylist", "album", song.GetAlbum());
    for (const char* name : {"albumyear", "label", "website", "buycd", "picture", "songtype", "composer", "pline",
                             "ISRC", "catalog", "UPC", "feeagency", "overlay", "songrights"})
        SetTextField(*rows, "historylist", name, song.GetValue(name));
    // Number columns take what the record holds as a number, 0 otherwise: a song that never
    // came from the library (a file or web song) must still be booked.
    rows->SetFieldValue("listeners", TextToIntDef0(song.GetValue("listeners")));
    rows->SetFieldValue("trackno", TextToIntDef0(song.GetValue("trackno")));
    rows->SetFieldValue("requestID", TextToIntDef0(song.GetValue("requestID")));
    LastHistoryBalance = TextToFloatDef0(song.GetValue("balance"));
    rows->Post();

    if (OnAdd) {
        TSongItem item;
        item.ListID = FieldInt(*rows, "ID");
        item.SongID = song.GetID();
        item.Caption = SongDisplayName(song.GetValue("artist"), song.GetValue("title"));
        item.Duration = TextToIntDef0(song.GetValue("duration"));
        item.StartTime = TimeOfDayToMs(FieldOf(*rows, "date_played").AsDateTime());
        OnAdd(*this, item);
    }
}

IDatasetPtr THistoryList::GetList() {
    return PoolQueryLimit("SELECT historylist.* FROM historylist ORDER BY date_played DESC", {}, true, MaxItems, 0);
}

}  // namespace kelvar
