#include "core/playlist/GetSongList.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "core/playlist/PlaylistUtils.h"
#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"

namespace kelvar {

namespace {

// Batches after the first go at most this often: each one costs the main thread a repaint.
constexpr auto BatchInterval = std::chrono::milliseconds(250);

std::string_view WithoutTrailingBlanks(const std::string& s) {
    std::string_view v(s);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    return v;
}

}  // namespace

bool TitleBefore(const std::string& a, bool aHasTitle, const std::string& b, bool bHasTitle) {
    if (!aHasTitle || !bHasTitle) return !aHasTitle && bHasTitle;
    // std::string_view compares chars as unsigned through char_traits, which is UTF-8's code
    // point order.
    return WithoutTrailingBlanks(a) < WithoutTrailingBlanks(b);
}

void TGetSongList::Terminate() {
    OnRows = nullptr;
    OnResult = nullptr;
    TCategoryLoader::Terminate();
}

void TGetSongList::Execute() {
    if (Terminated()) return;
    LowerPriority();
    Status(3, "Retrieving data...");
    IDatasetPtr rows = PoolQuery(FSQL, FParams, true);
    if (Terminated()) return;
    // The total is known only after the last row: the rows shown tell how far the load is.
    Status(10, "Loading...");

    // Fields looked up once: a list may hold a million rows.
    TDLField& artist = FieldOf(*rows, "artist");
    TDLField& title = FieldOf(*rows, "title");
    TDLField& songID = FieldOf(*rows, "songID");
    TDLField& duration = FieldOf(*rows, "duration");
    TDLField* sortID = rows->HasField("sortID") ? &FieldOf(*rows, "sortID") : nullptr;
    TDLField* listID = rows->HasField("listID") ? &FieldOf(*rows, "listID") : nullptr;
    TDLField* hasArtist = TitlesWithinArtist ? &FieldOf(*rows, "has_artist") : nullptr;
    TDLField* hasTitle = TitlesWithinArtist ? &FieldOf(*rows, "has_title") : nullptr;

    double total = 0;  // seconds
    std::vector<TSongItem> batch;
    size_t sent = 0;
    auto lastSent = std::chrono::steady_clock::now();
    auto send = [&] {
        const size_t wanted = sent == 0 ? FirstBatch : LargestBatch;
        if (batch.size() < wanted && (sent == 0 || std::chrono::steady_clock::now() - lastSent < BatchInterval)) return;
        sent += batch.size();
        lastSent = std::chrono::steady_clock::now();
        Synchronize([this, rows = std::move(batch)]() mutable {
            if (OnRows) OnRows(rows);
        });
        batch.clear();
    };
    auto add = [&](TSongItem&& item) {
        item.StartTime = static_cast<int64_t>(std::floor(total));
        if (item.Duration > 0) total += item.Duration / 1000.0;
        batch.push_back(std::move(item));
        send();
    };

    // One artist's rows with their titles, while TitlesWithinArtist holds them for sorting.
    struct TPending {
        TSongItem Item;
        std::string Title;
        bool HasTitle;
    };
    std::vector<TPending> group;
    std::string groupArtist;
    bool groupHasArtist = false;
    auto flushGroup = [&] {
        std::stable_sort(group.begin(), group.end(), [](const TPending& a, const TPending& b) {
            return TitleBefore(a.Title, a.HasTitle, b.Title, b.HasTitle);
        });
        for (TPending& p : group) add(std::move(p.Item));
        group.clear();
    };

    int done = 0;
    for (rows->First(); !rows->Eof() && !Terminated(); rows->Next()) {
        TSongItem item;
        const std::string artistText = artist.AsString();
        const std::string titleText = title.AsString();
        item.Caption = SongDisplayName(artistText, titleText);
        item.SongID = static_cast<int32_t>(songID.AsInteger());
        item.Duration = static_cast<int32_t>(duration.AsInteger());
        if (sortID) item.SortID = sortID->AsFloat();
        if (listID) item.ListID = static_cast<int32_t>(listID->AsInteger());
        if (!TitlesWithinArtist) {
            add(std::move(item));
        } else {
            // Artists equal to the database (trailing blanks aside) are one group.
            const bool artistGiven = hasArtist->AsInteger() != 0;
            if (!group.empty() && (artistGiven != groupHasArtist ||
                                   WithoutTrailingBlanks(artistText) != WithoutTrailingBlanks(groupArtist)))
                flushGroup();
            if (group.empty()) {
                groupArtist = artistText;
                groupHasArtist = artistGiven;
            }
            group.push_back({std::move(item), titleText, hasTitle->AsInteger() != 0});
        }
        if (++done % 500 == 0) std::this_thread::yield();
    }
    if (Terminated()) return;
    flushGroup();
    // The last rows and the end in one call: a short list arrives whole.
    const auto totalDuration = static_cast<int32_t>(std::floor(total));
    Synchronize([this, rows = std::move(batch), totalDuration]() mutable {
        if (OnRows && !rows.empty()) OnRows(rows);
        if (OnResult) OnResult(totalDuration);
    });
}

}  // namespace kelvar
