#include "media/SongSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <vector>

#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"

namespace kelvar {

namespace {

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
        std::stable_sort(items.begin(), items.end(),
                         [](const std::string& a, const std::string& b) { return LowerAscii(a) < LowerAscii(b); });
        for (const auto& item : items) {
            const size_t eq = item.find('=');
            if (eq == std::string::npos || eq == 0) continue;
            FValues.emplace(LowerAscii(item.substr(0, eq)), item.substr(eq + 1));
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

TSongSettings DefaultSongSettings;
TSongSettings NoFadeSongSettings;

void InitSongSettings(TSongSettings& Settings) {
    TCuePoints cues = std::move(Settings.CuePoints);
    Settings = TSongSettings{};
    Settings.CuePoints = std::move(cues);
}

void MergeSongSettings(const TSongSettings& Defaults, const TSongSettings& Own, TSongSettings& Result) {
    TSongSettings r = Defaults;
    for (auto [own, res] :
         {std::pair{&Own.Start, &r.Start}, std::pair{&Own.End, &r.End}, std::pair{&Own.Intro, &r.Intro},
          std::pair{&Own.Outro, &r.Outro}, std::pair{&Own.Fade, &r.Fade}, std::pair{&Own.XFade, &r.XFade}}) {
        if (*own != -1) *res = *own;
    }
    for (auto [own, res] : {std::pair{&Own.XFadeMode, &r.XFadeMode}, std::pair{&Own.XFadeLevel, &r.XFadeLevel},
                            std::pair{&Own.XFadeMinTime, &r.XFadeMinTime},
                            std::pair{&Own.XFadeMaxTime, &r.XFadeMaxTime}, std::pair{&Own.GapKiller, &r.GapKiller}}) {
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

}  // namespace kelvar
