#include "RenderEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "audio/AudioPipe_imp.h"
#include "audio/Node_GapKiller.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/Logger.h"
#include "media/KelvarPlayer_imp.h"
#include "media/SongInfo_imp.h"

namespace kelvar::render {

namespace {

const char* const DeckSources[2] = {"DECK A", "DECK B"};
// How far below full a playing deck's bridge may run before the output waits for its worker.
const int LookAheadSlack = 176400;
const int RefillDone = 2 * 8820;

double CpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// 44100 Hz, 16 bit, stereo; the sizes are filled in by Close.
class TWavWriter {
public:
    bool Open(const std::string& Path) {
        FFile.open(Path, std::ios::binary | std::ios::trunc);
        if (!FFile) return false;
        const char header[44] = {};
        FFile.write(header, sizeof(header));
        return static_cast<bool>(FFile);
    }
    void Write(const uint8_t* Data, size_t Size) {
        FFile.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
        FBytes += Size;
    }
    bool Close() {
        const TWaveFormat f = DefaultAudioFormat;
        uint8_t h[44];
        auto le16 = [&](int at, uint16_t v) { h[at] = v & 0xFF, h[at + 1] = v >> 8; };
        auto le32 = [&](int at, uint32_t v) { for (int i = 0; i < 4; ++i) h[at + i] = (v >> (8 * i)) & 0xFF; };
        std::memcpy(h, "RIFF", 4);
        le32(4, static_cast<uint32_t>(36 + FBytes));
        std::memcpy(h + 8, "WAVEfmt ", 8);
        le32(16, 16);
        le16(20, 1);
        le16(22, f.Channels);
        le32(24, f.SamplesPerSec);
        le32(28, f.AvgBytesPerSec);
        le16(32, f.BlockAlign);
        le16(34, f.BitsPerSample);
        std::memcpy(h + 36, "data", 4);
        le32(40, static_cast<uint32_t>(FBytes));
        FFile.seekp(0);
        FFile.write(reinterpret_cast<const char*>(h), sizeof(h));
        FFile.close();
        return !FFile.fail();
    }
    int64_t Bytes() const { return static_cast<int64_t>(FBytes); }

private:
    std::ofstream FFile;
    size_t FBytes = 0;
};

// Hands the mix from the output thread to the writing thread. Fixed size: when full, the
// output thread waits for the writer as it would for a device.
class TRing {
public:
    explicit TRing(size_t Size) : FData(Size) {}

    void Put(const uint8_t* Data, size_t Size) {
        std::unique_lock<std::mutex> lock(FLock);
        while (Size > 0) {
            FRoom.wait(lock, [&] { return FCount < FData.size(); });
            const size_t n = std::min(Size, FData.size() - FCount);
            const size_t at = (FHead + FCount) % FData.size();
            const size_t first = std::min(n, FData.size() - at);
            std::memcpy(FData.data() + at, Data, first);
            std::memcpy(FData.data(), Data + first, n - first);
            FCount += n;
            Data += n;
            Size -= n;
        }
    }

    // Takes out what is there into Out; answers the bytes taken.
    size_t Take(std::vector<uint8_t>& Out) {
        std::lock_guard<std::mutex> lock(FLock);
        Out.resize(FCount);
        const size_t first = std::min(FCount, FData.size() - FHead);
        std::memcpy(Out.data(), FData.data() + FHead, first);
        std::memcpy(Out.data() + first, FData.data(), FCount - first);
        const size_t n = FCount;
        FHead = (FHead + FCount) % FData.size();
        FCount = 0;
        FRoom.notify_all();
        return n;
    }

private:
    std::mutex FLock;
    std::condition_variable FRoom;
    std::vector<uint8_t> FData;
    size_t FHead = 0;
    size_t FCount = 0;
};

// Between the output pair and the master channel: copies what the output pulls, holds the
// output's clock until the decks have decoded what it asks for, and notices the end.
class TCaptureTap : public IPinSource {
public:
    TCaptureTap(IPinSourcePtr Master, TRing& Ring, TKelvarPlayer* Decks[2], std::atomic<bool>& NoMoreFiles)
        : FMaster(std::move(Master)), FRing(Ring), FDecks{Decks[0], Decks[1]}, FNoMoreFiles(NoMoreFiles) {}

    void SetSink(IPinSinkPtr) override {}
    TWaveFormat GetFormat() override { return FMaster->GetFormat(); }

    int Pull(void* Buffer, int Length, TStreamTime& Time) override {
        if (FDone) {
            std::memset(Buffer, 0, static_cast<size_t>(Length));
            return Length;
        }
        if (!FStarted) {
            FStarted = true;
            FStartWall = std::chrono::steady_clock::now();
            FStartCpu = CpuNow();
        }
        Pace();
        const int n = FMaster->Pull(Buffer, Length, Time);
        if (n > 0) FRing.Put(static_cast<const uint8_t*>(Buffer), static_cast<size_t>(n));
        if (Finished()) {
            FEndWall = std::chrono::steady_clock::now();
            FEndCpu = CpuNow();
            FDone = true;
        }
        return n;
    }

