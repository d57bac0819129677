#include "core/playlist/GetSongList.h"

#include <cmath>
#include <thread>

#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/ProgressHandler.h"
#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"

namespace kelvar {

void TGetSongList::Terminate() {
    OnResult = nullptr;
    TCategoryLoader::Terminate();
}

void TGetSongList::Execute() {
    if (Terminated()) return;
    LowerPriority();
    Status(3, "Retrieving data...");
    IDatasetPtr rows = PoolQuery(FSQL, FParams, true);
    if (Terminated()) return;

    const int count = rows->RecordCount();
    TProgressHandler progress(static_cast<uint32_t>(count) + 10, "Loading...",
                              [this](int percent, const std::string& text) { Status(percent, text); });
    progress.SetPosition(10);
    auto songs = NewSongItemList();

    // Fields looked up once: a list may hold a hundred thousand rows.
    TDLField& artist = FieldOf(*rows, "artist");
    TDLField& title = FieldOf(*rows, "title");
    TDLField& songID = FieldOf(*rows, "songID");
    TDLField& duration = FieldOf(*rows, "duration");
    TDLField* sortID = rows->HasField("sortID") ? &FieldOf(*rows, "sortID") : nullptr;
    TDLField* listID = rows->HasField("listID") ? &FieldOf(*rows, "listID") : nullptr;

    double total = 0;  // seconds
    int done = 0;
    for (rows->First(); !rows->Eof() && !Terminated(); rows->Next()) {
        TSongItem& item = songs->Add();
        item.Caption = SongDisplayName(artist.AsString(), title.AsString());
        item.SongID = static_cast<int32_t>(songID.AsInteger());
        item.Duration = static_cast<int32_t>(duration.AsInteger());
        if (sortID) item.SortID = sortID->AsFloat();
        if (listID) item.ListID = static_cast<int32_t>(listID->AsInteger());
        item.StartTime = static_cast<int64_t>(std::floor(total));
        if (item.Duration > 0) total += item.Duration / 1000.0;
        progress.StepIt();
        if (++done % 500 == 0) std::this_thread::yield();
    }
    if (Terminated()) return;
    songs->SetTotalDuration(static_cast<int32_t>(std::floor(total)));
    Synchronize([this, songs] {
        if (OnResult) OnResult(songs);
    });
}

}  // namespace kelvar
