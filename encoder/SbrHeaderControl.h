#pragma once

#include "encoder/SbrConfig.h"
#include "encoder/SbrWriter.h"

namespace brannoc {

struct SbrHeaderState {
    bool sendHeader = false;
    bool crc = true;
    int period = 0;  // frames; 0: header in the first frame only
    int counter = 0;
};

// Header fields from the configuration: extension flags where values differ from their defaults,
// the header flag forced when the per-channel mode value is not 2.
SbrHeader SbrHeaderFromConfig(const SbrConfig& config);

// Period in frames from the configured seconds.
SbrHeaderState SbrHeaderStateFromConfig(const SbrConfig& config, int sbrRate);

// Whether this frame carries a header; advances the counter.
bool SbrNextHeader(SbrHeaderState& state);

// Crossover frequency in Hz snapped to the nearest master-table border.
float SbrSnapCrossover(float crossoverHz, int sbrRate, const int* master, int masterCount);

// Index of the master border equal to the requested crossover band; masterCount + 1 when none is.
int SbrCrossoverIndex(float requestedHz, int sbrRate, const int* master, int masterCount);

// Upper edge of the SBR range in Hz: floor(k2 x rate / 128).
float SbrGetStopFrequency(int k2, int sbrRate);

struct SbrVersion {
    const char* date;
    const char* version;
};
SbrVersion SbrGetVersion();

}  // namespace brannoc
