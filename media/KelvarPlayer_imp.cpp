#include "media/KelvarPlayer_imp.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <vector>

#include "audio/nodes/Node_FadeTrigger.h"
#include "audio/nodes/Node_GapKiller.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

namespace {

// A fade's level is a depth in percent; a song's settings may hold anything, and a depth
// outside 0..100 would turn the gain negative or amplify.
int FadeDepth(int32_t Level) { return std::clamp<int32_t>(Level, 0, 100); }

}  // namespace

// ---- TKelvarPlayer

TKelvarPlayer::TKelvarPlayer() : FOwnSettings(DefaultSongSettings), FSettings(DefaultSongSettings) {}

TKelvarPlayer::~TKelvarPlayer() { TKelvarPlayer::Unload(); }

void TKelvarPlayer::ReadSongSettings(const ISongInfoPtr& Song, TSongSettings& Settings) {
    std::string text;
    if (Song) {
        text = Song->GetValue("tmpSettings");
        if (TrimText(text).empty()) text = Song->GetValue("xfade");
    }
    StringToSongSettings(text, Settings);
}

bool TKelvarPlayer::LoadSong(const ISongInfoPtr& Song) {
    if (OnBeforeLoad) OnBeforeLoad(*this, Song);
    const std::string filename = Song ? Song->GetFilename() : std::string();
    {
        TGuard guard(FLock);
        {
            std::lock_guard<std::mutex> song(FSongLock);
            FSong = Song;
        }
        FStreamTitle.clear();
        FIsStream = filename.find("://") != std::string::npos;
        Channel->FadeTrigger->SetOnTrigger([this](TNode_FadeTrigger&) { OnFadeTrigger(); });
        Pause();
        TSongSettings own;
        ReadSongSettings(Song, own);
        FLoadingSong = true;
        SetSongSettings(own);
        FLoadingSong = false;
        ApplySettings();
    }
    // The old song goes and the new one is opened without the deck's lock (a stream may take
    // seconds to answer, and the output thread takes this lock to fire events); the deck is
    // empty meanwhile, so nothing starts it.
    TPlayer::Unload();
    IDecoderPtr decoder = OpenDecoder(filename);
    TGuard guard(FLock);
    // Load queues the markers once more; an empty deck had no seek to drop the first set.
    Channel->GetOutput()->ClearMeta();
    const bool result = LoadOpened(filename, decoder);
    if (FSettings.Start > 0) Seek(Low32(FSettings.Start));
    if (FSettings.FadeIn.Enabled == 1) {
        FVolControl->SetCurve(FSettings.FadeIn.Curve);
        FVolControl->StartFade(FadeKind::In, FadeDepth(FSettings.FadeIn.Level), FSettings.FadeIn.Time);
    }
    return result;
}

void TKelvarPlayer::Unload() {
    TGuard guard(FLock);
    TPlayer::Unload();
    FOwnSettings = DefaultSongSettings;
    {
        std::lock_guard<std::mutex> song(FSongLock);
        FSong.reset();
    }
    FStartLatch = 0;
    FStreamTitle.clear();
}

void TKelvarPlayer::SetSongSettings(const TSongSettings& Settings) {
    TGuard guard(FLock);
    FOwnSettings = Settings;
    if (FDefaults) {
        MergeSongSettings(*FDefaults, FOwnSettings, FSettings);
    } else {
        FSettings = FOwnSettings;
    }
    ApplySettings();
    Channel->GetOutput()->ClearMeta();
    QueueMarkers();
    // Clearing dropped the fade point the trigger placed when the song was decoded to its
    // end: place it again, or an edited song would never crossfade.
    if (!FLoadingSong && FLoaded && FEndOfStream && FSettings.XFadeMode == XFadeModes::Detect) OnFadeTrigger();
}

TSongSettings TKelvarPlayer::GetSongSettings() {
    TGuard guard(FLock);
    return FOwnSettings;
}

