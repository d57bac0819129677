#include "encoder/SbrConfig.h"

namespace brannoc {

namespace {

struct TuningRow {
    int channels, coreRate, minBitrate, maxBitrate;
    int start, stop, noiseBands, noiseLevel, noiseOffset, stereoMode, frequencyScale;
};

constexpr TuningRow kTuning[] = {
    {1, 16000, 18000, 24000, 4, 12, 2, 0, 6, 0, 3},  {1, 16000, 24000, 32000, 5, 12, 2, 0, 6, 0, 2},
    {1, 16000, 32000, 40000, 8, 13, 2, 0, 6, 0, 2},  {1, 16000, 40000, 56001, 10, 13, 2, 0, 6, 0, 2},
    {1, 22050, 32000, 40000, 6, 9, 2, 0, 6, 0, 2},   {1, 22050, 40000, 48000, 8, 9, 2, 0, 6, 0, 2},
    {1, 22050, 48000, 56001, 10, 9, 2, 0, 6, 0, 2},  {1, 24000, 32000, 40000, 6, 9, 2, 0, 6, 0, 2},
    {1, 24000, 40000, 48000, 8, 9, 2, 0, 6, 0, 2},   {1, 24000, 48000, 56001, 10, 9, 2, 0, 6, 0, 2},
    {2, 16000, 32000, 40000, 4, 12, 2, 12, 6, 3, 2}, {2, 16000, 40000, 48000, 6, 13, 2, 0, 6, 3, 2},
    {2, 16000, 48000, 56000, 9, 13, 2, 0, 6, 3, 2},  {2, 16000, 56000, 96001, 10, 13, 2, 0, 6, 3, 2},
    {2, 22050, 40000, 48000, 4, 9, 2, 0, 6, 3, 2},   {2, 22050, 48000, 56000, 7, 9, 2, 0, 6, 3, 2},
    {2, 22050, 56000, 64000, 8, 9, 2, 0, 6, 3, 2},   {2, 22050, 64000, 80000, 10, 9, 2, 0, 6, 3, 2},
    {2, 22050, 80000, 96000, 11, 12, 2, 0, 6, 1, 2}, {2, 22050, 96000, 96001, 11, 13, 2, 0, 6, 1, 2},
    {2, 24000, 40000, 48000, 4, 9, 2, 0, 6, 3, 2},   {2, 24000, 48000, 56000, 7, 9, 2, 0, 6, 3, 2},
    {2, 24000, 56000, 64000, 8, 9, 2, 0, 6, 3, 2},   {2, 24000, 64000, 80000, 10, 9, 2, 0, 6, 3, 2},
    {2, 24000, 80000, 96000, 11, 11, 2, 0, 6, 1, 2}, {2, 24000, 96000, 96001, 12, 13, 2, 0, 6, 1, 2},
};

const TuningRow* FindRow(int kind, int bitrate, int channels, int coreRate) {
    if (kind != 2) return nullptr;
    for (const TuningRow& row : kTuning)
        if (row.channels == channels && row.coreRate == coreRate && row.minBitrate <= bitrate &&
            bitrate < row.maxBitrate)
            return &row;
    return nullptr;
}

}  // namespace

bool SbrConfigInit(SbrConfig& config, int kind, float ratio, int coreFrame) {
    if (kind != 2) return false;
    config = SbrConfig{};
    config.kind = kind;
    config.frameLength = static_cast<int>(static_cast<float>(coreFrame) * ratio);
    return true;
}

bool SbrConfigure(SbrConfig& config, int bitrate, int channels, int coreRate, int vbrQuality) {
    if (config.kind == 99) return false;
    config.bitrate = bitrate;
    config.channels = channels;
    config.coreRate = coreRate;
    config.transientReferenceBitrate = 32000;
    if (vbrQuality > 0) {
        const int q = vbrQuality;
        const int perChannel = q < 30 ? 24000 : q < 40 ? 28000 : q < 60 ? 32000 : q < 75 ? 40000 : 48000;
        config.bitrate = perChannel * channels;
        const int sbrRate = coreRate <= 24000 ? 2 * coreRate : coreRate;
        if (channels == 1 && (sbrRate == 44100 || sbrRate == 48000) && q < 40) config.bitrate = 32000;
    }
    const TuningRow* row = FindRow(config.kind, config.bitrate, channels, coreRate);
    if (row == nullptr) return false;
    config.startIndex = row->start;
    config.stopIndex = row->stop;
    config.noiseBands = row->noiseBands;
    for (int& level : config.noiseLevels) level = row->noiseLevel;
    config.noiseFloorOffset = row->noiseOffset;
    config.stereoMode = row->stereoMode;
    config.frequencyScale = row->frequencyScale;
    if ((channels == 1 && config.bitrate < 20000) || (channels == 2 && config.bitrate < 28000))
        config.fixfixFrequencyResolution = 0;
    return true;
}

bool SbrIsSupported(int kind, int bitrate, int channels, int rate, int& coreRate) {
    if (rate < 32000) return false;
    if (FindRow(kind, bitrate, channels, rate / 2) != nullptr) {
        coreRate = rate / 2;
        return true;
    }
    if (rate > 44100 && FindRow(kind, bitrate, channels, 22050) != nullptr) {
        coreRate = 22050;
        return true;
    }
    if (rate > 32000 && FindRow(kind, bitrate, channels, 16000) != nullptr) {
        coreRate = 16000;
        return true;
    }
    return false;
}

}  // namespace brannoc
