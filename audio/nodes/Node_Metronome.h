#pragma once
// Mixes a short click sample into a deck's audio at a fixed interval, so that an operator can
// hear a beat grid over the music. The click is the "data" chunk of a RIFF file in the
// engine's default format, "metronome.dta" in the program folder.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/graph/Buffer.h"
#include "audio/graph/Pins.h"

namespace kelvar {

class TNode_Metronome : public TNode {
public:
    // ClickFile: the program folder's "metronome.dta" when empty.
    explicit TNode_Metronome(std::string ClickFile = {});
    ~TNode_Metronome() override;

    // Runs on the output thread: never reads the file itself (see LoadClick).
    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;

    // Switching on loads the click when needed; the first click starts Offset ms of audio later.
    void SetEnabled(bool Value);
    void SetOffset(int32_t Ms);
    void SetInterval(int32_t Ms);
    bool GetEnabled();

    // Reads the click file once, when no click is loaded and the file exists. The file is read
    // without the node's lock, so the output thread never waits for the disk. Answers whether
    // a click is loaded.
    bool LoadClick();
    // The loaded click's size in bytes; 0 without a click.
    int GetClickSize();

private:
    // Retries of a missing file are handed to the main thread, at most once per this much audio.
    static constexpr int32_t kRetryMs = 2000;

    struct TLoaderLink {
        std::mutex Lock;
        TNode_Metronome* Node = nullptr;
    };

    void RequestRetry(int Length);

    const std::string FClickFile;
    bool FEnabled = false;
    int32_t FOffset = 0;
    int32_t FInterval = 1000;
    IChunkPtr FClick;
    int32_t FPhase = 0;
    bool FFirstPending = false;  // the first click after the offset has not started yet
    bool FFileMissing = true;    // only a missing file is tried again by itself
    int64_t FSinceRetry = -1;    // audio bytes since the last retry; -1: none asked yet
    std::shared_ptr<TLoaderLink> FLoader;
};

}  // namespace kelvar
