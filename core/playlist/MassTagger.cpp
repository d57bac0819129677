#include "core/playlist/MassTagger.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "core/playlist/CategorySelection.h"
#include "core/playlist/LibraryWriter.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/SongFiles.h"
#include "database/DataSetAccess.h"
#include "database/SQLPool.h"
#include "database/datalink/DLEngine.h"
#include "foundation/Logger.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

namespace {

using TClock = std::chrono::steady_clock;

const char* const LogSource = "SongList";

// Between two reports at least (each one costs the main thread a repaint), and at most while
// rows come slowly (files on a slow share).
constexpr auto ReportInterval = std::chrono::milliseconds(40);
constexpr auto SlowReportInterval = std::chrono::milliseconds(250);
// Loaded tags wait no longer than this for their write.
constexpr auto WriteInterval = std::chrono::seconds(1);

bool FileExists(const std::string& Path) {
    std::error_code ec;
    return std::filesystem::exists(Path, ec);
}

bool LoadTags(const std::string& File, TSongInfo& Tags) {
    try {
        Tags.SetValue("filename", File);
        return ReadSongTags(File, Tags);
    } catch (const std::exception& e) {
        LogMessage("Loading the tags of " + File + " failed: " + e.what(), LogSource, LogKind::Warning);
        return false;
    }
}

bool SaveTags(IDataset& Row, const std::string& File) {
    try {
        ISongInfoPtr song = SongFromRow(Row);
        return WriteSongTags(File, *song);
    } catch (const std::exception& e) {
        LogMessage("Saving the tags of " + File + " failed: " + e.what(), LogSource, LogKind::Warning);
        return false;
    }
}

}  // namespace

// How far the walk is and what the main thread has not been told yet.
struct TMassTagger::TProgress {
    int Done = 0;
    int Reported = 0;
    std::string File;
    std::vector<std::string> LogLines;
    TClock::time_point LastReport = TClock::now();
};

struct TMassTagger::TPendingTags {
    int32_t SongID = 0;
    std::string File;
    TSongInfo Tags;
};

void TMassTagger::Start() {
    FWorker.Start("kelvar-tagger", [this] { Run(); });
}

void TMassTagger::Report(TProgress& Progress) {
    Progress.Reported = Progress.Done;
    Progress.LastReport = TClock::now();
    FWorker.Post(
        [done = Progress.Done, file = Progress.File, lines = std::move(Progress.LogLines)](const TCallbacks& c) {
            if (c.OnProgress) c.OnProgress(done, file, lines);
        });
    Progress.LogLines.clear();
}

void TMassTagger::Run() {
    TCounts counts;
    TProgress progress;
    std::string error;
    try {
        Walk(counts, progress);
    } catch (const std::exception& e) {
        error = e.what();
        if (error.empty()) error = "unknown error";
    } catch (...) {
        error = "unknown error";
    }
    // The log gets the lines of the rows walked, also when an error ended the walk.
    if (progress.Done > progress.Reported || !progress.LogLines.empty()) Report(progress);
    FWorker.Post([counts, error](const TCallbacks& c) {
        if (c.OnEnd) c.OnEnd(counts, error);
    });
}

void TMassTagger::Walk(TCounts& Counts, TProgress& Progress) {
    const bool load = FDirection == TDirection::Load;
    const int total = static_cast<int>(PoolQuery("SELECT COUNT(*) AS N FROM songlist")->GetFieldValue("N").AsInteger());
    FWorker.Post([total](const TCallbacks& c) {
        if (c.OnStart) c.OnStart(total);
    });
    // Only the current row is kept: a library may hold a million rows. Loading needs only the
    // key and the file name; saving hands the whole row to the file.
    IDatasetPtr rows = PoolQuery(load ? "SELECT ID, filename FROM songlist" : "SELECT * FROM songlist", {}, true);
    DataSetOf(*rows).UniDirectional = true;
    TDLField& id = FieldOf(*rows, "ID");
    TDLField& filename = FieldOf(*rows, "filename");
    std::unique_ptr<TLibraryWriter> writer;
    if (load) writer = std::make_unique<TLibraryWriter>();
    std::vector<TPendingTags> batch;
    TClock::time_point batchStart;
    for (rows->First(); !rows->Eof() && !FWorker.Cancelled(); rows->Next()) {
        const std::string file = filename.AsString();
        if (!IsPlainFile(file) || !FileExists(file)) {
            Progress.LogLines.push_back("Skipped: " + file);
            ++Counts.Skipped;
        } else if (load) {
            TPendingTags pending{static_cast<int32_t>(id.AsInteger()), file, {}};
            if (LoadTags(file, pending.Tags)) {
                if (batch.empty()) batchStart = TClock::now();
                batch.push_back(std::move(pending));
            } else {
                Progress.LogLines.push_back("Failed: " + file);
                ++Counts.Failed;
            }
        } else if (SaveTags(*rows, file)) {
            ++Counts.Tagged;
        } else {
            Progress.LogLines.push_back("Failed: " + file);
            ++Counts.Failed;
        }
        ++Progress.Done;
        Progress.File = file;
        const auto now = TClock::now();
        if (!batch.empty() && (batch.size() >= WriteEvery || now - batchStart >= WriteInterval))
            WriteBatch(*writer, batch, Counts, Progress);
        const auto sinceReport = now - Progress.LastReport;
        if ((Progress.Done - Progress.Reported >= ReportEvery &&
             (Progress.Reported == 0 || sinceReport >= ReportInterval)) ||
            sinceReport >= SlowReportInterval)
            Report(Progress);
    }
    if (!batch.empty()) WriteBatch(*writer, batch, Counts, Progress);
}

void TMassTagger::WriteBatch(TLibraryWriter& Writer, std::vector<TPendingTags>& Batch, TCounts& Counts,
                             TProgress& Progress) {
    int stored = 0;
    for (const TPendingTags& pending : Batch) {
        try {
            if (Writer.UpdateTags(pending.SongID, pending.Tags)) {
                ++stored;
                continue;
            }
            LogMessage("The song of " + pending.File + " was removed before its tags were stored", LogSource,
                       LogKind::Warning);
        } catch (const std::exception& e) {
            LogMessage("Storing the tags of " + pending.File + " failed: " + e.what(), LogSource, LogKind::Warning);
        }
        Progress.LogLines.push_back("Failed: " + pending.File);
        ++Counts.Failed;
    }
    Batch.clear();
    Writer.Commit();
    Counts.Tagged += stored;
}

}  // namespace kelvar
