// Makes the demo content an install ships in its "Sound" folder: short songs with tags, two
// promos, a couple of sound effects and "FirstRun.m3u" listing the first eight songs. The other
// songs, each by an artist of its own, are there for the rotation: with the default rules (an
// artist once in 120 minutes) they keep the Auto DJ choosing by itself for over half an hour
// after the play list. Everything is synthesised here, so the content is ours and the same on
// every build.
//
//   kelvar-make-demo OUTPUT_FOLDER [--songs N] [--seconds S] [--playlist N]
//
// The options make a library of N songs of S seconds (the play list lists the first N of them)
// for tests of the automation; without them the demo's eight 48-second songs and its rotation
// songs are made.
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "foundation/ProcessLocale.h"
#include "media/SongInfoProvider_imp.h"
#include "media/SongInfo_imp.h"

namespace fs = std::filesystem;
using namespace kelvar;

namespace {

constexpr int Rate = 44100;
constexpr double Pi = 3.14159265358979323846;

struct TStereo {
    std::vector<float> L, R;
    explicit TStereo(double seconds) : L(static_cast<size_t>(seconds * Rate)), R(L.size()) {}
    size_t Size() const { return L.size(); }
};

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// A soft, slightly bright tone: a few harmonics with falling weights.
double Voice(double phase, int harmonics) {
    double v = 0;
    for (int h = 1; h <= harmonics; ++h) v += std::sin(phase * h) / (h * h * 0.7 + 0.3);
    return v * 0.6;
}

void AddNote(TStereo& s, double start, double length, double hz, double gain, int harmonics, double pan) {
    size_t a = static_cast<size_t>(start * Rate), n = static_cast<size_t>(length * Rate);
    for (size_t i = 0; i < n && a + i < s.Size(); ++i) {
        double t = static_cast<double>(i) / Rate;
        double env = std::min(1.0, t / 0.01) * std::exp(-2.5 * t / length);
        double v = gain * env * Voice(2 * Pi * hz * t, harmonics);
        s.L[a + i] += static_cast<float>(v * (1.0 - pan));
        s.R[a + i] += static_cast<float>(v * (1.0 + pan));
    }
}

void AddKick(TStereo& s, double start) {
    size_t a = static_cast<size_t>(start * Rate);
    double phase = 0;
    for (size_t i = 0; i < static_cast<size_t>(0.25 * Rate) && a + i < s.Size(); ++i) {
        double t = static_cast<double>(i) / Rate;
        phase += 2 * Pi * (50 + 90 * std::exp(-t * 30)) / Rate;
        float v = static_cast<float>(0.55 * std::exp(-t * 12) * std::sin(phase));
        s.L[a + i] += v;
        s.R[a + i] += v;
    }
}

void AddHat(TStereo& s, double start, std::mt19937& rng) {
    std::uniform_real_distribution<float> noise(-1, 1);
    size_t a = static_cast<size_t>(start * Rate);
    float last = 0;
    for (size_t i = 0; i < static_cast<size_t>(0.06 * Rate) && a + i < s.Size(); ++i) {
        float n = noise(rng);
        float high = n - last;  // crude high-pass
        last = n;
        float v = static_cast<float>(0.12 * std::exp(-static_cast<double>(i) / Rate * 60)) * high;
        s.L[a + i] += v * 0.8f;
        s.R[a + i] += v;
    }
}

// One song: a four-chord loop with bass, pad, drums and a pentatonic melody, faded in and out
// with a little silence at both ends (as real songs have).
TStereo MakeSong(int seed, double seconds, double bpm, int key) {
    std::mt19937 rng(static_cast<unsigned>(seed));
    TStereo s(seconds);
    const double beat = 60.0 / bpm;
    const int progression[4][3] = {{0, 4, 7}, {7, 11, 14}, {9, 12, 16}, {5, 9, 12}};
    const int penta[5] = {0, 2, 4, 7, 9};
    const double body = seconds - 1.0;
    for (int bar = 0; bar * 4 * beat < body; ++bar) {
        const int* chord = progression[bar % 4];
        double t0 = 0.5 + bar * 4 * beat;
        for (int n = 0; n < 3; ++n) AddNote(s, t0, 4 * beat, NoteHz(key + 48 + chord[n]), 0.07, 5, n - 1.0);
        for (int b = 0; b < 4; ++b) {
            double tb = t0 + b * beat;
            AddNote(s, tb, beat * 0.9, NoteHz(key + 36 + chord[0]), 0.22, 2, 0);
            AddKick(s, tb);
            AddHat(s, tb + beat / 2, rng);
            if (rng() % 3 != 0) {
                int note = key + 72 + penta[rng() % 5] + ((rng() % 4 == 0) ? 12 : 0);
                AddNote(s, tb, beat * (rng() % 2 ? 0.5 : 1.0), NoteHz(note), 0.12, 4, 0.3);
            }
        }
    }
    for (size_t i = 0; i < s.Size(); ++i) {
        double t = static_cast<double>(i) / Rate;
        double g = 1.0;
        if (t < 0.5 || t > seconds - 0.5)
            g = 0;
        else if (t < 1.5)
            g = t - 0.5;
        else if (t > seconds - 4.5)
            g = std::max(0.0, (seconds - 0.5 - t) / 4.0);
        s.L[i] = static_cast<float>(std::tanh(s.L[i]) * g);
        s.R[i] = static_cast<float>(std::tanh(s.R[i]) * g);
    }
    return s;
}

// A short chime: two tones a fifth apart.
TStereo MakeChime(double seconds, int key) {
    TStereo s(seconds);
    AddNote(s, 0.05, seconds - 0.1, NoteHz(key + 72), 0.35, 3, -0.2);
    AddNote(s, 0.25, seconds - 0.3, NoteHz(key + 79), 0.3, 3, 0.2);
    return s;
}

// A whoosh: filtered noise swelling and falling.
TStereo MakeWhoosh(double seconds) {
    TStereo s(seconds);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-1, 1);
    float low = 0;
    for (size_t i = 0; i < s.Size(); ++i) {
        double t = static_cast<double>(i) / Rate / seconds;
        float k = static_cast<float>(0.02 + 0.3 * std::sin(Pi * t));
        low += k * (noise(rng) - low);
        float v = static_cast<float>(0.8 * std::sin(Pi * t)) * low;
        s.L[i] = v * static_cast<float>(1 - t);
        s.R[i] = v * static_cast<float>(t);
    }
    return s;
}

