#include "core/playlist/SongList.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "core/playlist/HistoryList.h"
#include "core/playlist/LibraryWriter.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/QueueList.h"
#include "core/playlist/SharedSongIndex.h"
#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"
#include "foundation/FileFind.h"
#include "foundation/Logger.h"
#include "media/SongInfoProvider_imp.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

std::atomic<int32_t> DefaultWeight{65};

std::string CanonicalFileName(const std::string& fileName) {
    namespace fs = std::filesystem;
    if (fileName.empty() || !IsPlainFile(fileName)) return fileName;
    std::error_code ec;
    fs::path path = fs::absolute(fs::path(fileName), ec);
    if (ec) return fileName;
    // Links resolved and "." / ".." / "//" gone as far as the path exists; the rest as written.
    fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? path.lexically_normal().string() : canonical.string();
}

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

TSongList::TSongList() = default;
TSongList::~TSongList() = default;

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
    const std::string canonical = CanonicalFileName(folder);
    for (const std::string& mask : FolderMasks()) FindFiles(files, mask, recursive, canonical);
    return AddFileList(files);
}

ISongItemListPtr TSongList::AddFile(const std::string& fileName, const std::string& display) {
    const std::string name = CanonicalFileName(fileName);
    IDatasetPtr rows = PoolQuery("SELECT * FROM songlist WHERE filename=:filename", {name}, false);
    if (rows->IsEmpty()) {
        rows->Append();
        InitNewSong(*rows, name, display);
        rows->Post();
        SongIndexSongsChanged({FieldInt(*rows, "ID")});
    }
    ISongItemListPtr items = NewSongItemList();
    FillSongItem(*rows, items->Add());
    return items;
}

ISongItemListPtr TSongList::AddFileList(const std::vector<std::string>& fileList) {
    ISongItemListPtr items = NewSongItemList();
    if (fileList.empty()) return items;
    FProgress =
        std::make_shared<TProgressHandler>(static_cast<uint32_t>(fileList.size()), "Busy...", ProgressCallback());
    IProgressHandlerPtr progress = FProgress;
    std::vector<std::string> files;
    files.reserve(fileList.size());
    for (const std::string& file : fileList) files.push_back(CanonicalFileName(file));

    std::unique_ptr<TLibraryWriter> own;
    TLibraryWriter* writer = RunWriter();
    if (!writer) {
        own = std::make_unique<TLibraryWriter>();
        writer = own.get();
    }
    // Each group's stored names are looked up through the index, so the cost of a file does not
    // grow with the library; names met earlier in this list are answered from the list.
    std::unordered_map<std::string, TSongItem> known;
    for (size_t first = 0; first < files.size(); first += ImportGroup) {
        const size_t last = std::min(files.size(), first + ImportGroup);
        progress->SetCaption("Reading DB...");
        std::vector<std::string> unknown;
        for (size_t i = first; i < last; ++i)
            if (!known.count(files[i])) unknown.push_back(files[i]);
        writer->LookUp(unknown, known);
        progress->SetCaption("Add songlist...");
        for (size_t i = first; i < last; ++i) {
            auto found = known.find(files[i]);
            if (found != known.end()) {
                items->Add() = found->second;
                continue;
            }
            TSongItem item;
            if (!writer->Insert(files[i], item)) continue;
            known.emplace(files[i], item);
            items->Add() = std::move(item);
        }
        // With forced writes every commit waits for the disk: the fewer, the faster.
        if (writer->Pending() >= ImportCommitEvery || last == files.size()) writer->Commit();
        progress->SetPosition(static_cast<uint32_t>(last));
    }
    return items;
}

bool TSongList::DeleteSong(int32_t songID) {
    if (TLibraryWriter* writer = RunWriter()) {
        const bool removed = writer->DeleteSong(songID);
        if (writer->Pending() >= RunCommitEvery) writer->Commit();
        return removed;
    }
    bool removed = false;
    RunDeletion([&](ISQLConnection& connection) {
        connection.ExecSQL("DELETE FROM categorylist WHERE (songID = :songID)", {songID});
        connection.ExecSQL("DELETE FROM queuelist WHERE (songID = :songID)", {songID});
        connection.ExecSQL("DELETE FROM requestlist WHERE (songID = :songID)", {songID});
        removed = connection.ExecSQL("DELETE FROM songlist WHERE ID = :ID", {songID}) > 0;
    });
    SongIndexSongsChanged({songID});
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
    SongIndexSongsChanged(songIDs.Values());
    return removed;
}

TLibraryWriter* TSongList::RunWriter() const {
    return FRunWriter && FRunThread == std::this_thread::get_id() ? FRunWriter.get() : nullptr;
}

TSongList::TWriteRun::TWriteRun(TSongList& songs) : FSongs(songs) {
    if (FSongs.FRunWriter) return;  // an outer run goes on
    FSongs.FRunWriter = std::make_unique<TLibraryWriter>();
    FSongs.FRunThread = std::this_thread::get_id();
    FOwner = true;
}

TSongList::TWriteRun::~TWriteRun() {
    if (FOwner) FSongs.FRunWriter.reset();
}

void TSongList::RunDeletion(const std::function<void(ISQLConnection&)>& statements) {
    // The list rows go with their song in one transaction: no queue entry is left pointing at
    // a song that is gone, and a failure leaves both in place. Queue rows still being written
    // land first, so that none of them comes after the deletion.
    WaitForQueueWrites(QueueWritesLimit);
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
