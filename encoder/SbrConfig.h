#pragma once

namespace brannoc {

// The SBR encoder's configuration: defaults from SbrConfigInit, then a tuning-table row.
struct SbrConfig {
    int bitrate = 0;
    int channels = 0;
    int coreRate = 0;
    int transientReferenceBitrate = 32000;
    int kind = 2;
    float headerPeriod = 1.0f;
    int sinusoidExtension = 1;
    int sideDataCrc = 1;
    int crossoverAdaptation = 0;
    int fixfixFrequencyResolution = 1;
    int noiseLevels[5] = {};
    float transientEnergyThreshold = 14000.0f;
    int frameLength = 1152;
    int headerFlagSource = 0;
    int amplitudeResolution = 1;
    int noiseFloorOffset = 6;
    int spreadingAllowed = 1;
    int staticFraming = 0;
    int staticEnvelopesLog2 = 1;
    int timeDeltasAllowed = 1;
    int inverseFilteringDetector = 4;
    int channelValue = 2;
    int perChannelMode = 2;
    int stereoMode = 3;
    int mode3 = 0;
    int startIndex = 5;
    int stopIndex = 9;
    int frequencyScale = 2;
    int alterScale = 1;
    int noiseBands = 2;
    int limiterBands = 2;
    int limiterGains = 2;
    int interpolation = 1;
    int smoothing = 0;
    int adaptiveCrossover = 0;
};

// Refuses any kind but 2; frame length = trunc(coreFrame x ratio).
bool SbrConfigInit(SbrConfig& config, int kind, float ratio, int coreFrame);

// Takes the first matching tuning row for the total bitrate (or the one a VBR quality above 0 maps
// to). False when none matches.
bool SbrConfigure(SbrConfig& config, int bitrate, int channels, int coreRate, int vbrQuality);

// For rate 32000 and above: whether a row exists for core rate / 2, else 22050 (rate above 44100),
// else 16000 (rate above 32000); coreRate receives the one found.
bool SbrIsSupported(int kind, int bitrate, int channels, int rate, int& coreRate);

}  // namespace brannoc
