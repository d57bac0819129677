#pragma once
// Per-song playout settings (cues, fades, crossfade, gap killer, gain, tempo) and their text form.
#include <array>
#include <cstdint>
#include <string>

namespace kelvar {

struct TCuePoint {
    std::string Name;
    int64_t Time = 0;
};
using TCuePoints = std::array<TCuePoint, 10>;

struct TFadeParams {
    int32_t Enabled = -1;  // 1 on, 0 off, -1 default
    int32_t Time = -1;     // ms
    int32_t Level = -1;    // percent depth of the fade
    uint8_t Curve = 0;     // 1 linear, 2 cosine, 3 power; 0 default
};

// Times in ms; -1 asks for the default (Gain 0, curves 0). The initial values are the built-in
// defaults.
struct TSongSettings {
    int64_t Start = -1;
    int64_t End = -1;
    int64_t Intro = -1;
    int64_t Outro = -1;
    TCuePoints CuePoints{};
    int32_t GapKiller = 1;
    int32_t Gain = 0;
    double BPM = 0;
    int64_t Fade = -5000;
    int64_t XFade = -3000;
    TFadeParams FadeIn{1, 500, 80, 2};
    TFadeParams FadeOut{1, 5000, 90, 2};
    int32_t XFadeMode = 2;   // 0 none, 1 start the next song at XFade, 2 detect by level
    int32_t XFadeLevel = 7;  // dB below full scale
    int32_t XFadeMinTime = 100;
    int32_t XFadeMaxTime = 6000;
};

namespace XFadeModes {
constexpr int32_t None = 0;
constexpr int32_t Fixed = 1;
constexpr int32_t Detect = 2;
}  // namespace XFadeModes

// The built-in defaults (those of a TSongSettings{}); the custom cues are left as they are.
void InitSongSettings(TSongSettings& Settings);
// Own's fields that do not ask for the default replace those of Defaults; BPM and the custom
// cues stay those of Defaults.
void MergeSongSettings(const TSongSettings& Defaults, const TSongSettings& Own, TSongSettings& Result);
std::string SongSettingsToString(const TSongSettings& Settings);
// Missing or malformed values ask for the default.
void StringToSongSettings(const std::string& Text, TSongSettings& Settings);
// "&" and "=" cannot live in a cue name of the text form: they are replaced by "+" and "-".
std::string CleanCueName(const std::string& Name);

// The defaults of every deck, and the same with fade-in, fade-out and crossfading off (the
// core fills the second from the first). Written on the main thread only.
extern TSongSettings DefaultSongSettings;
extern TSongSettings NoFadeSongSettings;

// The 64-bit times travel as their low 32 bits.
inline int32_t Low32(int64_t Value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Value)));
}

}  // namespace kelvar
