#pragma once
// Reads one CD track's raw audio frames in chunks of 23 frames through a drive's shared handle.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/cdio/DriveManager.h"
#include "platform/cdio/akrip32.h"

namespace kelvar {

class TCDRipper {
public:
    static constexpr int ChunkFrames = 23;
    static constexpr int ReadTries = 3;

    using TOnData = std::function<void(const uint8_t* buffer, int bytes)>;

    // Takes the drive's handle and reads the table of contents; raises
    // "AKRip: Unable to read Table of Contents (TOC)".
    explicit TCDRipper(ICDInfoPtr info);
    ~TCDRipper();
    TCDRipper(const TCDRipper&) = delete;
    TCDRipper& operator=(const TCDRipper&) = delete;

    // "Track05.cda" starts track index 4; raises "CDRip: Invalid Tracknumber in filename" for a
    // name without a track number or one the disc doesn't hold, and refuses data tracks.
    void RipStartFile(const std::string& name);
    void RipStart(int trackIndex, int64_t byteOffset);
    // False once the track's end is reached; raises after 3 failed reads.
    bool RipNextChunk();
    void SeekBytes(int64_t bytes);
    int64_t SeekMs(int64_t ms);
    void RipStop();
    int64_t GetTrackBytes() const;  // -1 before RipStart
    int64_t GetTrackMs() const;     // -1 before RipStart

    bool IsDone() const { return FDone; }
    int GetTrackIndex() const { return FTrackIndex; }
    int32_t GetFirstFrame() const { return FFirstFrame; }
    int32_t GetEndFrame() const { return FEndFrame; }
    int32_t GetNextFrame() const { return FNextFrame; }
    const platform::TTOC& GetTOC() const { return FTOC; }

    TOnData OnData;

private:
    void CheckTrackIndex(int trackIndex) const;

    ICDInfoPtr FInfo;
    platform::TCDHandle FHandle = nullptr;
    platform::TTOC FTOC;
    int FTrackIndex = 0;
    int32_t FFirstFrame = 0;
    int32_t FEndFrame = 0;  // exclusive
    int32_t FFrameCount = 0;
    int32_t FNextFrame = 0;
    platform::TTrackBuffer FBuffer;
    bool FStarted = false;
    bool FDone = false;
};

}  // namespace kelvar
