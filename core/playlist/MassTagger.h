#pragma once
// Copies tags between the library and the music files on a thread of its own: "load" reads
// every plain, existing file's tags into its song row, "save" writes every such row's values
// into its file. The rows are read one at a time on a connection of that thread, and loaded tags
// go into the rows in batches of one write run, each batch committed as soon as it is written. The start, the progress with the lines for the
// tag log, and the end reach the main thread through the dispatcher; none of them comes once the
// tagger is destroyed, and the destructor cancels the thread and waits for it to leave.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/playlist/LibraryWorker.h"

namespace kelvar {

class TLibraryWriter;

class TMassTagger {
public:
    enum class TDirection { Load, Save };

    struct TCounts {
        int Tagged = 0;   // rows whose tags were loaded or saved
        int Failed = 0;   // plain, existing files the tags could not be read from or written to
        int Skipped = 0;  // addresses, CD tracks and files that are gone
    };

    // All three run on the main thread. Total: the library's rows; Done: rows walked so far,
    // File the last of them; LogLines: "Failed: <file>" and "Skipped: <file>" of the rows
    // walked since the last report, in order (the last report comes before the end). Error is
    // empty when the walk ended without one (cancelled too).
    struct TCallbacks {
        std::function<void(int Total)> OnStart;
        std::function<void(int Done, const std::string& File, const std::vector<std::string>& LogLines)> OnProgress;
        std::function<void(const TCounts& Counts, const std::string& Error)> OnEnd;
    };

    TMassTagger(TDirection Direction, TCallbacks Callbacks) : FDirection(Direction), FWorker(std::move(Callbacks)) {}

    void Start();
    // Any thread: the walk stops after the row it is on; the end is still reported.
    void Cancel() { FWorker.Cancel(); }

    // Rows between two progress reports at least, unless rows come slowly.
    static constexpr int ReportEvery = 50;
    // Rows whose loaded tags are written and committed together at most. The tags of a batch are
    // read first, so no row stays changed and uncommitted while files are read: a reader of such
    // a row would wait for the commit.
    static constexpr size_t WriteEvery = 100;

private:
    struct TProgress;
    void Run();
    void Walk(TCounts& Counts, TProgress& Progress);
    struct TPendingTags;
    // Writes the batch's tags into their rows and commits them.
    static void WriteBatch(TLibraryWriter& Writer, std::vector<TPendingTags>& Batch, TCounts& Counts,
                           TProgress& Progress);
    // Hands the progress and the log lines gathered since the last report to the main thread.
    void Report(TProgress& Progress);

    const TDirection FDirection;
    // Last: destroyed first, so the walk has ended before the rest goes.
    TLibraryWorker<TCallbacks> FWorker;
};

}  // namespace kelvar
