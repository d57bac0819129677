#include "media/tags/MPEGFrameCount.h"

#include <algorithm>
#include <vector>

#include "media/tags/MPEGaudioEx.h"

namespace kelvar {

namespace {

constexpr int64_t kFirstBlockBytes = 16 << 10;  // a probe of a few frames reads little
constexpr int64_t kBlockBytes = 1 << 20;
constexpr int64_t kMaxFrameBytes = 2900;  // Layer II at 384 kbit/s, 32 kHz, padded: 1441; Layer I less

TMPEGFrame HeaderAt(const uint8_t* h) {
    TMPEGFrame f;
    f.VersionID = (h[1] >> 3) & 3;
    f.LayerID = (h[1] >> 1) & 3;
    f.BitRateID = h[2] >> 4;
    f.SampleRateID = (h[2] >> 2) & 3;
    f.PaddingBit = (h[2] >> 1) & 1;
    return f;
}

// Same stream: version, layer and sample rate stay from frame to frame.
bool SameStream(const uint8_t* a, const uint8_t* b) {
    return (a[1] & 0xFE) == (b[1] & 0xFE) && (a[2] & 0x0C) == (b[2] & 0x0C);
}

}  // namespace

int SamplesPerFrame(const uint8_t* h) {
    if (!IsFrameHeader(h)) return 0;
    const TMPEGFrame f = HeaderAt(h);
    if (f.LayerID == 3) return 384;
    if (f.LayerID == 1 && f.VersionID != 3) return 576;
    return 1152;
}

TMPEGFrameCount CountMPEGFrames(const TReadAt& ReadAt, int64_t Start, int64_t End, int64_t MaxFrames) {
    TMPEGFrameCount count;
    std::vector<uint8_t> buffer;
    int64_t block = kFirstBlockBytes;
    int64_t bufferStart = Start;  // file offset of buffer[0]
    bool atEnd = false;
    uint8_t first[4] = {0, 0, 0, 0};
    int firstBitRate = -1;
    // Keeps at least Need bytes from Pos in the buffer, reading a large block when short.
    auto ensure = [&](int64_t pos, int64_t need) {
        const int64_t have = bufferStart + int64_t(buffer.size()) - pos;
        if (have >= need || atEnd) return;
        buffer.erase(buffer.begin(), buffer.begin() + (pos - bufferStart));
        bufferStart = pos;
        const int64_t want = std::min(block, End - (bufferStart + int64_t(buffer.size())));
        block = std::min(block * 4, kBlockBytes);
        if (want <= 0) {
            atEnd = true;
            return;
        }
        const size_t old = buffer.size();
        buffer.resize(old + size_t(want));
        const int64_t got = ReadAt(bufferStart + int64_t(old), buffer.data() + old, want);
        ++count.Reads;
        buffer.resize(old + size_t(std::max<int64_t>(got, 0)));
        if (got < want) atEnd = true;
    };
    int64_t pos = Start;
    int64_t expected = -1;  // where the frame after the last counted one starts
    while (pos < End && (MaxFrames <= 0 || count.Frames < MaxFrames)) {
        ensure(pos, kMaxFrameBytes + 4);
        const int64_t avail = bufferStart + int64_t(buffer.size()) - pos;
        if (avail < 4) break;
        const uint8_t* h = buffer.data() + (pos - bufferStart);
        if (h[0] != 0xFF || !IsFrameHeader(h) || (count.Frames > 0 && !SameStream(first, h))) {
            // Skip to the next possible sync byte.
            const uint8_t* end = buffer.data() + buffer.size();
            const uint8_t* next = std::find(h + 1, end, uint8_t(0xFF));
            pos += next - h;
            continue;
        }
        const TMPEGFrame f = HeaderAt(h);
        const int64_t size = GetFrameLength(f);
        // A frame counts when the previous one led to it, when the next one follows it, or when
        // it ends the stream; anything else may be a sync pattern inside other data.
        const int64_t bufferEnd = bufferStart + int64_t(buffer.size());
        const bool chained = pos == expected;
        const bool followed =
            size > 0 && pos + size + 4 <= bufferEnd && IsFrameHeader(h + size) && SameStream(h, h + size);
        const bool lastInStream = size > 0 && pos + size == End;
        if (size <= 0 || pos + size > End || !(chained || followed || lastInStream)) {
            ++pos;
            continue;
        }
        if (count.Frames == 0) {
            std::copy(h, h + 4, first);
            count.FirstFrame = pos;
            count.SampleRate = GetSampleRate(f);
        }
        const int bitRate = f.BitRateID;
        if (firstBitRate < 0)
            firstBitRate = bitRate;
        else if (bitRate != firstBitRate)
            count.BitRateVaries = true;
        ++count.Frames;
        count.Samples += SamplesPerFrame(h);
        pos += size;
        expected = pos;
    }
    return count;
}

}  // namespace kelvar
