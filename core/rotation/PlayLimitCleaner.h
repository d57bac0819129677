#pragma once
// Finds and deletes the songs whose play limit is reached, on a thread of its own, so that the
// main thread never waits for the database or for the disk: "remove" deletes the song with its
// list rows, "erase" deletes its file first and the song only once the file is gone (a file that
// can't be deleted keeps its song until a later pass). A pass deletes the files first, then the
// songs through one write run; the next pass starts only after it, so no song is read as due
// while a pass still holds it.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kelvar {

class TPlayLimitCleaner {
public:
    TPlayLimitCleaner() = default;
    // Stops the pass after the song it is on and waits for it.
    ~TPlayLimitCleaner();
    TPlayLimitCleaner(const TPlayLimitCleaner&) = delete;
    TPlayLimitCleaner& operator=(const TPlayLimitCleaner&) = delete;

    // Owner's thread. Starts a pass: it reads the songs due, then deletes them; false (nothing
    // started) while a pass still runs.
    bool Start();
    // A pass is still running.
    bool Running() const { return FRunning; }
    // Waits for the running pass to end.
    void Wait();
    // The error that ended the last finished pass, once; empty when none.
    std::string TakeError();
    // True, once, when the last finished pass left no song due: it found none, or deleted all it
    // found. Songs that reached their limit during the pass are not counted.
    bool TakeNothingLeft();

private:
    struct TDueSong {
        int32_t ID = 0;
        bool Erase = false;  // else only removed from the library
        std::string FileName;
    };

    std::vector<TDueSong> ReadDueSongs() const;
    void Run();
    void Join();

    std::atomic<bool> FRunning{false};
    std::atomic<bool> FCancelled{false};
    std::atomic<bool> FNothingLeft{false};
    std::mutex FErrorLock;
    std::string FError;
    // Songs whose file could not be deleted, logged once each; only the pass's thread uses it,
    // and passes never overlap.
    std::set<int32_t> FUndeletable;
    std::thread FThread;
};

}  // namespace kelvar
