#pragma once
// Measures the tempo of a music file on a worker thread: the file is decoded with the decks'
// decoders and every PCM block goes to the effects object's beat detection. The counters the
// progress dialog reads are atomic; nothing the worker raises leaves it.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "foundation/AudioFormat.h"

namespace kelvar {

class TBPMDetect {
public:
    // Starts the worker at once.
    explicit TBPMDetect(std::string FileName);
    ~TBPMDetect();
    TBPMDetect(const TBPMDetect&) = delete;
    TBPMDetect& operator=(const TBPMDetect&) = delete;

    // Asks the worker to stop, waits for it and answers its estimate (0 when none). A stop half
    // way answers the estimate over the part decoded so far.
    double Finish();
    // Milliseconds of audio fed so far; -1 before the first block.
    int GetProgressMs() const;
    // The file's length in ms; -1 until it is open.
    int GetDuration() const { return FDuration.load(); }
    // The decoder reached the end of the file.
    bool IsDone() const { return FDone.load(); }
    // The worker has ended, for whatever reason.
    bool HasEnded() const { return FEnded.load(); }

private:
    void Execute();

    std::string FFileName;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FDone{false};
    std::atomic<bool> FEnded{false};
    std::atomic<int> FSize{-1};
    std::atomic<int> FDuration{-1};
    std::atomic<int> FBytesProcessed{-1};
    // Rate, channels and sample size of the first block, packed so they travel as one value.
    std::atomic<int64_t> FFormatKey{0};
    double FResult = 0;  // read only after the join
    std::thread FThread;
    bool FFinished = false;
};

}  // namespace kelvar
