#include "media/WAVTag.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "foundation/MiscFunc.h"
#include "media/WaveLength.h"

namespace kelvar {

namespace {

constexpr int64_t MaxFormatChunk = 32768;

uint32_t LE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t LE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

void TWAVTag::Reset() {
    FValid = false;
    FFormatTag = 0;
    FChannels = 0;
    FSampleRate = 0;
    FBytesPerSecond = 0;
    FBlockAlign = 0;
    FBitsPerSample = 0;
    FSampleCount = 0;
    FDataOffset = 0;
    FFileSize = 0;
    FDataSize = 0;
    FFactSamples = 0;
    FHead.clear();
}

bool TWAVTag::ReadFromFile(const std::string& fileName) {
    Reset();
    std::ifstream file(fileName, std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    const int64_t fileSize = static_cast<int64_t>(file.tellg());
    if (fileSize < 0) return false;
    FFileSize = fileSize;
    file.seekg(0);

    uint8_t riff[12] = {};
    uint8_t format[16] = {};
    char fmtId[4] = {'-', 'N', 'A', '-'};
    char dataId[4] = {'-', 'N', 'A', '-'};
    int64_t dataSize = -1;
    int64_t dataOffset = 0;

    bool ok = true;
    if (!file.read(reinterpret_cast<char*>(riff), 12)) {
        ok = false;
    } else {
        int64_t position = 12;
        while (position < fileSize) {
            // A pad byte or stray tail shorter than a chunk header ends the walk, not the file.
            if (fileSize - position < 8) break;
            uint8_t header[8];
            file.seekg(position);
            if (!file.read(reinterpret_cast<char*>(header), 8)) {
                ok = false;
                break;
            }
            position += 8;
            const int64_t size = static_cast<int32_t>(LE32(header + 4));
            const std::string id(reinterpret_cast<const char*>(header), 4);
            if (id == "fmt ") {
                std::memcpy(fmtId, header, 4);
                const int64_t length = size < 1 ? 16 : size;
                if (length > MaxFormatChunk) {
                    ok = false;  // "Buffer limit exceeded"
                    break;
                }
                std::vector<uint8_t> body(static_cast<size_t>(length), 0);
                if (!file.read(reinterpret_cast<char*>(body.data()), length)) {
                    ok = false;
                    break;
                }
                std::memcpy(format, body.data(), static_cast<size_t>(std::min<int64_t>(16, length)));
                position += length;
                continue;
            }
            if (id == "fact" && size >= 4) {
                uint8_t count[4];
                if (file.read(reinterpret_cast<char*>(count), 4)) FFactSamples = LE32(count);
                file.clear();
            } else if (id == "data") {
                std::memcpy(dataId, header, 4);
                dataSize = size;
                dataOffset = position;
            } else if (OnLog) {
                OnLog(*this, "Unknown chunk: " + TrimText(id) + " (Size: " + std::to_string(size) + ")");
            }
            // A size that is negative as a signed number would move backwards: the walk ends.
            if (size < 0) break;
            position += size;
        }
    }
    if (!ok) return false;

    if (std::memcmp(riff, "RIFF", 4) == 0 && std::memcmp(riff + 8, "WAVE", 4) == 0 &&
        std::memcmp(fmtId, "fmt ", 4) == 0 && std::memcmp(dataId, "data", 4) == 0 && dataSize > 0) {
        FValid = true;
        if (dataOffset > fileSize) dataOffset = fileSize;
        if (dataSize > fileSize - dataOffset) dataSize = fileSize - dataOffset;
        FDataOffset = dataOffset;
        FFormatTag = LE16(format);
        FChannels = static_cast<uint8_t>(LE16(format + 2));
        FSampleRate = LE32(format + 4);
        FBytesPerSecond = LE32(format + 8);
        FBlockAlign = LE16(format + 12);
        FBitsPerSample = static_cast<uint8_t>(LE16(format + 14));
        FSampleCount = FBlockAlign ? static_cast<uint32_t>(dataSize / FBlockAlign) : 0;
        FDataSize = dataSize;
        FHead.assign(static_cast<size_t>(std::min<int64_t>(dataSize, 64)), 0);
        file.clear();
        file.seekg(dataOffset);
        if (!file.read(reinterpret_cast<char*>(FHead.data()), static_cast<std::streamsize>(FHead.size())))
            FHead.clear();
    }
    return true;
}

double TWAVTag::GetDuration() const {
    if (!FValid) return 0;
    if (FFormatTag == 1) return FSampleRate ? double(FSampleCount) / FSampleRate : 0;
    // The data chunk's own size: chunks after it (tags, lists) are not audio.
    const double seconds = CompressedWaveSeconds(FFormatTag, FSampleRate, FBytesPerSecond, FDataSize, FFactSamples,
                                                 FHead.data(), static_cast<int32_t>(FHead.size()));
    if (seconds > 0) return seconds;
    if (FSampleCount > 0 && FSampleRate > 0) return double(FSampleCount) / FSampleRate;
    return 0;
}

}  // namespace kelvar
