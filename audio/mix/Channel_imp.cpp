#include "audio/mix/Channel_imp.h"

#include <algorithm>

#include "audio/graph/AudioErrors.h"
#include "audio/nodes/Node_AGC.h"
#include "audio/nodes/Node_DSPEffects.h"
#include "audio/nodes/Node_FadeTrigger.h"
#include "audio/nodes/Node_GapKiller.h"
#include "audio/nodes/Node_Metronome.h"
#include "audio/nodes/Node_Resampler.h"
#include "audio/nodes/Node_VUMeter.h"
#include "audio/nodes/Node_Volume.h"
#include "audio/nodes/Node_WinampDSPList.h"

namespace kelvar {

namespace {

// A filter around a new node, and the node.
template <class T, class... Args>
TFilterPtr MakeFilter(T*& Node, Args&&... args) {
    auto node = std::make_unique<T>(std::forward<Args>(args)...);
    Node = node.get();
    return std::make_shared<TFilter>(std::move(node));
}

}  // namespace

// ---- TChannel

TChannel::TChannel() = default;

TChannel::~TChannel() { Destroy(); }

void TChannel::Create() {
    FElements.clear();
    CreateNodes();
    BuildChain();
    if (!FInput || !FOutput) throw EAudioError("Unable to open audio channel sinks");
    // A node that refuses the format fails the channel as a chain that does not start does.
    if (!FInput->SetFormat(DefaultAudioFormat) || !FInput->Start())
        throw EAudioError("Unable to open audio channel sinks");
}

void TChannel::AddElement(const TElement& Element) {
    if (FPrevious) Connect(FPrevious, Element.Sink);
    const bool listed =
        std::any_of(FElements.begin(), FElements.end(), [&](const TElement& e) { return e.Source == Element.Source; });
    if (!listed) FElements.push_back(Element);
    FPrevious = Element.Source;
}

void TChannel::Destroy() {
    for (auto& element : FElements) {
        if (element.Source) element.Source->SetSink(nullptr);
        if (element.Sink) element.Sink->SetSource(nullptr);
    }
    FElements.clear();
    FPrevious.reset();
    FInput.reset();
    FOutput.reset();
    FMixInput.reset();
    FPushPull.reset();
}

uint8_t TChannel::GetMixMode() { return FOutput ? FOutput->GetMixMode() : 0; }

void TChannel::SetMixMode(uint8_t Flags) {
    if (FOutput) FOutput->SetMixMode(Flags);
}

void TChannel::SetDataEvent(std::shared_ptr<TSyncEvent> Event) {
    if (FPushPull) FPushPull->SetDataEvent(std::move(Event));
}

void TChannel::Seek(TStreamTime Time) {
    if (!FInput) return;
    const uint8_t flags = GetMixMode();
    SetMixMode(flags & static_cast<uint8_t>(~MixMode::Playing));
    // A pull of this channel already under way ends before the chain is seeked from the other
    // end, so the two never meet in the middle holding each other's locks.
    if (FMixInput) {
        std::lock_guard<std::recursive_mutex> sync(FMixInput->GetNode()->GetLock());
    }
    try {
        FInput->Seek(Time);
    } catch (...) {
        SetMixMode(flags);
        throw;
    }
    SetMixMode(flags);
}

void TChannel::LoadConfig(IConfigDoc& Section) {
    auto filters = Section.Section("Filters");
    if (!filters) return;
    for (auto& element : FElements) {
        if (element.Control) element.Control->LoadConfig(*filters);
    }
}

void TChannel::SaveConfig(IConfigDoc& Section) {
    auto filters = Section.Section("Filters");
    if (!filters) return;
    for (auto& element : FElements) {
        if (element.Control) element.Control->SaveConfig(*filters);
    }
}

// ---- TChannel_base

void TChannel_base::CreateNodes() {
    FVUFilter = MakeFilter(VUMeter);
    VUMeter->SetDelay(0);
    FVolumeFilter = MakeFilter(Volume);
    FDSPEffectsFilter = MakeFilter(DSPEffects);
    FWinampDSPFilter = MakeFilter(WinampDSP);
    FAGCFilter = MakeFilter(AGC);
    FMixInput = std::make_shared<TFilter_MixMode>();
    FOutput = FMixInput;
}

// ---- TChannel_player

TChannel_player::TChannel_player() { Create(); }

TChannel_player::~TChannel_player() { Destroy(); }

void TChannel_player::CreateNodes() {
    TChannel_base::CreateNodes();
    FResamplerFilter = MakeFilter(Resampler);
    Resampler->SetOutputFormat(DefaultAudioFormat);
    FGapKillerFilter = MakeFilter(GapKiller);
    FFadeTriggerFilter = MakeFilter(FadeTrigger);
    FMetronomeFilter = MakeFilter(Metronome);
    Metronome->SetEnabled(false);
    Metronome->SetOffset(0);
    FPushPull = std::make_shared<TPinPushPull>();
    FPushPull->SetMaxChunks(200);
    FPushPull->SetChunkMs(50);
}

void TChannel_player::BuildChain() {
    FInput = FResamplerFilter;
    AddFilter(FResamplerFilter);
    AddFilter(FGapKillerFilter);
    AddFilter(FFadeTriggerFilter);
    AddFilter(FPushPull);
    AddFilter(FWinampDSPFilter);
    AddFilter(FDSPEffectsFilter);
    AddFilter(FAGCFilter);
    AddFilter(FVolumeFilter);
    AddFilter(FMetronomeFilter);
    AddFilter(FVUFilter);
    AddFilter(FMixInput);
}

// ---- TChannel_VoiceFX

TChannel_VoiceFX::TChannel_VoiceFX() { Create(); }

TChannel_VoiceFX::~TChannel_VoiceFX() { Destroy(); }

void TChannel_VoiceFX::BuildChain() {
    FPushPull = std::make_shared<TPinPushPull>();
    FPushPull->SetMaxChunks(3);
    FPushPull->SetChunkMs(10);
    FInput = FPushPull;
    AddFilter(FPushPull);
    AddFilter(FWinampDSPFilter);
    AddFilter(FDSPEffectsFilter);
    AddFilter(FAGCFilter);
    AddFilter(FVolumeFilter);
    AddFilter(FVUFilter);
    AddFilter(FMixInput);
}

// ---- TChannel_mixer

TChannel_mixer::TChannel_mixer(IPinSourcePtr Source) : FSource(std::move(Source)) { Create(); }

TChannel_mixer::~TChannel_mixer() { Destroy(); }

void TChannel_mixer::CreateNodes() {
    TChannel_base::CreateNodes();
    // No volume stage on the master chain.
    FVolumeFilter.reset();
    Volume = nullptr;
}

void TChannel_mixer::BuildChain() {
    FInput = FWinampDSPFilter;
    // The master chain pulls the on-air mix.
    FWinampDSPFilter->SetSource(FSource);
    AddFilter(FWinampDSPFilter);
    AddFilter(FDSPEffectsFilter);
    AddFilter(FAGCFilter);
    AddFilter(FVUFilter);
    AddFilter(FMixInput);
}

}  // namespace kelvar