TSongSettings TKelvarPlayer::GetEffectiveSettings() {
    TGuard guard(FLock);
    return FSettings;
}

void TKelvarPlayer::SetDefaultSettings(const TSongSettings* Defaults) {
    TGuard guard(FLock);
    FDefaults = Defaults;
}

ISongInfoPtr TKelvarPlayer::GetSong() {
    std::lock_guard<std::mutex> song(FSongLock);
    return FSong;
}

std::string TKelvarPlayer::GetStreamTitle() {
    TGuard guard(FLock);
    return FStreamTitle;
}

void TKelvarPlayer::SetStreamTitle(const std::string& Title) {
    TGuard guard(FLock);
    FStreamTitle = Title;
}

void TKelvarPlayer::ApplySettings() {
    Channel->GapKiller->SetActive(FSettings.GapKiller == 1 && !FIsStream);
    if (FGainControl) Channel->Volume->RemoveVolControl(FGainControl);
    if (FSettings.Gain != 0) {
        FGainControl = Channel->Volume->AddVolControl();
        // Never below silence (a negative volume would invert the signal).
        FGainControl->SetVolume(static_cast<int>(std::clamp<int64_t>(int64_t{255} + FSettings.Gain, 0, INT32_MAX)));
    }
    Channel->FadeTrigger->FEnabled = FSettings.XFadeMode == XFadeModes::Detect;
    Channel->FadeTrigger->FTriggerLevel = -FSettings.XFadeLevel;
}

int TKelvarPlayer::GetState() {
    TGuard guard(FLock);
    if (!FLoaded) return DeckState::Empty;
    return IsPlayingFlag() ? DeckState::Playing : DeckState::Ready;
}

void TKelvarPlayer::Play() {
    TGuard guard(FLock);
    if (GetState() == DeckState::Ready) ++FStartLatch;
    TPlayer::Play();
}

bool TKelvarPlayer::SongStarted() {
    TGuard guard(FLock);
    if (FStartLatch != 1) return false;
    FStartLatch = 2;
    return true;
}

void TKelvarPlayer::Stop() {
    TGuard guard(FLock);
    const int state = GetState();
    if (state == DeckState::Playing || state == DeckState::Ready) {
        SetPaused(true);
        Seek(0);
    }
}

void TKelvarPlayer::QueueMarkers() {
    TGuard guard(FLock);
    // The events were dropped (load, seek, new settings): a fade to the next song may be
    // queued again.
    FEndFadeQueued = false;
    TPlayer::QueueMarkers();
    // With level detection a fade point counted from the end is left to the fade trigger.
    if (FSettings.FadeOut.Enabled == 1 && (FSettings.Fade > 0 || FSettings.XFadeMode != XFadeModes::Detect)) {
        AddPlayerEvent(PlayerEvent::FadeOut, FSettings.Fade);
    }
    if (FSettings.XFadeMode == XFadeModes::Fixed) AddPlayerEvent(PlayerEvent::StartNext, FSettings.XFade);
}

void TKelvarPlayer::OnFadeTrigger() {
    TGuard guard(FLock);
    const int64_t duration = GetDuration();
    int64_t point = Channel->FadeTrigger->GetFadePoint();
    if (point < 0) point = duration;
    const int64_t left = std::max<int64_t>(duration - point, 0);
    int64_t fadeTime = left;
    const int64_t minTime = FSettings.XFadeMinTime;
    if (left < minTime) {
        fadeTime = minTime;
        AddPlayerEvent(PlayerEvent::FadeOut, -minTime);
        AddPlayerEvent(PlayerEvent::StartNext, -(minTime / 2));
    } else {
        if (left > FSettings.XFadeMaxTime) fadeTime = FSettings.XFadeMaxTime;
        AddPlayerEvent(PlayerEvent::FadeOut, point);
        AddPlayerEvent(PlayerEvent::StartNext, point);
    }
    FSettings.FadeOut.Time = static_cast<int32_t>(fadeTime);
}

