#include "media/tags/MPEGaudioEx.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "media/tags/MPEGFrameCount.h"

namespace kelvar {

namespace {

constexpr int kBlockSize = 3458;

// [MPEG-1 / MPEG-2 and 2.5][layer I, II, III][index]
constexpr int kBitRates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

uint32_t BigEndian(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

TMPEGFrame DecodeHeader(const uint8_t* h) {
    TMPEGFrame f;
    std::memcpy(f.Data, h, 4);
    f.VersionID = (h[1] >> 3) & 3;
    f.LayerID = (h[1] >> 1) & 3;
    f.ProtectionBit = (h[1] & 1) != 1;
    f.BitRateID = h[2] >> 4;
    f.SampleRateID = (h[2] >> 2) & 3;
    f.PaddingBit = (h[2] >> 1) & 1;
    f.PrivateBit = h[2] & 1;
    f.ModeID = h[3] >> 6;
    f.ModeExtensionID = (h[3] >> 4) & 3;
    f.CopyrightBit = (h[3] >> 3) & 1;
    f.OriginalBit = (h[3] >> 2) & 1;
    f.EmphasisID = h[3] & 3;
    return f;
}

int VBRHeaderOffset(const TMPEGFrame& f) {
    const bool mono = f.ModeID == 3;
    if (f.VersionID == 3) return mono ? 21 : 36;
    return mono ? 13 : 21;
}

}  // namespace

bool IsFrameHeader(const uint8_t* h) {
    return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && ((h[1] >> 3) & 3) != 1 && ((h[1] >> 1) & 3) != 0 &&
           (h[2] >> 4) != 0 && (h[2] >> 4) != 15 && ((h[2] >> 2) & 3) != 3 && (h[3] & 3) != 2;
}

int GetSampleRate(const TMPEGFrame& f) {
    static constexpr int kRates[3] = {44100, 48000, 32000};
    if (f.SampleRateID > 2) return 0;
    const int rate = kRates[f.SampleRateID];
    switch (f.VersionID) {
        case 3: return rate;
        case 2: return rate / 2;
        case 0: return rate / 4;
        default: return 0;
    }
}

int GetTableBitRate(const TMPEGFrame& f) {
    if (f.LayerID == 0 || f.LayerID > 3 || f.VersionID == 1 || f.BitRateID > 15) return 0;
    return kBitRates[f.VersionID == 3 ? 0 : 1][3 - f.LayerID][f.BitRateID];
}

int GetCoefficient(const TMPEGFrame& f) {
    if (f.LayerID == 3) return 48;
    if (f.LayerID == 1 && f.VersionID != 3) return 72;
    return 144;
}

int GetPadding(const TMPEGFrame& f) {
    if (!f.PaddingBit) return 0;
    return f.LayerID == 3 ? 4 : 1;
}

int GetFrameLength(const TMPEGFrame& f) {
    const int rate = GetSampleRate(f);
    if (rate == 0) return 0;
    return static_cast<int>(int64_t(GetCoefficient(f)) * GetTableBitRate(f) * 1000 / rate) + GetPadding(f);
}

void TMPEGaudioEx::Reset() {
    FFileLength = 0;
    FAudioStart = 0;
    FCountedFrames = 0;
    FCountedSeconds = 0;
    FCountedBytes = 0;
    FVBR = TVBRData{};
    FFrame = TMPEGFrame{};
    FID3v1.Reset();
    FID3v2.Clear();
    FID3v2.TagSize = 0;
}

int64_t TMPEGaudioEx::AudioEnd() const { return FFileLength - (FID3v1.Exists() ? 128 : 0); }

// Without a length header the first frame's bit rate only holds for a constant bit rate: when the
// frames at the start or in the middle vary, every frame is counted.
void TMPEGaudioEx::CountIfVariable(const TReadAt& readAt) {
    constexpr int kProbeFrames = 24;
    const int64_t end = AudioEnd();
    bool varies = CountMPEGFrames(readAt, FAudioStart, end, kProbeFrames).BitRateVaries;
    const int64_t middle = FAudioStart + (end - FAudioStart) / 2;
    if (!varies && middle - FAudioStart > kProbeBytes)
        varies = CountMPEGFrames(readAt, middle, end, kProbeFrames).BitRateVaries;
    if (!varies) return;
    const TMPEGFrameCount count = CountMPEGFrames(readAt, FAudioStart, end);
    if (count.Frames > 0 && count.SampleRate > 0) {
        FCountedFrames = count.Frames;
        FCountedSeconds = double(count.Samples) / count.SampleRate;
        FCountedBytes = end - count.FirstFrame;
    }
}

// Zero bytes between the tag and the first frame are padding, not audio.
int64_t TMPEGaudioEx::SkipZeros(const TReadAt& readAt, int64_t from, int64_t end) {
    uint8_t block[4096];
    while (from < end) {
        const int64_t got = readAt(from, block, std::min<int64_t>(sizeof block, end - from));
        if (got <= 0) break;
        const uint8_t* nonZero = std::find_if(block, block + got, [](uint8_t b) { return b != 0; });
        if (nonZero != block + got) return from + (nonZero - block);
        from += got;
    }
    return from;
}

void TMPEGaudioEx::FindFrame(const uint8_t* block, int length) {
    FFrame = TMPEGFrame{};
    FVBR = TVBRData{};
    for (int p = 0; p + 8 <= length; ++p) {
        if (!IsFrameHeader(block + p)) continue;
        TMPEGFrame f = DecodeHeader(block + p);
        const int size = GetFrameLength(f);
        if (size <= 0) continue;
        if (int64_t(p) + size + 4 <= length && IsFrameHeader(block + p + size)) {
            f.Found = true;
            f.Position = p;
            f.Size = size;
            FFrame = f;
            break;
        }
    }
    if (!FFrame.Found) return;
    const int64_t o = int64_t(FFrame.Position) + VBRHeaderOffset(FFrame);
    if (o + 16 <= length && std::memcmp(block + o, "Xing", 4) == 0) {
        FVBR.Found = true;
        FVBR.ID = "Xing";
        FVBR.Frames = BigEndian(block + o + 8);
        FVBR.Bytes = BigEndian(block + o + 12);
    } else if (o + 18 <= length && std::memcmp(block + o, "VBRI", 4) == 0) {
        FVBR.Found = true;
        FVBR.ID = "VBRI";
        FVBR.Bytes = BigEndian(block + o + 10);
        FVBR.Frames = BigEndian(block + o + 14);
    }
}

bool TMPEGaudioEx::ReadFromFile(const std::string& fileName) {
    Reset();
    bool result = FID3v2.LoadFromFile(fileName);
    if (result) result = FID3v1.ReadFromFile(fileName);
    if (result) {
        try {
            std::ifstream in(fileName, std::ios::binary);
            if (!in) throw std::runtime_error("open");
            in.seekg(0, std::ios::end);
            FFileLength = in.tellg();
            // Some files carry a second tag right behind the first: it is not audio.
            int64_t tagSize = FID3v2.TagSize;
            for (;;) {
                uint8_t h[10];
                in.seekg(tagSize);
                if (!in.read(reinterpret_cast<char*>(h), 10) || std::memcmp(h, "ID3", 3) != 0) break;
                TID3v2Header header;
                std::memcpy(header.Bytes.data(), h, 10);
                header.FileSize = FFileLength - tagSize;
                const int64_t next = GetTagSize(header);
                if (next <= 0) break;
                tagSize += next;
            }
            in.clear();
            const TReadAt readAt = [&in](int64_t offset, uint8_t* buffer, int64_t count) -> int64_t {
                in.clear();
                in.seekg(offset);
                in.read(reinterpret_cast<char*>(buffer), count);
                return in.gcount();
            };
            FAudioStart = SkipZeros(readAt, tagSize, FFileLength);
            uint8_t block[kBlockSize];
            in.clear();
            in.seekg(FAudioStart);
            in.read(reinterpret_cast<char*>(block), kBlockSize);
            int got = static_cast<int>(in.gcount());
            FindFrame(block, got);
            if (!FFrame.Found && got == kBlockSize) {
                in.clear();
                in.seekg((FFileLength - tagSize) / 2);
                in.read(reinterpret_cast<char*>(block), kBlockSize);
                got = static_cast<int>(in.gcount());
                FindFrame(block, got);
            }
            if (FFrame.Found && !FVBR.Found) CountIfVariable(readAt);
            result = true;
        } catch (const std::exception&) {
            result = false;
        }
    }
    if (!FFrame.Found) {
        const int64_t length = FFileLength;
        Reset();
        FFileLength = length;
    }
    return result;
}

int TMPEGaudioEx::GetBitRate() const {
    if (FCountedFrames > 0 && FCountedSeconds > 0)
        return static_cast<int>(std::lround(double(FCountedBytes) * 8 / FCountedSeconds / 1000.0));
    if (FVBR.Found && FVBR.Frames > 0) {
        const double perFrame = double(FVBR.Bytes) / FVBR.Frames - GetPadding(FFrame);
        return static_cast<int>(std::lround(perFrame * GetSampleRate(FFrame) / GetCoefficient(FFrame) / 1000.0));
    }
    return GetTableBitRate(FFrame);
}

double TMPEGaudioEx::GetDuration() const {
    if (!FFrame.Found) return 0;
    if (FCountedFrames > 0) return FCountedSeconds;
    const int rate = GetSampleRate(FFrame);
    if (FVBR.Found && FVBR.Frames > 0) {
        if (rate == 0) return 0;
        return double(FVBR.Frames) * GetCoefficient(FFrame) * 8 / rate;
    }
    const int bitRate = GetTableBitRate(FFrame);
    if (bitRate == 0) return 0;
    const int64_t audio = AudioEnd() - FAudioStart - FFrame.Position;
    return double(audio) * 8 / bitRate / 1000;
}

bool TMPEGaudioEx::IsValid() const {
    if (!FFrame.Found) return false;
    const int bitRate = GetBitRate();
    return bitRate >= 8 && bitRate <= 448 && GetDuration() >= 0.1;
}

}  // namespace kelvar
