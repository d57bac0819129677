#include "platform/cdio/AKRIP_API.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "foundation/Errors.h"

namespace kelvar {

namespace {

constexpr double BytesPerMs = 176.4;

}  // namespace

TCDRipper::TCDRipper(ICDInfoPtr info) : FInfo(std::move(info)) {
    FHandle = FInfo->GetHandle();
    bool read = false;
    {
        std::lock_guard<std::mutex> guard(FInfo->GetReadLock());
        read = platform::ReadTOC(FHandle, FTOC);
    }
    if (!read) {
        FInfo->ReleaseHandle();
        FHandle = nullptr;
        throw EMediaError("AKRip: Unable to read Table of Contents (TOC)");
    }
}

TCDRipper::~TCDRipper() {
    RipStop();
    try {
        if (FHandle != nullptr) FInfo->ReleaseHandle();
    } catch (const std::exception&) {
        // Nothing to do about a handle that won't close while the ripper goes.
    }
}

void TCDRipper::CheckTrackIndex(int trackIndex) const {
    // The entry after the track gives its end, so the lead-out entry is no track.
    if (trackIndex < 0 || static_cast<size_t>(trackIndex) + 1 >= FTOC.Entries.size())
        throw EMediaError("CDRip: Invalid Tracknumber in filename");
}

void TCDRipper::RipStartFile(const std::string& name) {
    const auto slash = name.find_last_of("/\\:");
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    if (file.size() < 7 || !std::isdigit(static_cast<unsigned char>(file[5])) ||
        !std::isdigit(static_cast<unsigned char>(file[6])))
        throw EMediaError("CDRip: Invalid Tracknumber in filename");
    const int number = (file[5] - '0') * 10 + (file[6] - '0');
    CheckTrackIndex(number - 1);
    if (!FTOC.Entries[static_cast<size_t>(number - 1)].Audio)
        throw EMediaError("CDRip: Track " + std::to_string(number) + " is no audio track");
    RipStart(number - 1, 0);
}

void TCDRipper::RipStart(int trackIndex, int64_t byteOffset) {
    RipStop();
    CheckTrackIndex(trackIndex);
    FDone = false;
    FBuffer.MaxLen = ChunkFrames * platform::CDFrameBytes;
    FBuffer.StartOffset = 0;
    FBuffer.Data.assign(static_cast<size_t>(FBuffer.MaxLen), 0);
    FTrackIndex = trackIndex;
    FFirstFrame = FTOC.Entries[static_cast<size_t>(trackIndex)].StartFrame;
    // The frame just before the next track stays unplayed.
    FEndFrame = FTOC.Entries[static_cast<size_t>(trackIndex) + 1].StartFrame - 1;
    FFrameCount = std::max(0, FEndFrame - FFirstFrame);
    const int64_t frames = std::llround(static_cast<double>(std::max<int64_t>(byteOffset, 0)) / platform::CDFrameBytes);
    FNextFrame = static_cast<int32_t>(std::min<int64_t>(FFirstFrame + frames, std::max(FFirstFrame, FEndFrame)));
    FStarted = true;
}

bool TCDRipper::RipNextChunk() {
    if (!FStarted) throw EMediaError("AKRip: RipStart needs to be called before RipNextChunk");
    if (FNextFrame >= FEndFrame) {
        FDone = true;
        return false;
    }
    const int32_t frames = std::min<int32_t>(ChunkFrames, FEndFrame - FNextFrame);
    FBuffer.StartFrame = FNextFrame;
    FBuffer.NumFrames = frames;
    bool read = false;
    for (int attempt = 0; attempt < ReadTries && !read; ++attempt) {
        std::lock_guard<std::mutex> guard(FInfo->GetReadLock());
        read = platform::ReadCDAudioLBA(FHandle, FBuffer);
    }
    FNextFrame += frames;
    if (!read) {
        FDone = true;
        throw EMediaError("AKRip: Could not read frames after 3 retries");
    }
    if (OnData) OnData(FBuffer.Data.data() + FBuffer.StartOffset, FBuffer.Len);
    return true;
}

int64_t TCDRipper::GetTrackBytes() const {
    if (!FStarted) return -1;
    return static_cast<int64_t>(FFrameCount) * platform::CDFrameBytes;
}

int64_t TCDRipper::GetTrackMs() const {
    if (!FStarted) return -1;
    return std::llround(static_cast<double>(GetTrackBytes()) / BytesPerMs);
}

void TCDRipper::SeekBytes(int64_t bytes) { RipStart(FTrackIndex, bytes); }

int64_t TCDRipper::SeekMs(int64_t ms) {
    const int64_t trackMs = GetTrackMs();
    const int64_t trackBytes = GetTrackBytes();
    int64_t bytes = 0;
    // A track too short to last a millisecond has nowhere to seek to.
    if (trackMs > 0)
        bytes = std::llround(static_cast<double>(ms) / static_cast<double>(trackMs) * static_cast<double>(trackBytes));
    SeekBytes(std::clamp<int64_t>(bytes, 0, std::max<int64_t>(trackBytes, 0)));
    return ms;
}

void TCDRipper::RipStop() {
    FStarted = false;
    FBuffer.Data.clear();
    FBuffer.Data.shrink_to_fit();
}

}  // namespace kelvar