void TKelvarPlayer::OnMeta(IMetaData& Meta) {
    bool next = false;
    {
        TGuard guard(FLock);
        if (auto* caption = dynamic_cast<IMetaCaption*>(&Meta); caption && Meta.GetKind() == MetaKind::Caption) {
            FStreamTitle = caption->GetCaption();
        }
        auto* event = dynamic_cast<IMetaEvent*>(&Meta);
        if (event && Meta.GetKind() == MetaKind::Event) {
            switch (event->GetCode()) {
                case PlayerEvent::FadeOut:
                    if (FSettings.FadeOut.Enabled == 1 && FVolControl->GetFadeKind() != FadeKind::Out) {
                        FVolControl->SetCurve(FSettings.FadeOut.Curve);
                        FVolControl->StartFade(FadeKind::Out, FadeDepth(FSettings.FadeOut.Level),
                                               FSettings.FadeOut.Time);
                        // The fade cuts the song; it never lengthens one already cut shorter.
                        const int64_t end = GetPosition() + FSettings.FadeOut.Time + 100;
                        if (FSettings.End <= 0 || end < FSettings.End) FSettings.End = end;
                        // Publish the cut length now, so the end event falls due there.
                        GetDuration();
                    }
                    break;
                case PlayerEvent::StartNext: next = true; break;
                case PlayerEvent::PauseAfterFade: Pause(); break;
                default: break;
            }
        }
        TPlayer::OnMeta(Meta);
    }
    // Without the deck's lock: the handler locks and starts the other deck.
    if (next && OnNextSong) OnNextSong(*this);
}

int64_t TKelvarPlayer::DoGetDuration() {
    const int64_t d = TPlayer::DoGetDuration();
    if (FSettings.End > 0) return d <= 0 ? FSettings.End : std::min(d, FSettings.End);
    return d;
}

void TKelvarPlayer::OnEnd() {
    TGuard guard(FLock);
    if (GetPosition() > 0 && GetDuration() > 0) {
        // The gap killer reports a long gap after every block: queue one fade, not one
        // start of the next song per block.
        if (FEndFadeQueued) return;
        FEndFadeQueued = true;
        FadeToNext();
    } else {
        TPlayer::OnEnd();
    }
}

void TKelvarPlayer::FadeToNext() {
    TGuard guard(FLock);
    FSettings.FadeOut.Enabled = 1;
    FSettings.FadeOut.Time = 3000;
    FSettings.FadeOut.Level = 100;
    const int64_t p = GetPosition();
    AddPlayerEvent(PlayerEvent::FadeOut, p);
    AddPlayerEvent(PlayerEvent::StartNext, p + 1500);
    if (GetState() == DeckState::Ready) Play();
}

void TKelvarPlayer::FadeOutAndPause() {
    TGuard guard(FLock);
    const int64_t p = GetPosition();
    FVolControl->SetCurve(FSettings.FadeOut.Curve);
    FVolControl->StartFade(FadeKind::Out, 100, 3000);
    AddPlayerEvent(PlayerEvent::PauseAfterFade, p + 3100);
}

void TKelvarPlayer::FadeInAndPlay() {
    TGuard guard(FLock);
    FVolControl->SetCurve(FSettings.FadeIn.Curve);
    FVolControl->StartFade(FadeKind::In, 100, 3000);
    Play();
}

double TKelvarPlayer::GetEffectiveBPM() {
    TGuard guard(FLock);
    return FOwnSettings.BPM * (1.0 + Pitch / 100.0 + Tempo / 100.0);
}

void TKelvarPlayer::SyncTempo(double Target) {
    TGuard guard(FLock);
    const double bpm = FOwnSettings.BPM;
    auto inRange = [](double v) { return v > 45 && v <= 225; };
    if (!inRange(Target) || !inRange(bpm)) return;
    SetPitch(0);
    const double change = std::clamp((Target - bpm) / bpm * 100.0, -25.0, 25.0);
    SetTempo(static_cast<int>(std::lround(change)));
}

}  // namespace kelvar
