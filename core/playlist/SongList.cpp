#include "core/playlist/SongList.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <system_error>
#include <unordered_map>

#include "core/playlist/HistoryList.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/QueueList.h"
#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"
#include "foundation/FileFind.h"
#include "foundation/Logger.h"
#include "media/SongInfoProvider_imp.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

std::atomic<int32_t> DefaultWeight{65};

namespace {

const char* const LogSource = "SongList";

int RandomBelow(int count) {
    static thread_local std::mt19937 random{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, count - 1)(random);
}

bool IsTextType(TFieldType type) {
    return type == ftString || type == ftFixedChar || type == ftWideString || type == ftMemo || type == ftFmtMemo;
}

bool IsIntegerType(TFieldType type) {
    return type == ftSmallint || type == ftInteger || type == ftWord || type == ftLargeint || type == ftAutoInc;
}

bool IsFloatType(TFieldType type) { return type == ftFloat || type == ftCurrency || type == ftBCD; }

}  // namespace

void CopyTagValues(const TSongInfo& tags, IDataset& row) {
    for (int i = 0; i < tags.GetCount(); ++i) {
        const std::string name = tags.GetValue(i);
        if (name.empty() || !row.HasField(name)) continue;
        const std::string lower = [&] {
            std::string s = name;
            std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
            return s;
        }();
        if (lower == "id" || lower == "filename") continue;
        const std::string value = tags.GetValue(name);
        TDLField& field = FieldOf(row, name);
        const TFieldType type = field.GetDataType();
        if (IsTextType(type) || field.IsBlob()) {
            SetTextField(row, "songlist", name, value);
        } else if (IsIntegerType(type)) {
            int64_t number = 0;
            if (TryParseInt64(value, number)) field.SetAsInteger(number);
        } else if (IsFloatType(type)) {
            double number = 0;
            if (TryParseDouble(value, number)) field.SetAsFloat(number);
        }
    }
}

namespace {

// The folder part of a path, up to and including its last "/".
std::string FolderOf(const std::string& path) { return ExtractFilePathEx(path); }

}  // namespace

const std::vector<std::string>& TSongList::FolderMasks() {
    static const std::vector<std::string> masks{"*.mp3", "*.wav", "*.ogg", "*.wma", "*.cda", "*.wmv", "*.asf"};
    return masks;
}

IProgressHandlerPtr TSongList::Progress() {
    if (!FProgress) FProgress = std::make_shared<TProgressHandler>(1, "Busy...", ProgressCallback());
    return FProgress;
}

TProgressCallback TSongList::ProgressCallback() {
    return [this](int percent, const std::string& text) {
        if (OnProgress) OnProgress(*this, percent, text);
    };
}

void TSongList::FindFiles(std::vector<std::string>& list, const std::string& mask, bool recursive,
                          const std::string& folder) {
    Progress()->SetCaption("Searching...");
    const size_t first = list.size();
    kelvar::FindFiles(list, mask, folder, recursive);
    // The search answers folders as well; a folder named like a song is not one.
    list.erase(std::remove_if(list.begin() + static_cast<std::ptrdiff_t>(first), list.end(),
                              [](const std::string& path) {
                                  std::error_code ec;
                                  return std::filesystem::is_directory(path, ec);
                              }),
               list.end());
}

ISongItemListPtr TSongList::AddFolder(const std::string& folder, bool recursive) {
    std::vector<std::string> files;
    for (const std::string& mask : FolderMasks()) FindFiles(files, mask, recursive, folder);
    return AddFileList(files);
}

ISongItemListPtr TSongList::AddFile(const std::string& fileName, const std::string& display) {
    IDatasetPtr rows = PoolQuery("SELECT * FROM songlist WHERE filename=:filename", {fileName}, false);
    if (rows->IsEmpty()) {
        rows->Append();
        InitNewSong(*rows, fileName, display);
        rows->Post();
    }
    ISongItemListPtr items = NewSongItemList();
    FillSongItem(*rows, items->Add());
    return items;
}

