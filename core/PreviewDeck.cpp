#include "core/PreviewDeck.h"

#include <cmath>

#include "audio/mix/AudioPipe_imp.h"
#include "audio/mix/Channel_imp.h"
#include "audio/nodes/Node_Metronome.h"
#include "media/KelvarPlayer_imp.h"

namespace kelvar {

namespace {

TNode_Metronome* MetronomeOf(TKelvarPlayer& Player) { return Player.Channel ? Player.Channel->Metronome : nullptr; }

}  // namespace

bool TPreviewDeck::IsEmpty() { return FPlayer.GetState() == DeckState::Empty; }

bool TPreviewDeck::IsReady() { return FPlayer.GetState() == DeckState::Ready; }

bool TPreviewDeck::LoadSong(const ISongInfoPtr& Song) { return FPlayer.LoadSong(Song); }

void TPreviewDeck::Play() { FPlayer.Play(); }

void TPreviewDeck::Seek(int64_t Ms) { FPlayer.Seek(Ms); }

int64_t TPreviewDeck::GetPosition() { return FPlayer.GetPosition(); }

void TPreviewDeck::SetSongSettings(const TSongSettings& Settings) { FPlayer.SetSongSettings(Settings); }

void TPreviewDeck::Unload() {
    FPlayer.Unload();
    if (TNode_Metronome* m = MetronomeOf(FPlayer)) m->SetEnabled(false);
}

bool TPreviewDeck::GetMetronome() {
    TNode_Metronome* m = MetronomeOf(FPlayer);
    return m && m->GetEnabled();
}

void TPreviewDeck::SetMetronome(bool Value) {
    if (TNode_Metronome* m = MetronomeOf(FPlayer)) m->SetEnabled(Value);
}

void TPreviewDeck::TimeMetronome(double BPM, TAudioPipe* Pipe) {
    TNode_Metronome* m = MetronomeOf(FPlayer);
    if (!m) return;
    m->SetInterval(static_cast<int32_t>(std::lround(60000.0 / BPM)));
    if (Pipe) {
        const TDualOutputSettings out = Pipe->GetOutput().GetSettings();
        m->SetOffset(out.Packets * out.PacketTime);  // the output's latency
    }
}

}  // namespace kelvar