std::vector<int16_t> Interleave(const TStereo& s) {
    std::vector<int16_t> pcm(s.Size() * 2);
    for (size_t i = 0; i < s.Size(); ++i) {
        pcm[2 * i] = static_cast<int16_t>(std::lround(std::clamp(s.L[i], -1.0f, 1.0f) * 32000));
        pcm[2 * i + 1] = static_cast<int16_t>(std::lround(std::clamp(s.R[i], -1.0f, 1.0f) * 32000));
    }
    return pcm;
}

void WriteMp3(const fs::path& path, const TStereo& s, int kbps) {
    std::vector<int16_t> pcm = Interleave(s);
    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, Rate);
    lame_set_num_channels(gf, 2);
    lame_set_brate(gf, kbps);
    lame_set_quality(gf, 7);  // fast: the content is made at every clean build
    lame_set_bWriteVbrTag(gf, 1);
    if (lame_init_params(gf) < 0) throw std::runtime_error("encoder set-up failed");
    const int frames = static_cast<int>(s.Size());
    std::vector<unsigned char> out(static_cast<size_t>(1.25 * frames + 7200) + 8192);
    int n = lame_encode_buffer_interleaved(gf, pcm.data(), frames, out.data(), static_cast<int>(out.size()));
    if (n < 0) throw std::runtime_error("encoding failed");
    int m = lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
    out.resize(static_cast<size_t>(n + std::max(m, 0)));
    std::vector<unsigned char> tag(8192);
    size_t tagSize = lame_get_lametag_frame(gf, tag.data(), tag.size());
    if (tagSize > 0 && tagSize <= out.size()) std::copy(tag.begin(), tag.begin() + tagSize, out.begin());
    lame_close(gf);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
}

