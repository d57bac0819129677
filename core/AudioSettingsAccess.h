#pragma once
// Engine objects of the audio settings window as it chooses and edits them, without the engine's
// headers: the channel of each object it offers and that channel's nodes, the output pair of the
// audio pipe, and the equaliser of an effects node.
#include <cstdint>
#include <string>

#include "audio/mix/DualOutputSettings.h"

namespace kelvar {

class TAudioPipe;
class TChannel_base;
class TKelvarPlayer;
class TMixer;
class TNode_AGC;
class TNode_DSPEffects;
class TNode_WinampDSPList;
class TVoiceFX;

// The channel of each object the window offers.
TChannel_base* PlayerChannel(TKelvarPlayer& Player);
TChannel_base* VoiceChannel(TVoiceFX& Voice);
TChannel_base* MixerChannel(TMixer& Mixer);
TMixer* PipeMixer(TAudioPipe& Pipe);

// The nodes of a channel the window's pages edit.
struct TChannelNodes {
    TNode_DSPEffects* Effects = nullptr;
    TNode_AGC* Processor = nullptr;
    TNode_WinampDSPList* WinampDSP = nullptr;
};
TChannelNodes ChannelNodes(TChannel_base& Channel);

class TOutputAccess {
public:
    explicit TOutputAccess(TAudioPipe& Pipe) : FPipe(Pipe) {}

    void Close();
    TDualOutputSettings GetSettings();
    // Sets the settings (the mixer's preview on with a preview style) and opens the pair again
    // in the default format; true when it opened, and then it plays.
    bool Open(const TDualOutputSettings& Settings);
    // The pair's last device error.
    void GetLastError(int32_t& Code, std::string& Text);

private:
    TAudioPipe& FPipe;
};

class TEqualizerAccess {
public:
    explicit TEqualizerAccess(TNode_DSPEffects& Node) : FNode(Node) {}

    bool GetEnabled();
    void SetEnabled(bool Value);
    int GetBand(int Index);
    void SetBand(int Index, int Value);

private:
    TNode_DSPEffects& FNode;
};

}  // namespace kelvar
