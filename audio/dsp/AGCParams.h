#pragma once
// The broadcast processor's parameter block and meter record as plain records (the processor's
// entry points are in ProcAGC.h): the field offsets are fixed, the processor node and preset
// files rely on them.
#include <cstddef>
#include <cstdint>

namespace kelvar {

// One dynamics processor of a band (88 bytes). Switch fields count as on only when exactly 1.
struct TAGCBandProcessor {
    int32_t Enabled;
    float Ratio;       // n:1; below 1 or not a number: no gain change
    float Threshold;   // dB relative to a full-scale sine in the band
    int32_t Attack;    // ms
    int32_t Attack2;   // ms, slow detector (0: slow detector off)
    int32_t Release;   // ms
    int32_t Release2;  // ms, slow detector (0: slow detector off)
    uint32_t Hold;     // ms before the release starts
    uint8_t Private[56];
};
static_assert(sizeof(TAGCBandProcessor) == 88);

constexpr int AGCMultiBands = 5;
constexpr int AGCDualBands = 2;
constexpr int AGCBandProcessors = 3;

// The processor's parameter block (1996 bytes), created and released by the library.
struct TAGCParams {
    int32_t Private0;
    int32_t HostFlag;  // set to 1 by the node that owns the block
    int32_t GatedAGC;
    int32_t GateLevel;  // dB
    int32_t MaxGain;    // dB
    int32_t StereoExpander;
    int32_t StereoExpanderDepth;
    float StereoExpanderLevel;      // percent
    float StereoExpanderThreshold;  // dB
    int32_t BassEQ;
    int32_t BassEQFreq;  // Hz
    int32_t BassEQGain;  // dB
    int32_t BassEqType;  // 0 shelving, 1 peak
    int32_t PreEmphasis;
    int32_t PreEmpType;  // 0 = 50 us, 1 = 75 us
    int32_t MultiBand;
    float MultiBandDrive;  // dB
    int32_t Private68;
    int32_t Link01;  // percent
    int32_t Link23;
    int32_t Link34;
    TAGCBandProcessor MultiBandProc[AGCMultiBands][AGCBandProcessors];
    float MultiBandGain[AGCMultiBands];  // dB
    int32_t DualBand;
    TAGCBandProcessor DualBandProc[AGCDualBands][AGCBandProcessors];
    float DualBandDrive;  // dB
    int32_t Clipper;
    float ClipperLevel;  // dB relative to full scale: the ceiling
    float OutputLevel;   // percent
    uint8_t Private1972[24];
};
static_assert(sizeof(TAGCParams) == 1996);
static_assert(offsetof(TAGCParams, HostFlag) == 4);
static_assert(offsetof(TAGCParams, GatedAGC) == 8);
static_assert(offsetof(TAGCParams, StereoExpanderLevel) == 28);
static_assert(offsetof(TAGCParams, BassEQ) == 36);
static_assert(offsetof(TAGCParams, PreEmpType) == 56);
static_assert(offsetof(TAGCParams, MultiBandDrive) == 64);
static_assert(offsetof(TAGCParams, Link01) == 72);
static_assert(offsetof(TAGCParams, MultiBandProc) == 84);
static_assert(offsetof(TAGCParams, MultiBandGain) == 1404);
static_assert(offsetof(TAGCParams, DualBand) == 1424);
static_assert(offsetof(TAGCParams, DualBandProc) == 1428);
static_assert(offsetof(TAGCParams, DualBandDrive) == 1956);
static_assert(offsetof(TAGCParams, Clipper) == 1960);
static_assert(offsetof(TAGCParams, ClipperLevel) == 1964);
static_assert(offsetof(TAGCParams, OutputLevel) == 1968);

// Apply flags: the stages whose settings are taken over by API_AGC_Apply.
namespace AGCApply {
constexpr int32_t BassEQ = 1;
constexpr int32_t GatedAGC = 2;
constexpr int32_t StereoExpander = 4;
constexpr int32_t MultiBand = 8;
constexpr int32_t DualBand = 16;
constexpr int32_t Clipper = 32;
constexpr int32_t All = -1;
}  // namespace AGCApply

// The levels a host shows while the processor runs, read without waiting for the audio thread.
struct TAGCMeters {
    float Gain = 1.0f;  // the gated AGC's gain factor
    int32_t Gated = 0;  // 1 while the input is under the gate level (the gain holds)
};

}  // namespace kelvar
