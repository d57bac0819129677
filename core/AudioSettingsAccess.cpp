#include "core/AudioSettingsAccess.h"

#include "audio/live/VoiceFX_imp.h"
#include "audio/mix/AudioPipe_imp.h"
#include "audio/mix/Channel_imp.h"
#include "audio/nodes/Node_DSPEffects.h"
#include "foundation/AudioFormat.h"
#include "media/KelvarPlayer_imp.h"

namespace kelvar {

TChannel_base* PlayerChannel(TKelvarPlayer& Player) { return Player.Channel.get(); }

TChannel_base* VoiceChannel(TVoiceFX& Voice) { return Voice.GetVoiceChannel(); }

TChannel_base* MixerChannel(TMixer& Mixer) { return &Mixer.GetMasterChannel(); }

TMixer* PipeMixer(TAudioPipe& Pipe) { return &Pipe.GetMixer(); }

TChannelNodes ChannelNodes(TChannel_base& Channel) { return {Channel.DSPEffects, Channel.AGC, Channel.WinampDSP}; }

void TOutputAccess::Close() { FPipe.GetOutput().Close(); }

TDualOutputSettings TOutputAccess::GetSettings() { return FPipe.GetOutput().GetSettings(); }

bool TOutputAccess::Open(const TDualOutputSettings& Settings) {
    TDualOutput_Combo& output = FPipe.GetOutput();
    output.SetSettings(Settings);
    FPipe.GetMixer().SetPreviewEnabled(Settings.PreviewStyle != 0);
    if (!output.Open(DefaultAudioFormat)) return false;
    output.Play();
    return true;
}

void TOutputAccess::GetLastError(int32_t& Code, std::string& Text) { FPipe.GetOutput().GetLastError(Code, Text); }

bool TEqualizerAccess::GetEnabled() { return FNode.GetEQEnabled(); }

void TEqualizerAccess::SetEnabled(bool Value) { FNode.SetEQEnabled(Value); }

int TEqualizerAccess::GetBand(int Index) { return FNode.GetEQBand(Index); }

void TEqualizerAccess::SetBand(int Index, int Value) { FNode.SetEQBand(Index, Value); }

}  // namespace kelvar
