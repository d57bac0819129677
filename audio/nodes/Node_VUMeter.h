#pragma once
// The last node of every channel before the mixer input: passes audio unchanged and measures
// its level for the display.
#include <memory>

#include "audio/graph/Pins.h"
#include "audio/nodes/VUMeter_imp.h"

namespace kelvar {

class TNode_VU : public TNode {
public:
    TNode_VU();
    ~TNode_VU() override;

    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;
    bool CheckFormat(const TWaveFormat& Format) override;
    bool Start() override;
    void Stop() override;
    void Seek() override;

    // From the main thread's display refresh.
    void GetLevels(double& Left, double& Right);
    // Display delay in ms (the output latency).
    void SetDelay(int Ms);

private:
    std::unique_ptr<TVUMeter> FMeter;
};

}  // namespace kelvar
