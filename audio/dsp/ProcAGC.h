#pragma once
// The broadcast processor behind five flat entry points and one parameter block whose field
// offsets are fixed (the processor node and preset files rely on them). See ProcAGC.cpp for the
// signal path.
#include <cstdint>

#include "audio/dsp/AGCParams.h"

namespace kelvar {

// Allocates a block with the processor's defaults and stores its address (none on failure).
void API_AGC_Init(TAGCParams** block);
// Releases the block and clears the caller's pointer.
void API_AGC_Quit(TAGCParams** block);
// Takes over the settings of the stages named by flags.
void API_AGC_Apply(TAGCParams* block, int32_t flags);
// Forgets the audio history (filter memories, delay lines, detectors).
void API_AGC_Flush(TAGCParams* block);
// Processes interleaved PCM in place (8 bit unsigned, 16, 24 or 32 bit signed); answers the
// frames processed. Formats it cannot serve pass unchanged and still count as processed.
int32_t API_AGC_Process(TAGCParams* block, void* samples, int32_t frames, int32_t bitsPerSample, int32_t channels,
                        int32_t sampleRate);

// The levels of the last block processed (the defaults for an unknown block).
void API_AGC_Meters(const TAGCParams* block, TAGCMeters* meters);

// The entry points as one table, so that a host can be given another processor (tests do).
struct TAGCLibrary {
    void (*Init)(TAGCParams** block) = nullptr;
    void (*Quit)(TAGCParams** block) = nullptr;
    void (*Apply)(TAGCParams* block, int32_t flags) = nullptr;
    void (*Flush)(TAGCParams* block) = nullptr;
    int32_t (*Process)(TAGCParams* block, void* samples, int32_t frames, int32_t bitsPerSample, int32_t channels,
                       int32_t sampleRate) = nullptr;
    // Optional: a processor without meters leaves it empty.
    void (*Meters)(const TAGCParams* block, TAGCMeters* meters) = nullptr;
};

// Our own processor's entry points.
const TAGCLibrary& BuiltInAGCLibrary();

}  // namespace kelvar
