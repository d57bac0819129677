#pragma once

namespace brannoc {

// Transient detector and frame splitter of one SBR channel; works on 36 QMF slots of 64 band
// energies (the previous frame's 18 and the current 18), slot-major.
struct SbrTransientDetector {
    static constexpr int kBands = 64;
    static constexpr int kBufferSlots = 36;
    float thresholds[kBands] = {};
    float detection[54] = {};
    float peakLimit = 14000.0f / 64.0f;
    float splitThreshold = 0.0f;
    float previousLowEnergy = 0.0f;
    int windowStart = 9;
    int windowLength = 27;
    int slotsPerFrame = 18;
};

struct SbrTransientInfo {
    int value = 0;  // flag 1: transient time slot 0..8; flag 0: 1 = split into two envelopes
    int flag = 0;
};

// energyThreshold / 64 is the detection peak limit; the split threshold scales with
// referenceBitrate x channels / bitrate.
void SbrTransientInit(SbrTransientDetector& detector, int frameLength, int sbrRate, int bitrate, int channels,
                      int referenceBitrate, float energyThreshold);

void SbrDetectTransient(const float* energies, SbrTransientDetector& detector, SbrTransientInfo& info,
                        int qmfPerTimeSlot, int frameMiddle);

// Without a transient: whether the frame's two halves differ enough to code two envelopes.
void SbrSplitFrame(const float* energies, SbrTransientDetector& detector, const int* highTable, int highCount,
                   int qmfPerTimeSlot, int timeSlots, SbrTransientInfo& info);

// Stereo mode 2: both channels share one decision.
void SbrShareTransient(SbrTransientInfo& left, SbrTransientInfo& right);

}  // namespace brannoc