void WriteWav(const fs::path& path, const TStereo& s) {
    std::vector<int16_t> pcm = Interleave(s);
    auto le32 = [](std::ofstream& o, uint32_t v) { o.write(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [](std::ofstream& o, uint16_t v) { o.write(reinterpret_cast<const char*>(&v), 2); };
    std::ofstream o(path, std::ios::binary);
    uint32_t data = static_cast<uint32_t>(pcm.size() * 2);
    o.write("RIFF", 4);
    le32(o, 36 + data);
    o.write("WAVEfmt ", 8);
    le32(o, 16);
    le16(o, 1);
    le16(o, 2);
    le32(o, Rate);
    le32(o, Rate * 4);
    le16(o, 4);
    le16(o, 16);
    o.write("data", 4);
    le32(o, data);
    o.write(reinterpret_cast<const char*>(pcm.data()), data);
}

void Tag(const fs::path& path, const std::string& artist, const std::string& title, const std::string& album,
         const std::string& genre) {
    TSongInfo info;
    info.SetValue("artist", artist);
    info.SetValue("title", title);
    info.SetValue("album", album);
    info.SetValue("genre", genre);
    info.SetValue("albumyear", "2026");
    if (!SongInfoManager().WriteInfo(path.string(), info)) throw std::runtime_error("could not tag " + path.string());
}

}  // namespace

// A modest rate keeps the install small; the songs are synthesised tones.
constexpr int MusicKbps = 96;

int main(int argc, char** argv) {
    kelvar::UseEnvironmentLocale();  // paths with any letters
    if (argc < 2 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: kelvar-make-demo OUTPUT_FOLDER [--songs N] [--seconds S] [--playlist N]\n");
        return 2;
    }
    int songCount = 0, playlistCount = -1;
    double seconds = 48.0;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--songs")
            songCount = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--seconds")
            seconds = std::clamp(std::atof(argv[i + 1]), 3.0, 600.0);
        else if (option == "--playlist")
            playlistCount = std::max(0, std::atoi(argv[i + 1]));
        else {
            std::fprintf(stderr, "kelvar-make-demo: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    try {
        fs::path out = argv[1];
        fs::create_directories(out / "music");
        fs::create_directories(out / "promos");
        fs::create_directories(out / "soundFX" / "Effects");
        struct TSong {
            const char *artist, *title;
            double bpm;
            int key;
        } songs[] = {
            {"Harbour Lights", "Morning Tide", 118, 0},  {"The Copper Kites", "Paper Summer", 124, 5},
            {"Nova Ferreira", "Slow Satellites", 96, 9}, {"Low Orchard", "Glass Garden", 110, 2},
            {"Marlow & Finch", "Evening Train", 102, 7}, {"Sunday Static", "Northern Radio", 128, 4},
            {"Ada Lindqvist", "Open Windows", 90, 11},   {"The Copper Kites", "Second Helpings", 120, 3},
        };
        std::ofstream m3u(out / "FirstRun.m3u", std::ios::binary);
        m3u << "#EXTM3U\r\n";
        const int count = songCount > 0 ? songCount : static_cast<int>(std::size(songs));
        for (int i = 0; i < count; ++i) {
            const TSong& s = songs[i % std::size(songs)];
            // Beyond the demo's own songs each one gets an artist and title of its own.
            std::string artist = s.artist, title = s.title;
            if (i >= static_cast<int>(std::size(songs))) {
                artist += " " + std::to_string(i);
                title += " " + std::to_string(i);
            }
            std::string name = artist + " - " + title + ".mp3";
            fs::path file = out / "music" / name;
            WriteMp3(file, MakeSong(i + 1, seconds, s.bpm, s.key), MusicKbps);
            // One album per song: the rotation keeps songs of one album apart, so a shared album would
            // leave it nothing to choose while one of them plays.
            Tag(file, artist, title, title + " (Single)", "Pop");
            if (playlistCount < 0 || i < playlistCount)
                m3u << "#EXTINF:" << static_cast<int>(seconds) << "," << artist << " - " << title << "\r\nmusic/"
                    << name << "\r\n";
        }
        if (songCount == 0) {
            // The rotation's songs: 24 artists, titles and albums of their own, 80 s each (32 min).
            const char* bands[] = {"Amber", "Quiet", "Northern", "Velvet", "Paper", "Silver"};
            const char* kinds[] = {"Foxes", "Harbour", "Lanterns", "Orchestra"};
            const char* starts[] = {"Blue", "Late", "Winter", "Golden", "Open", "Small"};
            const char* ends[] = {"Roads", "Hours", "Letters", "Rivers"};
            for (int i = 0; i < 24; ++i) {
                const std::string artist = std::string(bands[i % 6]) + " " + kinds[i / 6];
                const std::string title = std::string(starts[(i + i / 6) % 6]) + " " + ends[i / 6];
                const fs::path file = out / "music" / (artist + " - " + title + ".mp3");
                WriteMp3(file, MakeSong(100 + i, 80.0, 92 + 3 * i, i % 12), MusicKbps);
                Tag(file, artist, title, title + " (Single)", "Pop");
            }
        }
        WriteMp3(out / "promos" / "Station ID.mp3", MakeChime(6.0, 0), 128);
        Tag(out / "promos" / "Station ID.mp3", "Kelvar Radio", "Station ID", "Promos", "Other");
        WriteMp3(out / "promos" / "Coming Up Next.mp3", MakeChime(4.0, 5), 128);
        Tag(out / "promos" / "Coming Up Next.mp3", "Kelvar Radio", "Coming Up Next", "Promos", "Other");
        WriteWav(out / "soundFX" / "Effects" / "Whoosh.wav", MakeWhoosh(1.5));
        WriteWav(out / "soundFX" / "Effects" / "Chime.wav", MakeChime(1.2, 7));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvar-make-demo: %s\n", e.what());
        return 1;
    }
}
