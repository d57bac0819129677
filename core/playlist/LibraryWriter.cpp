#include "core/playlist/LibraryWriter.h"

#include <cctype>

#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/QueueList.h"
#include "core/playlist/SharedSongIndex.h"
#include "core/playlist/SongList.h"
#include "database/DataSetAccess.h"
#include "database/SQLPool_DataLink.h"
#include "database/datalink/DLEngine.h"
#include "foundation/Logger.h"
#include "foundation/TextUtil.h"

namespace kelvar {

namespace {

const char* const LogSource = "SongList";

// Keys taken from the generator at a time; unused ones are simply skipped.
constexpr int IDBlock = 100;

std::string LookUpSQL() {
    std::string sql = "SELECT ID, filename, artist, title, duration FROM songlist WHERE filename IN (";
    for (size_t i = 0; i < TLibraryWriter::LookUpGroup; ++i) sql += (i ? ", :f" : ":f") + std::to_string(i);
    return sql + ")";
}

// A column's value as a statement parameter.
TDLVariant ParamValue(TDLField& field) {
    // A long text column is carried as a memo but still takes text: the server reads a blob
    // parameter as bytes without a character set and stores each byte past ASCII as a dot in
    // a text column.
    if (field.LongText) return TDLVariant(field.GetValue().AsString());
    if (field.IsBlob()) {
        // As a blob: a text parameter holds no more than 32 KB.
        const std::string text = field.GetValue().AsString();
        return TDLVariant(TBytes(text.begin(), text.end()));
    }
    return field.GetValue();
}

}  // namespace

TLibraryWriter::TLibraryWriter() : FConnection(PoolGetWriteConnection()) {
    FFastInsert = SQLDriverType.load() == dtFirebird && dynamic_cast<TDataLinkConnection*>(FConnection.get());
    OpenScratch();
}

void TLibraryWriter::OpenScratch() {
    const char* const sql = "SELECT * FROM songlist WHERE ID = -1";
    if (FScratch)
        FScratch->OpenSQL(sql, {}, false);
    else
        FScratch = FConnection->Query(sql, {}, false);
    // Keys come from reserved blocks here, not from a generator query per new row.
    if (FFastInsert) DataSetOf(*FScratch).OnNewRecord = nullptr;
}

TLibraryWriter::~TLibraryWriter() {
    try {
        FScratch.reset();
        FInserts.clear();
        FUpdates.clear();
        FLookUp.reset();
        FReserve.reset();
        for (auto& d : FDeletes) d.reset();
        FConnection->Commit();
        if (FDeletedSinceCommit) MarkQueueCountStale();
        SongIndexSongsChanged(FChanged);
    } catch (const std::exception& e) {
        LogMessage(std::string("Could not store the library's last changes: ") + e.what(), LogSource, LogKind::Error);
    }
}

TPreparedStatement& TLibraryWriter::Statement(std::unique_ptr<TPreparedStatement>& slot, const std::string& sql) {
    if (!slot) slot = std::make_unique<TPreparedStatement>(*FConnection, sql);
    return *slot;
}

void TLibraryWriter::LookUp(const std::vector<std::string>& names, std::unordered_map<std::string, TSongItem>& found) {
    TPreparedStatement& lookUp = Statement(FLookUp, LookUpSQL());
    for (size_t first = 0; first < names.size(); first += LookUpGroup) {
        TVariantArray params;
        for (size_t i = 0; i < LookUpGroup; ++i) params.emplace_back(names[std::min(first + i, names.size() - 1)]);
        lookUp.Open(params);
        while (lookUp.Next()) {
            TSongItem item;
            item.SongID = static_cast<int32_t>(lookUp.Value("ID").AsInteger());
            item.Caption = SongDisplayName(lookUp.Value("artist").AsString(), lookUp.Value("title").AsString());
            item.Duration = static_cast<int32_t>(lookUp.Value("duration").AsInteger());
            // The database ignores trailing blanks in the comparison; names are matched exactly.
            found.emplace(lookUp.Value("filename").AsString(), std::move(item));
        }
    }
}

int32_t TLibraryWriter::NextID() {
    if (FNextID > FLastID) {
        TPreparedStatement& reserve = Statement(
            FReserve, "SELECT GEN_ID(GEN_songlist_ID, " + std::to_string(IDBlock) + ") AS ID FROM RDB$DATABASE");
        reserve.Open({});
        if (!reserve.Next()) throw EDatabaseError("No key from the generator GEN_songlist_ID");
        FLastID = reserve.Value("ID").AsInteger();
        FNextID = FLastID - IDBlock + 1;
    }
    return static_cast<int32_t>(FNextID++);
}

bool TLibraryWriter::Insert(const std::string& fileName, TSongItem& item) {
    IDataset& row = *FScratch;
    row.Append();
    TSongList::InitNewSong(row, fileName, "");
    if (!FFastInsert) {
        try {
            row.Post();
        } catch (const std::exception& e) {
            row.Cancel();
            LogMessage("Could not add " + fileName + " to the library: " + e.what(), LogSource, LogKind::Warning);
            return false;
        }
        TSongList::FillSongItem(row, item);
        FChanged.push_back(item.SongID);
        ++FPending;
        return true;
    }
    // The columns given a value; the others keep the table's defaults.
    TDLDataSet& data = DataSetOf(row);
    std::string columns, values;
    TVariantArray params(1);  // the key first
    for (int i = 0; i < data.FieldCount(); ++i) {
        TDLField& field = *data.Fields(i);
        const std::string& name = field.GetFieldName();
        if (field.IsNull() || SameText(name, "ID")) continue;
        columns += ", " + name;
        values += ", :" + name;
        params.push_back(ParamValue(field));
    }
    const std::string artist = row.GetFieldValue("artist").AsString();
    const std::string title = row.GetFieldValue("title").AsString();
    const int32_t duration = FieldInt(row, "duration");
    row.Cancel();
    try {
        const int32_t id = NextID();
        params[0] = TDLVariant(static_cast<int64_t>(id));
        std::unique_ptr<TPreparedStatement>& insert = FInserts[columns];
        Statement(insert, "INSERT INTO songlist (ID" + columns + ") VALUES (:ID" + values + ")").Exec(params);
        item.SongID = id;
        FChanged.push_back(id);
    } catch (const std::exception& e) {
        LogMessage("Could not add " + fileName + " to the library: " + e.what(), LogSource, LogKind::Warning);
        return false;
    }
    item.Caption = SongDisplayName(artist, title);
    item.Duration = duration;
    ++FPending;
    return true;
}

bool TLibraryWriter::UpdateTags(int32_t songID, const TSongInfo& tags) {
    // The values take their columns' types and lengths on the scratch row, which starts with
    // every column empty: what is still empty afterwards is not written.
    IDataset& row = *FScratch;
    TDLDataSet& data = DataSetOf(row);
    std::string columns;
    TVariantArray params;
    row.Append();
    try {
        for (int i = 0; i < data.FieldCount(); ++i) {
            TDLField& field = *data.Fields(i);
            if (!field.ReadOnly && !field.IsNull()) field.Clear();
        }
        CopyTagValues(tags, row);
        for (int i = 0; i < data.FieldCount(); ++i) {
            TDLField& field = *data.Fields(i);
            if (field.ReadOnly || field.IsNull() || SameText(field.GetFieldName(), "ID")) continue;
            columns += (columns.empty() ? "" : ", ") + field.GetFieldName() + " = :p" + std::to_string(params.size());
            params.push_back(ParamValue(field));
        }
    } catch (...) {
        row.Cancel();
        throw;
    }
    row.Cancel();
    if (params.empty()) return true;
    params.emplace_back(static_cast<int64_t>(songID));
    const int rows = Statement(FUpdates[columns], "UPDATE songlist SET " + columns + " WHERE ID = :ID").Exec(params);
    ++FPending;
    return rows > 0;
}

bool TLibraryWriter::DeleteSong(int32_t songID) {
    static const char* const statements[] = {
        "SAVEPOINT kelvar_delete_song",
        "DELETE FROM categorylist WHERE (songID = :songID)",
        "DELETE FROM queuelist WHERE (songID = :songID)",
        "DELETE FROM requestlist WHERE (songID = :songID)",
        "DELETE FROM songlist WHERE ID = :ID",
    };
    const bool savepoint = SQLDriverType.load() == dtFirebird;
    // A queue row of this song still being written lands first, then goes with the song.
    WaitForQueueWrites(QueueWritesLimit);
    bool removed = false;
    try {
        if (savepoint) Statement(FDeletes[0], statements[0]).Exec({});
        for (int i = 1; i < 5; ++i) {
            const int rows = Statement(FDeletes[i], statements[i]).Exec({songID});
            if (i == 4) removed = rows > 0;
        }
    } catch (...) {
        // The song keeps its list rows; the run's other deletions stay.
        if (savepoint) {
            try {
                FConnection->ExecSQL("ROLLBACK TO SAVEPOINT kelvar_delete_song", {});
            } catch (...) {}
        }
        throw;
    }
    FChanged.push_back(songID);
    ++FPending;
    ++FDeleted;
    FDeletedSinceCommit = true;
    return removed;
}

void TLibraryWriter::Commit() {
    FConnection->Commit();
    FPending = 0;
    // Keys are reserved in blocks, so a committed song may lie below songs already searched.
    SongIndexSongsChanged(FChanged);
    FChanged.clear();
    if (FDeletedSinceCommit) MarkQueueCountStale();
    FDeletedSinceCommit = false;
    FConnection->StartTransaction();
    OpenScratch();
}

}  // namespace kelvar
