#include "media/KelvarPlayer_imp.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <vector>

#include "audio/nodes/Node_FadeTrigger.h"
#include "audio/nodes/Node_GapKiller.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

namespace {

TSongSettings BuiltInSongSettings() {
    TSongSettings settings;
    InitSongSettings(settings);
    return settings;
}

std::string Lower(std::string Text) {
    std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return Text;
}

// A fade's level is a depth in percent; a song's settings may hold anything, and a depth
// outside 0..100 would turn the gain negative or amplify.
int FadeDepth(int32_t Level) { return std::clamp<int32_t>(Level, 0, 100); }

// The 64-bit times travel as their low 32 bits.
int32_t Low32(int64_t Value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Value))); }

void AddPair(std::string& Text, const char* Key, const std::string& Value) {
    Text += '&';
    Text += Key;
    Text += '=';
    Text += Value;
}

void AddInt(std::string& Text, const char* Key, int64_t Value) {
    if (Value != -1) AddPair(Text, Key, std::to_string(Value));
}

// The items of the text form, first occurrence (in case-blind sorted order) per lower-case key.
class TPairs {
public:
    explicit TPairs(const std::string& Text) {
        std::vector<std::string> items;
        const std::string text = Text + "&";
        size_t from = 0;
        for (size_t at = text.find('&'); at != std::string::npos; at = text.find('&', from)) {
            items.push_back(text.substr(from, at - from));
            from = at + 1;
        }
        std::stable_sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
        for (const auto& item : items) {
            const size_t eq = item.find('=');
            if (eq == std::string::npos || eq == 0) continue;
            FValues.emplace(Lower(item.substr(0, eq)), item.substr(eq + 1));
        }
    }

    bool Find(const std::string& Key, std::string& Value) const {
        auto it = FValues.find(Key);
        if (it == FValues.end()) return false;
        Value = it->second;
        return true;
    }

    // A 32-bit decimal integer, else Default.
    int64_t Int(const std::string& Key, int64_t Default) const {
        std::string value;
        int64_t v = 0;
        if (!Find(Key, value) || !TryParseInt64(value, v)) return Default;
        if (v < INT32_MIN || v > INT32_MAX) return Default;
        return v;
    }

    std::string Text(const std::string& Key) const {
        std::string value;
        return Find(Key, value) ? value : std::string();
    }

private:
    std::map<std::string, std::string> FValues;
};

uint8_t ReadCurve(const TPairs& Pairs, const char* Key) {
    const int64_t curve = Pairs.Int(Key, -1) + 1;
    return curve >= 0 && curve <= 255 ? static_cast<uint8_t>(curve) : 0;
}

void WriteFade(std::string& Text, const char* Prefix, const TFadeParams& Fade) {
    const std::string p(Prefix);
    AddInt(Text, (p + "e").c_str(), Fade.Enabled);
    AddInt(Text, (p + "t").c_str(), Fade.Time);
    AddInt(Text, (p + "l").c_str(), Fade.Level);
    AddInt(Text, (p + "c").c_str(), static_cast<int>(Fade.Curve) - 1);
}

void ReadFade(const TPairs& Pairs, const char* Prefix, TFadeParams& Fade) {
    const std::string p(Prefix);
    Fade.Enabled = static_cast<int32_t>(Pairs.Int(p + "e", -1));
    Fade.Time = static_cast<int32_t>(Pairs.Int(p + "t", -1));
    Fade.Level = static_cast<int32_t>(Pairs.Int(p + "l", -1));
    Fade.Curve = ReadCurve(Pairs, (p + "c").c_str());
}

void MergeFade(const TFadeParams& Own, TFadeParams& Result) {
    if (Own.Enabled != -1) Result.Enabled = Own.Enabled;
    if (Own.Time != -1) Result.Time = Own.Time;
    if (Own.Level != -1) Result.Level = Own.Level;
    if (Own.Curve != 0) Result.Curve = Own.Curve;
}

}  // namespace

TSongSettings DefaultSongSettings = BuiltInSongSettings();
TSongSettings NoFadeSongSettings = BuiltInSongSettings();

void InitSongSettings(TSongSettings& Settings) {
    Settings.Start = -1;
    Settings.End = -1;
    Settings.Intro = -1;
    Settings.Outro = -1;
    Settings.GapKiller = 1;
    Settings.Gain = 0;
    Settings.BPM = 0;
    Settings.Fade = -5000;
    Settings.XFade = -3000;
    Settings.FadeIn = TFadeParams{1, 500, 80, 2};
    Settings.FadeOut = TFadeParams{1, 5000, 90, 2};
    Settings.XFadeMode = 2;
    Settings.XFadeLevel = 7;
    Settings.XFadeMinTime = 100;
    Settings.XFadeMaxTime = 6000;
}