ISongItemListPtr TSongList::AddFileList(const std::vector<std::string>& files) {
    ISongItemListPtr items = NewSongItemList();
    if (files.empty()) return items;
    FProgress = std::make_shared<TProgressHandler>(static_cast<uint32_t>(files.size()), "Busy...", ProgressCallback());

    if (files.size() > 10) {
        std::string prefix = FolderOf(files.front());
        for (const std::string& file : files) {
            const std::string folder = FolderOf(file);
            size_t n = 0;
            while (n < prefix.size() && n < folder.size() && prefix[n] == folder[n]) ++n;
            prefix.resize(n);
            if (prefix.size() <= 3) break;
        }
        if (prefix.size() > 3) {
            FolderPass(prefix, files, 0, files.size(), *items);
            return items;
        }
    }
    size_t first = 0;
    while (first < files.size()) {
        const std::string folder = FolderOf(files[first]);
        size_t last = first + 1;
        while (last < files.size() && FolderOf(files[last]) == folder) ++last;
        FolderPass(folder, files, first, last - first, *items);
        first = last;
    }
    return items;
}

void TSongList::FolderPass(const std::string& folder, const std::vector<std::string>& files, size_t first, size_t count,
                           ISongItemList& items) {
    IProgressHandlerPtr progress = Progress();
    progress->SetCaption("Reading DB...");
    ISQLConnectionPtr connection = PoolGetWriteConnection();
    try {
        // Paths are compared as they are (two names that differ in case are two files), and the
        // prefix is bound as a plain text: no character of a folder name acts as a wildcard.
        std::unordered_map<std::string, TSongItem> index;
        {
            IDatasetPtr stored =
                connection->Query("SELECT * FROM songlist WHERE filename STARTING WITH :filename", {folder}, true);
            progress->SetCaption("Verify...");
            for (stored->First(); !stored->Eof(); stored->Next()) {
                TSongItem item;
                FillSongItem(*stored, item);
                index.emplace(stored->GetFieldValue("filename").AsString(), std::move(item));
            }
        }
        progress->SetCaption("Add songlist...");
        // New rows go through an empty editable result of the table; it takes its keys from
        // the table's generator.
        const char* const appendSQL = "SELECT * FROM songlist WHERE ID = -1";
        IDatasetPtr rows = connection->Query(appendSQL, {}, false);
        int committedAt = items.Count();
        for (size_t i = first; i < first + count; ++i) {
            const std::string& file = files[i];
            auto found = index.find(file);
            if (found != index.end()) {
                items.Add() = found->second;
            } else {
                rows->Append();
                InitNewSong(*rows, file, "");
                try {
                    rows->Post();
                    TSongItem& item = items.Add();
                    FillSongItem(*rows, item);
                    index.emplace(file, item);
                } catch (const std::exception& e) {
                    rows->Cancel();
                    LogMessage("Could not add " + file + " to the library: " + e.what(), LogSource, LogKind::Warning);
                }
            }
            if (SQLDriverType == dtFirebird) {
                if (items.Count() % 100 == 0 && items.Count() != committedAt) {
                    committedAt = items.Count();
                    connection->Commit();
                    progress->SetPosition(static_cast<uint32_t>(items.Count()));
                    connection->StartTransaction();
                    rows = connection->Query(appendSQL, {}, false);
                }
            } else {
                progress->SetPosition(static_cast<uint32_t>(items.Count()));
            }
        }
    } catch (...) {
        // What was posted before the failure stays.
        try {
            connection->Commit();
        } catch (...) {}
        throw;
    }
    connection->Commit();
}

bool TSongList::DeleteSong(int32_t songID) {
    bool removed = false;
    RunDeletion([&](ISQLConnection& connection) {
        connection.ExecSQL("DELETE FROM categorylist WHERE (songID = :songID)", {songID});
        connection.ExecSQL("DELETE FROM queuelist WHERE (songID = :songID)", {songID});
        connection.ExecSQL("DELETE FROM requestlist WHERE (songID = :songID)", {songID});
        removed = connection.ExecSQL("DELETE FROM songlist WHERE ID = :ID", {songID}) > 0;
    });
    return removed;
}

bool TSongList::DeleteSongs(const TIntegerList& songIDs) {
    bool removed = false;
    std::string ids;
    auto sendBatch = [&] {
        RunDeletion([&](ISQLConnection& connection) {
            connection.ExecSQL("DELETE FROM categorylist WHERE (songID IN (" + ids + "))", {});
            connection.ExecSQL("DELETE FROM queuelist WHERE (songID IN (" + ids + "))", {});
            connection.ExecSQL("DELETE FROM requestlist WHERE (songID IN (" + ids + "))", {});
            removed = connection.ExecSQL("DELETE FROM songlist WHERE (ID IN (" + ids + "))", {}) > 0;
        });
        ids.clear();
    };
    for (int i = 0; i < songIDs.Count(); ++i) {
        if (!ids.empty()) ids += ',';
        ids += std::to_string(songIDs.Items(i));
        if (i > 1 && i % 500 == 0) sendBatch();
    }
    if (!ids.empty()) sendBatch();
    return removed;
}

