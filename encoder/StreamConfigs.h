#pragma once
#include "encoder/BrannocApi.h"

namespace brannoc {

bool IsValidRate(uint32_t rate);

// Whether the SBR tuning has a row for this bitrate, channel count and rate; yields the core rate.
bool SbrIsSupported(uint32_t bitrate, int channels, uint32_t rate, uint32_t* coreRate);

// Checks a stream configuration and completes its open fields in place; false refuses it.
bool ValidateStreamConfig(int inputChannels, uint32_t inputRate, StreamConfig& cfg, bool completeRate);

struct ConfigFilter {
    uint32_t rate = 0;
    int32_t channelMode = 0;
    int32_t codecMode = 0;
    uint32_t bitrate = 0;
    uint32_t quality = 0;
    bool includeMono = false;
    bool includeMode3 = false;
    bool integerRatio = false;
};

// Lists the configurations the input allows, in the library's order; returns the count.
int ListStreamConfigs(uint32_t inputRate, int inputChannels, int limit, StreamConfig* list, const ConfigFilter& filter);

}  // namespace brannoc
