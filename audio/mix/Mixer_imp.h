#pragma once
// The mixer: sums the mixer inputs of every playing channel into the on-air mix, which the
// master channel processes, and, when enabled, into a separate preview mix that waits in a
// small buffer for the preview output.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/graph/Buffer_imp.h"
#include "audio/graph/Pins.h"
#include "audio/graph/Pins_imp.h"
#include "audio/mix/Channel_imp.h"

namespace kelvar {

class TMixer {
public:
    TMixer();
    ~TMixer();
    TMixer(const TMixer&) = delete;
    TMixer& operator=(const TMixer&) = delete;

    void AddSource(IPinSource_MixModePtr Input);
    void RemoveSource(const IPinSource_MixModePtr& Input);
    // The on-air mix (the main pin's pull): always Length bytes.
    int Mix(void* Buffer, int Length, TStreamTime& Time);
    // The preview mix (the preview pin's pull): always Length bytes, silence when late or off.
    int ReadPreview(void* Buffer, int Length, TStreamTime& Time);
    void SetPreviewEnabled(bool Value);
    bool GetPreviewEnabled();

    IPinSource_MixModePtr GetMasterOutput() const;
    IPinSourcePtr GetMainPin() const { return FMainPin; }
    IPinSourcePtr GetPreviewPin() const { return FPreviewPin; }
    TChannel_mixer& GetMasterChannel() { return *FMaster; }
    // The master channel's settings in the subsection "Channel".
    void LoadConfig(IConfigDoc& Section);
    void SaveConfig(IConfigDoc& Section);

private:
    static uint8_t* Room(std::vector<uint8_t>& Block, int Length);

    std::recursive_mutex FLock;
    std::vector<IPinSource_MixModePtr> FInputs;
    std::shared_ptr<TPinSource> FMainPin;
    std::shared_ptr<TPinSource> FPreviewPin;
    std::unique_ptr<TChannel_mixer> FMaster;
    std::vector<uint8_t> FPreviewChunk;  // the preview mix under construction
    std::vector<uint8_t> FScratch;
    std::shared_ptr<TBuffer> FPreviewBuffer;
    bool FPreviewEnabled = false;
};

}  // namespace kelvar