    bool Done() const { return FDone.load(); }
    int Stalls() const { return FStalls.load(); }
    double WallSeconds() const { return std::chrono::duration<double>(FEndWall - FStartWall).count(); }
    double CpuSeconds() const { return FEndCpu - FStartCpu; }

private:
    static bool Active(TKelvarPlayer& Deck) {
        return (Deck.Channel->GetMixMode() & MixMode::Playing) != 0 && Deck.IsLoaded() && !Deck.IsFinished();
    }

    bool Finished() {
        if (!FNoMoreFiles) return false;
        for (auto* deck : FDecks) {
            if (deck->IsLoaded() && !deck->IsFinished()) return false;
        }
        return true;
    }

    // The output's clock runs as fast as the decks decode and the automation starts them. A
    // playing deck keeps its look-ahead (the fade trigger needs the end of the song decoded
    // well before it is heard), as in real-time playback: once its bridge has run a second
    // below full, the output waits until the worker has filled it again or reached the end.
    bool Ready() {
        bool active = false;
        for (int i = 0; i < 2; ++i) {
            TKelvarPlayer& deck = *FDecks[i];
            if (!Active(deck)) {
                FRefilling[i] = false;
                continue;
            }
            active = true;
            if (deck.IsEndOfStream()) continue;
            const int free = deck.Channel->GetPushPull()->GetBuffer()->FreeSpace();
            if (free > LookAheadSlack) FRefilling[i] = true;
            if (FRefilling[i] && free > RefillDone) return false;
            FRefilling[i] = false;
        }
        if (active) return true;
        // Nothing plays: wait for the automation to start the next deck, unless all is over.
        return Finished();
    }

    void Pace() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!Ready()) {
            if (std::chrono::steady_clock::now() > limit) {
                ++FStalls;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    IPinSourcePtr FMaster;
    TRing& FRing;
    TKelvarPlayer* FDecks[2];
    std::atomic<bool>& FNoMoreFiles;
    std::atomic<bool> FDone{false};
    std::atomic<int> FStalls{0};
    bool FRefilling[2] = {false, false};
    bool FStarted = false;
    std::chrono::steady_clock::time_point FStartWall, FEndWall;
    double FStartCpu = 0, FEndCpu = 0;
};

void ApplySettingsText(const std::string& Text) {
    TSongSettings own, builtIn;
    InitSongSettings(builtIn);
    StringToSongSettings(Text, own);
    // Keys left out keep their built-in values.
    MergeSongSettings(builtIn, own, DefaultSongSettings);
    DefaultSongSettings.BPM = own.BPM;
}

}  // namespace

TRenderResult Render(const TRenderOptions& Options) {
    TRenderResult result;
    TAudioPipe pipe;
    TKelvarPlayer deckA, deckB;
    TKelvarPlayer* decks[2] = {&deckA, &deckB};

    if (!Options.Config.empty()) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(Options.Config, ec)) {
            result.Error = "Cannot read configuration " + Options.Config;
            return result;
        }
        try {
            auto doc = TConfigDoc_XML::Create(Options.Config);
            auto kelvar = doc->Section("Kelvar");
            pipe.LoadConfig(*kelvar->Section("AudioPipe"));
            auto defaults = kelvar->Section("DefSongSettings");
            ApplySettingsText(defaults->ReadString("FadeSettings", SongSettingsToString(DefaultSongSettings)));
            DefaultSongSettings.GapKiller =
                static_cast<int32_t>(defaults->ReadInteger("GapKillerOn", DefaultSongSettings.GapKiller));
            auto players = kelvar->Section("Players");
            auto gapKiller = kelvar->Section("GapKillerEx");
            for (int i = 0; i < 2; ++i) {
                decks[i]->LoadConfig(*players->Section("Player" + std::to_string(i)));
                decks[i]->Channel->GapKiller->LockedLoadConfig(*gapKiller);
            }
        } catch (const std::exception& e) {
            result.Error = "Cannot read configuration " + Options.Config + " (" + e.what() + ")";
            return result;
        }
    }
    if (Options.HasSettings) ApplySettingsText(Options.Settings);

    TDualOutput_Combo& output = pipe.GetOutput();
    output.FOutputType1 = OutputType::Silent;
    output.FOutputType2 = OutputType::Silent;
    output.FPreviewStyle = PreviewStyle::None;
    output.FSilentClockRate = Options.ClockRate > 0 ? Options.ClockRate : 1e6;
    pipe.GetMixer().SetPreviewEnabled(false);

