#pragma once
// Removes the songs whose files are gone, on a thread of its own: the library's rows are read on
// a connection of that thread, every plain file is looked up on the disk, and the songs whose
// files are known to be missing go in one write run. The start, the progress and the end reach
// the main thread through the dispatcher; none of them comes once the check is destroyed, and
// the destructor cancels the thread and waits for it to leave, so it never outlives its owner.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

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

    explicit TMissingSongCheck(TCallbacks Callbacks);
    ~TMissingSongCheck();
    TMissingSongCheck(const TMissingSongCheck&) = delete;
    TMissingSongCheck& operator=(const TMissingSongCheck&) = delete;

    void Start();
    // Any thread: the check stops after the row it is on; the end is still reported.
    void Cancel() { FCancelled = true; }

    // Rows between two progress reports at least.
    static constexpr int ReportEvery = 50;

private:
    struct TShared;
    void Run();
    void Post(std::function<void(TShared&)> Call);

    std::shared_ptr<TShared> FShared;
    std::atomic<bool> FCancelled{false};
    std::thread FThread;
};

}  // namespace kelvar