void MergeSongSettings(const TSongSettings& Defaults, const TSongSettings& Own, TSongSettings& Result) {
    TSongSettings r = Defaults;
    for (auto [own, res] : {std::pair{&Own.Start, &r.Start}, std::pair{&Own.End, &r.End}, std::pair{&Own.Intro, &r.Intro},
                            std::pair{&Own.Outro, &r.Outro}, std::pair{&Own.Fade, &r.Fade}, std::pair{&Own.XFade, &r.XFade}}) {
        if (*own != -1) *res = *own;
    }
    for (auto [own, res] : {std::pair{&Own.XFadeMode, &r.XFadeMode}, std::pair{&Own.XFadeLevel, &r.XFadeLevel},
                            std::pair{&Own.XFadeMinTime, &r.XFadeMinTime}, std::pair{&Own.XFadeMaxTime, &r.XFadeMaxTime},
                            std::pair{&Own.GapKiller, &r.GapKiller}}) {
        if (*own != -1) *res = *own;
    }
    MergeFade(Own.FadeIn, r.FadeIn);
    MergeFade(Own.FadeOut, r.FadeOut);
    if (Own.Gain != 0) r.Gain = Own.Gain;
    Result = r;
}

std::string CleanCueName(const std::string& Name) {
    std::string name = Name;
    std::replace(name.begin(), name.end(), '&', '+');
    std::replace(name.begin(), name.end(), '=', '-');
    return name;
}

std::string SongSettingsToString(const TSongSettings& Settings) {
    std::string text;
    AddInt(text, "c", Low32(Settings.Start));
    AddInt(text, "e", Low32(Settings.End));
    AddInt(text, "i", Low32(Settings.Intro));
    AddInt(text, "o", Low32(Settings.Outro));
    AddInt(text, "f", Low32(Settings.Fade));
    AddInt(text, "x", Low32(Settings.XFade));
    for (size_t i = 0; i < Settings.CuePoints.size(); ++i) {
        const TCuePoint& cue = Settings.CuePoints[i];
        if (cue.Time <= 0) continue;
        AddPair(text, ("ct" + std::to_string(i)).c_str(), std::to_string(Low32(cue.Time)));
        // A raw "&" would cut the record and could forge other pairs.
        if (!cue.Name.empty()) AddPair(text, ("cn" + std::to_string(i)).c_str(), CleanCueName(cue.Name));
    }
    WriteFade(text, "fi", Settings.FadeIn);
    WriteFade(text, "fo", Settings.FadeOut);
    AddInt(text, "xf", Settings.XFadeMode);
    AddInt(text, "ft", Settings.XFadeLevel);
    AddInt(text, "fs", Settings.XFadeMinTime);
    AddInt(text, "fb", Settings.XFadeMaxTime);
    AddInt(text, "ge", Settings.GapKiller);
    if (Settings.Gain != 0) AddPair(text, "gl", std::to_string(Settings.Gain));
    if (Settings.BPM >= 45 && std::isfinite(Settings.BPM)) {
        // Always with a full stop, whatever the locale; readers take "." or ",".
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), Settings.BPM, std::chars_format::fixed, 2);
        if (ec == std::errc()) AddPair(text, "bmp", std::string(buffer, end));
    }
    return text;
}

void StringToSongSettings(const std::string& Text, TSongSettings& Settings) {
    const TPairs pairs(Text);
    Settings.Start = pairs.Int("c", -1);
    Settings.End = pairs.Int("e", -1);
    Settings.Intro = pairs.Int("i", -1);
    Settings.Outro = pairs.Int("o", -1);
    Settings.Fade = pairs.Int("f", -1);
    Settings.XFade = pairs.Int("x", -1);
    for (size_t i = 0; i < Settings.CuePoints.size(); ++i) {
        Settings.CuePoints[i].Time = pairs.Int("ct" + std::to_string(i), -1);
        Settings.CuePoints[i].Name = pairs.Text("cn" + std::to_string(i));
    }
    ReadFade(pairs, "fi", Settings.FadeIn);
    ReadFade(pairs, "fo", Settings.FadeOut);
    Settings.XFadeMode = static_cast<int32_t>(pairs.Int("xf", -1));
    Settings.XFadeLevel = static_cast<int32_t>(pairs.Int("ft", -1));
    Settings.XFadeMinTime = static_cast<int32_t>(pairs.Int("fs", -1));
    Settings.XFadeMaxTime = static_cast<int32_t>(pairs.Int("fb", -1));
    Settings.GapKiller = static_cast<int32_t>(pairs.Int("ge", -1));
    Settings.Gain = static_cast<int32_t>(pairs.Int("gl", 0));
    double bpm = 0;
    std::string value;
    if (!pairs.Find("bmp", value) || !TryParseDouble(value, bpm) || !std::isfinite(bpm)) bpm = 0;
    Settings.BPM = bpm;
}

// ---- TKelvarPlayer

TKelvarPlayer::TKelvarPlayer() : FOwnSettings(DefaultSongSettings), FSettings(DefaultSongSettings) {}

TKelvarPlayer::~TKelvarPlayer() {
    TKelvarPlayer::Unload();
}

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
                    FVolControl->StartFade(FadeKind::Out, FadeDepth(FSettings.FadeOut.Level), FSettings.FadeOut.Time);
                    // The fade cuts the song; it never lengthens one already cut shorter.
                    const int64_t end = GetPosition() + FSettings.FadeOut.Time + 100;
                    if (FSettings.End <= 0 || end < FSettings.End) FSettings.End = end;
                    // Publish the cut length now, so the end event falls due there.
                    GetDuration();
                }
                break;
            case PlayerEvent::StartNext:
                next = true;
                break;
            case PlayerEvent::PauseAfterFade:
                Pause();
                break;
            default:
                break;
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
