#include "encoder/StreamConfigs.h"

#include "encoder/SbrConfig.h"

#include <initializer_list>

namespace brannoc {

namespace {
const uint32_t kRates[9] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

struct Bracket {
    uint32_t from, minRate, preferred, maxRate;
};

const Bracket kOneChannel[] = {
    {8000, 8000, 8000, 11025},    {16000, 11025, 16000, 16000},  {24000, 11025, 16000, 24000},
    {32000, 16000, 22050, 24000}, {40000, 22050, 22050, 24000},  {48000, 22050, 32000, 44100},
    {64000, 32000, 44100, 48000}, {320000, 32000, 44100, 48000}, {320001, 0, 0, 0},
};
const Bracket kTwoChannels[] = {
    {8000, 0, 0, 0},
    {16000, 8000, 8000, 12000},
    {20000, 8000, 11025, 12000},
    {24000, 11025, 11025, 12000},
    {32000, 11025, 16000, 16000},
    {40000, 16000, 22050, 24000},
    {48000, 16000, 22050, 24000},
    {64000, 22050, 22050, 24000},
    {80000, 22050, 22050, 32000},
    {96000, 22050, 32000, 44100},
    {112000, 32000, 44100, 48000},
    {160000, 32000, 44100, 48000},
    {320000, 32000, 48000, 48000},
    {320001, 0, 0, 0},
};

const Bracket& BracketOf(int codedChannels, uint32_t bitrate) {
    const Bracket* table = codedChannels == 2 ? kTwoChannels : kOneChannel;
    const int count = codedChannels == 2 ? 14 : 9;
    int found = 0;
    for (int i = 0; i < count; ++i)
        if (table[i].from <= bitrate) found = i;
    return table[found];
}

const uint32_t kListBitrates[] = {8000,  16000, 18000,  20000,  24000,  32000,  40000,  48000,  56000, 64000,
                                  80000, 96000, 112000, 128000, 160000, 192000, 224000, 256000, 320000};

int CodedChannels(int mode) { return mode == 2 || mode == 4 ? 2 : 1; }
}  // namespace

bool IsValidRate(uint32_t rate) {
    for (uint32_t r : kRates)
        if (r == rate) return true;
    return false;
}

bool SbrIsSupported(uint32_t bitrate, int channels, uint32_t rate, uint32_t* coreRate) {
    int core = 0;
    const bool found = bitrate <= 320000 && rate <= 48000 &&
                       SbrIsSupported(2, static_cast<int>(bitrate), channels, static_cast<int>(rate), core);
    if (coreRate) *coreRate = found ? static_cast<uint32_t>(core) : 0;
    return found;
}

bool ValidateStreamConfig(int inputChannels, uint32_t inputRate, StreamConfig& cfg, bool completeRate) {
    if (cfg.Bitrate < 8000 || cfg.Bitrate > 320000 || cfg.CodecMode < 0 || cfg.CodecMode > 2 || cfg.ChannelMode < 0 ||
        cfg.ChannelMode > 4 || cfg.VbrQuality > 100)
        return false;
    if (cfg.OutRate != 0 && cfg.OutRate > inputRate) return false;
    uint32_t core = 0;
    bool g = SbrIsSupported(cfg.Bitrate, 1, inputRate, &core);
    if (cfg.OutRate != 0) g = g && SbrIsSupported(cfg.Bitrate, 1, cfg.OutRate, &core);
    if (cfg.ChannelMode == 3 && (!g || inputChannels != 2)) return false;
    if (cfg.ChannelMode == 0) {
        if (inputChannels == 1)
            cfg.ChannelMode = 1;
        else if (g)
            cfg.ChannelMode = cfg.Bitrate < 36000 ? 3 : 2;
        else
            cfg.ChannelMode = cfg.Bitrate < 44000 ? 1 : 2;
    }
    const int coded = CodedChannels(cfg.ChannelMode);
    const Bracket& bracket = BracketOf(coded, cfg.Bitrate);
    if (cfg.OutRate != 0) {
        if (coded == 2) g = SbrIsSupported(cfg.Bitrate, 2, cfg.OutRate, &core);
        if (cfg.CodecMode == 1 || g) {
            if (cfg.CodecMode == 1 && !g) return false;
            cfg.CodecMode = cfg.CodecMode == 2 ? 2 : 1;
        } else {
            cfg.CodecMode = 2;
        }
    } else {
        if (coded == 2) g = SbrIsSupported(cfg.Bitrate, 2, inputRate, &core);
        if (cfg.CodecMode == 1 && !g) return false;
        if (g && cfg.CodecMode != 2) {
            cfg.CodecMode = 1;
            cfg.OutRate = 2 * core;
        }
    }
    if (cfg.OutRate == 0) {
        if (inputRate >= bracket.preferred && bracket.preferred != 0)
            cfg.OutRate = bracket.preferred;
        else if (inputRate >= bracket.minRate && bracket.minRate != 0)
            cfg.OutRate = bracket.minRate;
        else
            return false;
        cfg.CodecMode = 2;
        if (completeRate) {
            for (uint32_t i = 1; i <= 6; ++i) {
                const uint32_t r = inputRate / i;
                if (r >= bracket.minRate && r <= bracket.maxRate && r * i == inputRate && IsValidRate(r)) {
                    cfg.OutRate = r;
                    break;
                }
            }
        }
    }
    if (g && cfg.CodecMode == 1) return true;
    return cfg.OutRate >= bracket.minRate && cfg.OutRate <= bracket.maxRate;
}

int ListStreamConfigs(uint32_t inputRate, int inputChannels, int limit, StreamConfig* list, const ConfigFilter& f) {
    int count = 0;
    auto add = [&](uint32_t rate, int mode, int codec, uint32_t bitrate, uint32_t quality) {
        if (count >= limit) return;
        if (f.channelMode != 0 && f.channelMode != mode) return;
        if (inputChannels == 2 && mode == 1 && !f.includeMono) return;
        if (mode == 3 && (!f.includeMode3 || inputChannels != 2)) return;
        list[count++] = StreamConfig{rate, mode, codec, bitrate, quality};
    };
    // Modes 2 and 4 of a VBR group, whichever of the two the filter names.
    auto addPair = [&](uint32_t rate, int codec, uint32_t bitrate, uint32_t quality) {
        for (int mode : {2, 4}) {
            if (count >= limit) return;
            list[count++] = StreamConfig{rate, mode, codec, bitrate, quality};
        }
    };
    if (f.channelMode > 4) return 0;
    int start;
    if (f.channelMode == 0)
        start = (f.includeMono || f.includeMode3) ? 0 : inputChannels - 1;
    else if (f.channelMode == 2 || f.channelMode == 4) {
        if (inputChannels != 2) return 0;
        start = 1;
    } else {
        start = 0;
    }
    const int last = f.channelMode == 1 || f.channelMode == 3 ? 0 : inputChannels - 1;

    for (int group = start; group <= last; ++group) {
        if (f.quality != 0) {
            for (uint32_t rate : kRates) {
                if (f.rate != 0 && rate != f.rate) continue;
                if (rate > inputRate) continue;
                const bool sbr = rate >= 32000 && f.codecMode != 2;
                if (group == 0) {
                    if (f.codecMode != 1) add(rate, 1, 2, 0, f.quality);
                    if (sbr) {
                        add(rate, 1, 1, 0, f.quality);
                        add(rate, 3, 1, 0, f.quality);
                    }
                } else {
                    // Here a mode filter of 2 or 4 lists both two-channel modes.
                    if (f.codecMode != 1) {
                        addPair(rate, 2, 0, f.quality);
                    }
                    if (sbr) addPair(rate, 1, 0, f.quality);
                }
            }
            continue;
        }
        const uint32_t lowest = group == 0 ? 8000 : 20000;
        const uint32_t highest = group == 0 ? 128000 : 320000;
        const int coded = group + 1;
        for (int k = 0; k < 19; ++k) {
            const uint32_t bitrate = kListBitrates[k];
            if (bitrate < lowest || bitrate > highest) continue;
            if (f.bitrate != 0) {
                if (f.bitrate < lowest || f.bitrate > highest) break;
                const bool last19 = k == 18;
                const bool inStep = f.bitrate >= bitrate && (last19 || f.bitrate < kListBitrates[k + 1]);
                if (!inStep) continue;
            }
            const Bracket& bracket = BracketOf(coded, bitrate);
            for (uint32_t u : kRates) {
                if (u > inputRate || u > bracket.maxRate) continue;
                if (f.integerRatio && inputRate % u != 0) continue;
                bool plain = u >= bracket.minRate && f.codecMode != 1;
                // SBR records at twice u: below the bracket's minimum only for the SBR core rates.
                bool sbr = f.codecMode != 2 && (u >= bracket.minRate || (u >= 16000 && u <= 24000));
                if (sbr) {
                    uint32_t core = 0;
                    sbr = 2 * u <= inputRate && SbrIsSupported(bitrate, coded, 2 * u, &core) && core == u;
                }
                if (f.rate != 0) {
                    if (f.rate <= 24000) {
                        sbr = false;
                        plain = plain && u == f.rate;
                    } else if (u <= 24000) {
                        plain = false;
                        sbr = sbr && 2 * u == f.rate;
                    } else {
                        sbr = false;
                        plain = plain && u == f.rate;
                    }
                    const uint32_t asked = f.rate <= 24000 || u > 24000 ? f.rate : f.rate / 2;
                    if (asked < bracket.minRate || asked > bracket.maxRate) plain = sbr = false;
                }
                if (group == 0) {
                    if (plain) add(u, 1, 2, bitrate, 0);
                    if (sbr) {
                        add(2 * u, 1, 1, bitrate, 0);
                        add(2 * u, 3, 1, bitrate, 0);
                    }
                } else {
                    if (plain) {
                        add(u, 2, 2, bitrate, 0);
                        add(u, 4, 2, bitrate, 0);
                    }
                    if (sbr) {
                        add(2 * u, 2, 1, bitrate, 0);
                        add(2 * u, 4, 1, bitrate, 0);
                    }
                }
            }
        }
    }
    return count;
}

}  // namespace brannoc
