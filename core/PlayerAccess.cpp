#include "core/PlayerAccess.h"

#include "audio/mix/Channel_imp.h"
#include "audio/nodes/Node_VUMeter.h"
#include "media/KelvarPlayer_imp.h"

namespace kelvar {

static_assert(ChannelMix::Playing == MixMode::Playing);
static_assert(ChannelMix::OnAir == MixMode::OnAir);
static_assert(ChannelMix::Preview == MixMode::Preview);

TDeckPhase TPlayerAccess::State() { return FPlayer ? static_cast<TDeckPhase>(FPlayer->GetState()) : TDeckPhase::Empty; }

bool TPlayerAccess::LoadSong(const ISongInfoPtr& Song) { return FPlayer && FPlayer->LoadSong(Song); }

void TPlayerAccess::Unload() {
    if (FPlayer) FPlayer->Unload();
}

void TPlayerAccess::Play() {
    if (FPlayer) FPlayer->Play();
}

void TPlayerAccess::Pause() {
    if (FPlayer) FPlayer->Pause();
}

void TPlayerAccess::Seek(int64_t Ms) {
    if (FPlayer) FPlayer->Seek(Ms);
}

void TPlayerAccess::FadeInAndPlay() {
    if (FPlayer) FPlayer->FadeInAndPlay();
}

void TPlayerAccess::FadeOutAndPause() {
    if (FPlayer) FPlayer->FadeOutAndPause();
}

void TPlayerAccess::FadeToNext() {
    if (FPlayer) FPlayer->FadeToNext();
}

void TPlayerAccess::SetDefaultSettings(const TSongSettings* Settings) {
    if (FPlayer) FPlayer->SetDefaultSettings(Settings);
}

ISongInfoPtr TPlayerAccess::Song() { return FPlayer ? FPlayer->GetSong() : nullptr; }
TSongSettings TPlayerAccess::SongSettings() { return FPlayer ? FPlayer->GetSongSettings() : TSongSettings{}; }
std::string TPlayerAccess::StreamTitle() { return FPlayer ? FPlayer->GetStreamTitle() : std::string(); }
int64_t TPlayerAccess::Position() { return FPlayer ? FPlayer->GetPosition() : 0; }
int64_t TPlayerAccess::Duration() { return FPlayer ? FPlayer->GetDuration() : 0; }
bool TPlayerAccess::Seekable() { return FPlayer && FPlayer->IsSeekable(); }
int TPlayerAccess::Rate() { return FPlayer ? FPlayer->GetRate() : 0; }
int TPlayerAccess::Bitrate() { return FPlayer ? FPlayer->GetBitrate() : 0; }
int TPlayerAccess::Channels() { return FPlayer ? FPlayer->GetChannels() : 0; }
int TPlayerAccess::BufferPercent() { return FPlayer ? FPlayer->GetBufferPercent() : 100; }

int TPlayerAccess::Volume() { return FPlayer ? FPlayer->GetVolume() : 0; }

void TPlayerAccess::SetVolume(int Value) {
    if (FPlayer) FPlayer->SetVolume(Value);
}

int TPlayerAccess::Pitch() { return FPlayer ? FPlayer->Pitch.load() : 0; }

void TPlayerAccess::SetPitch(int Percent) {
    if (FPlayer) FPlayer->SetPitch(Percent);
}

int TPlayerAccess::Tempo() { return FPlayer ? FPlayer->Tempo.load() : 0; }

void TPlayerAccess::SetTempo(int Percent) {
    if (FPlayer) FPlayer->SetTempo(Percent);
}

double TPlayerAccess::EffectiveBPM() { return FPlayer ? FPlayer->GetEffectiveBPM() : 0; }

void TPlayerAccess::SyncTempo(double Target) {
    if (FPlayer) FPlayer->SyncTempo(Target);
}

bool TPlayerAccess::Loop() { return FPlayer && FPlayer->GetLoop(); }

void TPlayerAccess::SetLoop(bool Value) {
    if (FPlayer) FPlayer->SetLoop(Value);
}

uint8_t TPlayerAccess::MixMode() { return FPlayer && FPlayer->Channel ? FPlayer->Channel->GetMixMode() : 0; }

bool TPlayerAccess::ToggleMix(uint8_t Flags) {
    if (!FPlayer || !FPlayer->Channel) return false;
    FPlayer->Channel->SetMixMode(static_cast<uint8_t>(FPlayer->Channel->GetMixMode() ^ Flags));
    return true;
}

bool TPlayerAccess::Levels(double& Left, double& Right) {
    if (!FPlayer || !FPlayer->Channel || !FPlayer->Channel->VUMeter) return false;
    FPlayer->Channel->VUMeter->GetLevels(Left, Right);
    return true;
}

}  // namespace kelvar
