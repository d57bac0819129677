#pragma once
// The node that runs a channel's chosen DSP plug-ins in order (the installed list's order).
// Its settings are kept in the section "WinampDSP".
#include <memory>
#include <string>
#include <vector>

#include "audio/graph/Pins.h"
#include "audio/nodes/WinampDSPList.h"

namespace kelvar {

class TNode_WinampDSPList : public TNode {
public:
    // Installed: the list the chain's plug-ins come from (the process-wide list when none).
    explicit TNode_WinampDSPList(TWinampDSPListPtr Installed = nullptr);
    ~TNode_WinampDSPList() override;

    // An empty chain passes whole frames in place; otherwise the output comes in a chunk.
    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;
    bool Start() override;
    void Stop() override;
    void LoadConfig(IConfigDoc& Section) override;
    void SaveConfig(IConfigDoc& Section) override;

    void AddDSP(const TWinampDSPPtr& Plugin);
    void RemoveDSP(const TWinampDSPPtr& Plugin);
    TWinampDSPPtr FindDSP(const std::string& Path);
    // Orders the chain by the plug-ins' SortID.
    void Sort();
    // A copy of the chain, in order.
    std::vector<TWinampDSPPtr> GetChain();

private:
    TWinampDSPListPtr FInstalled;
    std::vector<TWinampDSPPtr> FChain;
    // The work chunk, reused while nobody else holds it.
    IChunkPtr FWork;
};

}  // namespace kelvar
