#pragma once
// Peak level of the left and right channel with a decaying hold, written into a delay line so
// that the display shows the level of what is being heard, not of what is pulled ahead.
#include <cstdint>

#include "audio/graph/Buffer.h"

namespace kelvar {

class TVUMeter {
public:
    TVUMeter();

    // Sizes the rings for the delay (allocating them when missing or too small), the decay
    // step and the measuring window.
    void Configure();
    bool Start();
    // Releases the rings; levels read as silence until the next Start.
    void Stop();
    // Empties the rings and the hold.
    void Reset();
    void SetDelay(int Ms);
    void SetDecayRate(int Rate);
    void SetFormat(const TWaveFormat& Format);
    // Interleaved 16-bit stereo frames.
    void Process(const void* Buffer, int Bytes);
    // dB magnitudes: 0 full scale, 255 silence; -255 before any window closed.
    void GetLevels(double& Left, double& Right);

private:
    double* Ring(const IChunkPtr& Chunk) const;

    IChunkPtr FLeftRing;
    IChunkPtr FRightRing;
    int FDelay = 0;
    int FUpdatesPerSecond = 40;
    TWaveFormat FFormat = DefaultAudioFormat;
    int FRingLength = 1;
    int FWritePosition = 0;
    int FWindow = 0;
    int FWindowFill = 0;
    int FLeftPeak = 0;
    int FRightPeak = 0;
    double FHeldLeft = -255.0;
    double FHeldRight = -255.0;
    double FDecayStep = 1.0;
    int FDecayRate = 1000;
};

}  // namespace kelvar
