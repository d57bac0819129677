#pragma once
// Counts the MPEG audio frames of a stream in large reads, for files whose length no header
// gives (variable bit rate without a Xing, Info or VBRI frame). Zero bytes and garbage between
// frames are skipped; a frame counts only when the next one (or the end) follows it.
#include <cstdint>
#include <functional>

namespace kelvar {

struct TMPEGFrameCount {
    int64_t Frames = 0;
    int64_t Samples = 0;      // per channel
    int SampleRate = 0;       // of the first frame counted
    int64_t FirstFrame = -1;  // offset of the first frame counted
    bool BitRateVaries = false;
    int64_t Reads = 0;  // read calls made
};

// Reads up to Count bytes at Offset into Buffer; answers the bytes read, 0 at the end, < 0 on error.
using TReadAt = std::function<int64_t(int64_t Offset, uint8_t* Buffer, int64_t Count)>;

// Counts the frames between Start and End (exclusive). MaxFrames > 0 stops after that many.
TMPEGFrameCount CountMPEGFrames(const TReadAt& ReadAt, int64_t Start, int64_t End, int64_t MaxFrames = 0);

// Samples per channel in one frame of this header (0 when it is no valid header).
int SamplesPerFrame(const uint8_t* header);

}  // namespace kelvar
