#pragma once
// The effects node of every channel: equaliser, rate, tempo and pitch (through its TDSPObj).
// The equaliser settings are kept in the section "DSPEffects"; rate, tempo and pitch are not.
#include <memory>
#include <string>

#include "audio/graph/Pins.h"
#include "audio/nodes/DSPObj.h"

namespace kelvar {

class TNode_DSPEffects : public TNode {
public:
    TNode_DSPEffects();
    ~TNode_DSPEffects() override;

    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;
    bool Start() override;
    void Stop() override;
    void Seek() override;
    void LoadConfig(IConfigDoc& Section) override;
    void SaveConfig(IConfigDoc& Section) override;

    void SetRate(double Percent);
    void SetTempo(double Percent);
    void SetPitchSemiTones(double SemiTones);
    bool GetEQEnabled();
    void SetEQEnabled(bool Value);
    int GetEQBand(int Index);
    void SetEQBand(int Index, int Value);

    TDSPObj& GetDSP() { return *FDSP; }

private:
    std::unique_ptr<TDSPObj> FDSP;
};

}  // namespace kelvar
