#include "core/playlist/MissingSongCheck.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "core/playlist/LibraryWriter.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/SongList.h"
#include "database/DataSetAccess.h"
#include "database/SQLPool.h"
#include "database/datalink/DLEngine.h"

namespace kelvar {

namespace {

// After the first report, later ones come at most this often: each one costs the main thread a
// repaint.
constexpr auto ReportInterval = std::chrono::milliseconds(40);

// Only a file that is known to be gone counts as missing: a folder that can't be read (a
// network share that is down) must not cost the library its songs.
bool FileMissing(const std::string& Path) {
    std::error_code ec;
    return !std::filesystem::exists(Path, ec) && !ec;
}

}  // namespace

void TMissingSongCheck::Start() {
    FWorker.Start("kelvar-verify", [this] { Run(); });
}

void TMissingSongCheck::Run() {
    int removed = 0;
    std::string error;
    try {
        const int total =
            static_cast<int>(PoolQuery("SELECT COUNT(*) AS N FROM songlist")->GetFieldValue("N").AsInteger());
        FWorker.Post([total](const TCallbacks& c) {
            if (c.OnStart) c.OnStart(total);
        });
        // Only the key and the file name are needed, and only the current row is kept: a
        // library may hold a million rows.
        IDatasetPtr rows = PoolQuery("SELECT ID, filename FROM songlist", {}, true);
        DataSetOf(*rows).UniDirectional = true;
        TDLField& id = FieldOf(*rows, "ID");
        TDLField& filename = FieldOf(*rows, "filename");
        TLibraryWriter writer;
        int done = 0, reported = 0;
        auto lastReport = std::chrono::steady_clock::now();
        for (rows->First(); !rows->Eof() && !FWorker.Cancelled(); rows->Next()) {
            const std::string file = filename.AsString();
            if (IsPlainFile(file) && FileMissing(file)) {
                writer.DeleteSong(static_cast<int32_t>(id.AsInteger()));
                ++removed;
                if (writer.Pending() >= TSongList::RunCommitEvery) writer.Commit();
            }
            ++done;
            const auto now = std::chrono::steady_clock::now();
            if (done - reported >= ReportEvery && (reported == 0 || now - lastReport >= ReportInterval)) {
                reported = done;
                lastReport = now;
                FWorker.Post([done, file](const TCallbacks& c) {
                    if (c.OnProgress) c.OnProgress(done, file);
                });
            }
        }
        writer.Commit();
    } catch (const std::exception& e) {
        error = e.what();
        if (error.empty()) error = "unknown error";
    } catch (...) {
        error = "unknown error";
    }
    FWorker.Post([removed, error](const TCallbacks& c) {
        if (c.OnEnd) c.OnEnd(removed, error);
    });
}

}  // namespace kelvar