void TSongList::RunDeletion(const std::function<void(ISQLConnection&)>& statements) {
    // The list rows go with their song in one transaction: no queue entry is left pointing at
    // a song that is gone, and a failure leaves both in place.
    ISQLConnectionPtr connection = PoolGetWriteConnection();
    const bool ownTransaction = SQLDriverType == dtFirebird || SQLDriverType == dtPostgreSQL;
    try {
        statements(*connection);
        if (ownTransaction) connection->Commit();
    } catch (...) {
        if (ownTransaction) {
            try {
                connection->Rollback();
            } catch (...) {}
        }
        MarkQueueCountStale();
        throw;
    }
    MarkQueueCountStale();
}

bool TSongList::EraseSong(int32_t songID) {
    bool erased = false;
    std::string fileName;
    {
        IDatasetPtr row = PoolQuery("SELECT filename FROM songlist WHERE ID = :songID", {songID}, true);
        if (!row->IsEmpty()) fileName = row->GetFieldValue("filename").AsString();
    }
    std::error_code ec;
    if (!fileName.empty() && IsPlainFile(fileName) && std::filesystem::is_regular_file(fileName, ec)) {
        erased = ForceDeleteFile(fileName);
        if (!erased) LogMessage("Could not delete the file " + fileName, LogSource, LogKind::Error);
    }
    DeleteSong(songID);
    return erased;
}

void TSongList::VerifyFiles(IDataset& rows) {
    for (rows.First(); !rows.Eof(); rows.Next()) {
        const std::string fileName = rows.GetFieldValue("filename").AsString();
        const int32_t status = FieldInt(rows, "status");
        if (status != 0 && status != 1 && status != 6) continue;
        std::error_code ec;
        const bool exists = !fileName.empty() && std::filesystem::exists(fileName, ec);
        int32_t newStatus = status;
        if (!exists && status == 0) newStatus = 6;
        if (exists && (status == 6 || status == 1)) newStatus = 0;
        if (newStatus == status) continue;
        rows.Edit();
        rows.SetFieldValue("status", newStatus);
        rows.Post();
    }
}

void TSongList::FillSongItem(IDataset& row, TSongItem& item) {
    item.SongID = FieldInt(row, "ID");
    item.Caption = SongDisplayName(row.GetFieldValue("artist").AsString(), row.GetFieldValue("title").AsString());
    item.Duration = FieldInt(row, "duration");
}

void TSongList::InitNewSong(IDataset& row, const std::string& fileName, std::string display) {
    try {
        if (display.empty()) display = ExtractFileNameNoExt(fileName);
        std::string artist, title = display;
        SplitArtistTitle(artist, title);

        row.SetFieldValue("status", IsPlainFile(fileName) ? 0 : 2);
        row.SetFieldValue("songtype", "S");
        row.SetFieldValue("filename", fileName);
        SetTextField(row, "songlist", "artist", artist);
        SetTextField(row, "songlist", "title", title);
        row.SetFieldValue("duration", -1);
        const TDateTime now = NowDateTime();
        FieldOf(row, "date_added").SetAsDateTime(now);
        // A weight of 0 or less would make 1/weight fail here and in every rotation update.
        row.SetFieldValue("weight", static_cast<double>(std::max<int32_t>(DefaultWeight.load(), 1)));
        double weight = FieldFloat(row, "weight");
        if (weight <= 0) weight = 1;
        row.SetFieldValue("balance", 1.0 / weight + RandomBelow(100) / 100.0 + LastHistoryBalance.load());
        for (const char* column : {"date_played", "date_artist_played", "date_album_played", "date_title_played"})
            FieldOf(row, column).SetAsDateTime(now - 30.0 - RandomBelow(5000) / 1000.0);

        if (IsPlainFile(fileName)) {
            TSongInfo tags;
            tags.SetValue("filename", fileName);
            if (SongInfoManager().ReadInfo(fileName, tags)) CopyTagValues(tags, row);
        }
    } catch (const std::exception& e) {
        // The row keeps what was set so far and is still stored.
        LogMessage("Reading the song information of " + fileName + " failed: " + e.what(), LogSource, LogKind::Warning);
    }
}

}  // namespace kelvar
