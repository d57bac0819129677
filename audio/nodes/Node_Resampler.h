#pragma once
// The first node of every deck chain: converts whatever the deck's decoder delivers to the
// output format (the engine's default), so that everything after it runs at one format.
#include <string>

#include "audio/graph/Pins.h"
#include "audio/nodes/ACMConvert.h"

namespace kelvar {

class TNode_Resampler : public TNode {
public:
    TNode_Resampler();
    ~TNode_Resampler() override;

    // Reopens a running stream for the new output format.
    void SetOutputFormat(const TWaveFormat& Format);

    // Blocks in the output format pass in place; others are converted and handed out through
    // DoOutput with the input block's time (the result is then 0).
    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;
    // Accepts every input format; a running stream is reopened for a different one.
    bool CheckFormat(const TWaveFormat& Format) override;
    TWaveFormat GetFormat() override;
    bool Start() override;
    void Stop() override;
    // Closes and reopens the stream, dropping what it held.
    void Seek() override;

private:
    TACMConvert FConvert;
    TWaveFormat FOutputFormat = DefaultAudioFormat;
};

}  // namespace kelvar
