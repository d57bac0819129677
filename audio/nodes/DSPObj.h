#pragma once
// The effects of one channel: the ten-band equaliser, then rate, tempo and pitch change; and
// beat detection, which runs on its own (the user interface uses an object of its own for it).
#include <cstdint>
#include <memory>
#include <mutex>

#include "audio/dsp/DSPProc2.h"
#include "audio/graph/Buffer.h"
#include "foundation/AudioFormat.h"

namespace kelvar {

class TDSPObj {
public:
    TDSPObj();
    ~TDSPObj();
    TDSPObj(const TDSPObj&) = delete;
    TDSPObj& operator=(const TDSPObj&) = delete;

    // Close, then remember the format of the audio to process.
    void Open(const TWaveFormat& Format);
    // Drops the tempo stream and the equaliser state (also those set up before any Open).
    void Close();
    // Filters the block in place and runs it through the tempo stream once a rate, tempo or
    // pitch change was set. Answers the bytes now in Buffer, or 0 with the output in Chunk
    // (when there is more than the block held), or 0 with no output yet.
    int Process(void* Buffer, int Bytes, IChunkPtr& Chunk);
    // Drops what the tempo stream holds.
    void Flush();

    // Band values are fifths of a decibel (0 is flat), held to EQMinValue..EQMaxValue; an index
    // outside 0..9 raises EAudioError "Invalid EQ ID!".
    void SetEQBand(int Index, int Value);
    int GetEQBand(int Index);
    void SetEQEnabled(bool Value);
    bool GetEQEnabled();

    // Percent, clamped to -50..100.
    void SetRate(double Percent);
    void SetTempo(double Percent);
    void SetPitchSemiTones(double SemiTones);
    double GetRate();
    double GetTempo();
    double GetPitchSemiTones();
    // True when rate, tempo or pitch is not zero.
    bool EffectsWanted();

    void BPMStart(const TWaveFormat& Format);
    // Raises EAudioError "Only 16-bit samples supported" for another sample size.
    void BPMProcess(const void* Buffer, int Bytes);
    // The beats per minute found; 0 when nothing was processed.
    double BPMStop();
    bool BPMActive();

private:
    void OpenFX();

    std::recursive_mutex FLock;
    bool FOpen = false;
    TWaveFormat FEffectsFormat = DefaultAudioFormat;
    TWaveFormat FBPMFormat = DefaultAudioFormat;
    bool FBPMActive = false;
    int32_t FBPMHandle = 0;
    int32_t FFXHandle = 0;
    std::unique_ptr<TEQState> FEQ;
    float FBandGains[EQBandCount];
    bool FKernelDirty = true;
    bool FEQEnabled = false;
    double FRate = 0;
    double FTempo = 0;
    double FPitch = 0;
    // Output chunk for blocks that grow; reused while nobody else holds it.
    IChunkPtr FOutChunk;
    // Private copy handed to beat detection, which may change it.
    std::unique_ptr<int16_t[]> FBPMCopy;
    int FBPMCopySize = 0;
};

}  // namespace kelvar
