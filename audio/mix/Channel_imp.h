#pragma once
// Channels: chains of filters from an input sink, into which a producer pushes (or from which
// the chain pulls), to a mixer input. Decks own player channels, the talk-over voice a voice
// channel, the mixer the master channel.
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/graph/Pins.h"
#include "audio/graph/Pins_imp.h"
#include "audio/graph/SyncEvent.h"

namespace kelvar {

class TNode_VU;
class TNode_Volume;
class TNode_DSPEffects;
class TNode_WinampDSPList;
class TNode_AGC;
class TNode_Resampler;
class TNode_GapKiller;
class TNode_FadeTrigger;
class TNode_Metronome;

class TChannel {
public:
    TChannel();
    // Unlinks every element.
    virtual ~TChannel();
    TChannel(const TChannel&) = delete;
    TChannel& operator=(const TChannel&) = delete;

    IPinSinkPtr GetInput() const { return FInput; }
    IPinSource_MixModePtr GetOutput() const { return FOutput; }
    uint8_t GetMixMode();
    void SetMixMode(uint8_t Flags);
    // The producer's room event, handed to the push-pull bridge.
    void SetDataEvent(std::shared_ptr<TSyncEvent> Event);
    TPinPushPullPtr GetPushPull() const { return FPushPull; }
    // Seeks the chain with the mixer kept off this channel meanwhile.
    void Seek(TStreamTime Time);
    // Every element's settings in the subsection "Filters" of Section.
    void LoadConfig(IConfigDoc& Section);
    void SaveConfig(IConfigDoc& Section);
    size_t ElementCount() const { return FElements.size(); }

protected:
    // Makes the nodes (each in its filter) and connects them; the most derived constructor
    // calls Create.
    virtual void CreateNodes() = 0;
    virtual void BuildChain() = 0;
    // Runs CreateNodes and BuildChain, then gives the input the default format and starts it;
    // raises "Unable to open audio channel sinks" when it does not start.
    void Create();
    void Destroy();

    template <class T>
    void AddFilter(const std::shared_ptr<T>& Element) {
        TElement e{Element, Element, Element};
        AddElement(e);
    }

    struct TElement {
        IPinSourcePtr Source;
        IPinSinkPtr Sink;
        std::shared_ptr<IPinControl> Control;
    };
    void AddElement(const TElement& Element);

    std::vector<TElement> FElements;
    IPinSinkPtr FInput;
    IPinSource_MixModePtr FOutput;
    TFilter_MixModePtr FMixInput;
    TPinPushPullPtr FPushPull;
    IPinSourcePtr FPrevious;
};

// The nodes that every kind of channel has.
class TChannel_base : public TChannel {
public:
    TNode_VU* VUMeter = nullptr;
    TNode_Volume* Volume = nullptr;
    TNode_DSPEffects* DSPEffects = nullptr;
    TNode_WinampDSPList* WinampDSP = nullptr;
    TNode_AGC* AGC = nullptr;

protected:
    void CreateNodes() override;

    TFilterPtr FVUFilter;
    TFilterPtr FVolumeFilter;
    TFilterPtr FDSPEffectsFilter;
    TFilterPtr FWinampDSPFilter;
    TFilterPtr FAGCFilter;
};

// A deck's channel: Resampler, GapKiller, FadeTrigger, push-pull (10 s), WinampDSP, DSPEffects,
// AGC, Volume, Metronome, VUMeter, mixer input.
class TChannel_player : public TChannel_base {
public:
    TChannel_player();
    ~TChannel_player() override;

    TNode_Resampler* Resampler = nullptr;
    TNode_GapKiller* GapKiller = nullptr;
    TNode_FadeTrigger* FadeTrigger = nullptr;
    TNode_Metronome* Metronome = nullptr;

protected:
    void CreateNodes() override;
    void BuildChain() override;

private:
    TFilterPtr FResamplerFilter;
    TFilterPtr FGapKillerFilter;
    TFilterPtr FFadeTriggerFilter;
    TFilterPtr FMetronomeFilter;
};

// The talk-over voice's channel: push-pull (30 ms), WinampDSP, DSPEffects, AGC, Volume,
// VUMeter, mixer input.
class TChannel_VoiceFX : public TChannel_base {
public:
    TChannel_VoiceFX();
    ~TChannel_VoiceFX() override;

protected:
    void BuildChain() override;
};

// The master channel: WinampDSP, DSPEffects, AGC, VUMeter, mixer input; no volume, no bridge.
// Its input pulls from Source.
class TChannel_mixer : public TChannel_base {
public:
    explicit TChannel_mixer(IPinSourcePtr Source);
    ~TChannel_mixer() override;

protected:
    void CreateNodes() override;
    void BuildChain() override;

private:
    IPinSourcePtr FSource;
};

}  // namespace kelvar
