#pragma once
// Removes the songs whose files are gone, on a thread of its own: the library's rows are read on
// a connection of that thread, every plain file is looked up on the disk, and the songs whose
// files are known to be missing go in one write run. The start, the progress and the end reach
// the main thread through the dispatcher; none of them comes once the check is destroyed, and
// the destructor cancels the thread and waits for it to leave, so it never outlives its owner.
#include <functional>
#include <string>

#include "core/playlist/LibraryWorker.h"

namespace kelvar {

class TMissingSongCheck {
public:
    // All three run on the main thread. Total: the library's rows; Done: rows checked so far,
    // File the last of them; Error is empty when the check ended without one (cancelled too).
    struct TCallbacks {
        std::function<void(int Total)> OnStart;
        std::function<void(int Done, const std::string& File)> OnProgress;
        std::function<void(int Removed, const std::string& Error)> OnEnd;
    };

    explicit TMissingSongCheck(TCallbacks Callbacks) : FWorker(std::move(Callbacks)) {}

    void Start();
    // Any thread: the check stops after the row it is on; the end is still reported.
    void Cancel() { FWorker.Cancel(); }

    // Rows between two progress reports at least.
    static constexpr int ReportEvery = 50;

private:
    void Run();

    TLibraryWorker<TCallbacks> FWorker;
};

}  // namespace kelvar