    std::atomic<bool> noMoreFiles{false};
    for (int i = 0; i < 2; ++i) {
        TKelvarPlayer* other = decks[1 - i];
        pipe.GetMixer().AddSource(decks[i]->Channel->GetOutput());
        decks[i]->SetDefaultSettings(&DefaultSongSettings);
        // On the output thread: start the other deck when it is loaded, as the core does.
        decks[i]->OnNextSong = [other](TKelvarPlayer&) {
            std::lock_guard<std::recursive_mutex> guard(other->GetLock());
            if (other->IsLoaded() && !other->IsFinished()) other->Play();
        };
    }

    TWavWriter writer;
    if (!writer.Open(Options.Output)) {
        result.Error = "Cannot write " + Options.Output;
        return result;
    }

    size_t next = 0;
    size_t loadedFile[2] = {0, 0};  // which file each deck holds, to start them in order
    auto loadNext = [&](int index) {
        while (next < Options.Files.size()) {
            const std::string& file = Options.Files[next];
            auto song = TSongInfo::Create(static_cast<int>(next), file);
            loadedFile[index] = next++;
            if (decks[index]->LoadSong(song)) {
                ++result.Loaded;
                break;
            }
            ++result.Failed;
            LogMessage("Failed to play " + file, DeckSources[index], LogKind::Warning);
            decks[index]->Unload();
        }
        if (next >= Options.Files.size()) noMoreFiles = true;
    };

    TRing ring(2 << 20);
    auto tap = std::make_shared<TCaptureTap>(pipe.GetMixer().GetMasterOutput(), ring, decks, noMoreFiles);
    std::vector<uint8_t> block;
    auto drain = [&] {
        if (ring.Take(block) == 0) return;
        const auto* samples = reinterpret_cast<const int16_t*>(block.data());
        int peak = result.Peak;
        for (size_t i = 0; i < block.size() / 2; ++i) peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
        result.Peak = peak;
        writer.Write(block.data(), block.size());
    };

    loadNext(0);
    if (result.Loaded > 0) {
        deckA.Play();
        output.SetMainSource(tap);
        output.SetPreviewSource(pipe.GetMixer().GetPreviewPin());
        if (!output.Open(DefaultAudioFormat)) {
            int32_t code = 0;
            std::string text;
            output.GetLastError(code, text);
            result.Error = "Failed to open audio pipeline (" + text + ")";
        } else {
            output.Play();
            // The automation: eject finished decks, load the idle one, start a ready deck when
            // nothing plays (the start-next events start it when the songs crossfade).
            while (!tap->Done()) {
                for (int i = 0; i < 2; ++i) {
                    TKelvarPlayer* deck = decks[i];
                    deck->GetDuration();
                    const int state = deck->GetState();
                    if (state == DeckState::Playing && deck->IsFinished()) deck->Unload();
                    if (state == DeckState::Ready && deck->IsFinished()) {
                        // Finished before it was played: nothing in it could be decoded.
                        ++result.Failed;
                        LogMessage("Nothing to play in " + Options.Files[loadedFile[i]], DeckSources[i], LogKind::Warning);
                        deck->Unload();
                    }
                }
                for (int i = 0; i < 2; ++i) {
                    if (decks[i]->GetState() == DeckState::Empty && next < Options.Files.size()) loadNext(i);
                }
                const bool playing = std::any_of(std::begin(decks), std::end(decks), [](TKelvarPlayer* d) {
                    return d->GetState() == DeckState::Playing && !d->IsFinished();
                });
                if (!playing) {
                    const int first = loadedFile[0] <= loadedFile[1] ? 0 : 1;
                    for (int i : {first, 1 - first}) {
                        std::lock_guard<std::recursive_mutex> guard(decks[i]->GetLock());
                        if (decks[i]->GetState() == DeckState::Ready) {
                            decks[i]->Play();
                            break;
                        }
                    }
                }
                drain();
                // The output waits for this loop whenever nothing plays, so its pace only
                // costs wall time, never audio.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            output.Close();
            drain();
            result.WallSeconds = tap->WallSeconds();
            result.CpuSeconds = tap->CpuSeconds();
            if (tap->Stalls() > 0) {
                LogMessage("The decks fell behind the output " + std::to_string(tap->Stalls()) + " times", "RENDER", LogKind::Warning);
            }
        }
    }
    for (auto* deck : decks) {
        deck->Unload();
        pipe.GetMixer().RemoveSource(deck->Channel->GetOutput());
    }
    if (!writer.Close() && result.Error.empty()) result.Error = "Cannot write " + Options.Output;
    result.Bytes = writer.Bytes();
    result.AudioSeconds = static_cast<double>(result.Bytes) / DefaultAudioFormat.AvgBytesPerSec;
    result.Ok = result.Error.empty();
    return result;
}

}  // namespace kelvar::render
