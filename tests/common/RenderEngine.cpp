#include "common/RenderEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "audio/mix/AudioPipe_imp.h"
#include "audio/nodes/Node_GapKiller.h"
#include "audio/nodes/SampleScan.h"
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
// What a deck's worker decodes per millisecond, give or take: a step of compressed input
// (some 170 ms of audio) each millisecond.
const int RefillBytesPerMs = 32768;

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
        auto le32 = [&](int at, uint32_t v) {
            for (int i = 0; i < 4; ++i) h[at + i] = (v >> (8 * i)) & 0xFF;
        };
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
// output thread waits for the writer as it would for a device. The writer takes the filled
// block whole and leaves its own emptied one, so nothing is copied twice.
class TRing {
public:
    explicit TRing(size_t Size) : FLimit(Size) { FFill.reserve(Size); }

    // Answers how full the ring is now.
    size_t Put(const uint8_t* Data, size_t Size) {
        std::unique_lock<std::mutex> lock(FLock);
        while (Size > 0) {
            FRoom.wait(lock, [&] { return FFill.size() < FLimit; });
            const size_t n = std::min(Size, FLimit - FFill.size());
            FFill.insert(FFill.end(), Data, Data + n);
            Data += n;
            Size -= n;
        }
        return FFill.size();
    }
    size_t Limit() const { return FLimit; }

    // Takes out what is there into Out; answers the bytes taken.
    size_t Take(std::vector<uint8_t>& Out) {
        Out.clear();
        // Reserved here, so the output thread's appends never allocate.
        if (Out.capacity() < FLimit) Out.reserve(FLimit);
        std::lock_guard<std::mutex> lock(FLock);
        Out.swap(FFill);
        FRoom.notify_all();
        return Out.size();
    }

private:
    std::mutex FLock;
    std::condition_variable FRoom;
    const size_t FLimit;
    std::vector<uint8_t> FFill;
};

// Between the output pair and the master channel: copies what the output pulls, holds the
// output's clock until the decks have decoded what it asks for, and notices the end.
class TCaptureTap : public IPinSource {
public:
    // OnEnd: called once on the output thread when the end has been captured.
    TCaptureTap(IPinSourcePtr Master, TRing& Ring, TKelvarPlayer* Decks[2], std::atomic<bool>& NoMoreFiles,
                std::function<void()> OnEnd)
        : FMaster(std::move(Master)),
          FRing(Ring),
          FDecks{Decks[0], Decks[1]},
          FNoMoreFiles(NoMoreFiles),
          FOnEnd(std::move(OnEnd)) {}

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
        if (n > 0 && FRing.Put(static_cast<const uint8_t*>(Buffer), static_cast<size_t>(n)) >= FRing.Limit() / 2)
            Wake();
        // A deck loaded, ejected or finished: the automation has work.
        const int decks = DeckStates();
        if (decks != FDeckStates) {
            FDeckStates = decks;
            Wake();
        }
        if (Finished()) {
            FEndWall = std::chrono::steady_clock::now();
            FEndCpu = CpuNow();
            {
                std::lock_guard<std::mutex> lock(FDoneLock);
                FDone = true;
                FDoneSignal.notify_all();
            }
            if (FOnEnd) FOnEnd();
        }
        return n;
    }

    bool Done() const { return FDone.load(); }
    // Waits up to Time for the end or for work for the automation; answers whether the end
    // came.
    bool Wait(std::chrono::milliseconds Time) {
        std::unique_lock<std::mutex> lock(FDoneLock);
        FDoneSignal.wait_for(lock, Time, [&] { return FDone.load() || FWake; });
        FWake = false;
        return FDone.load();
    }
    int Stalls() const { return FStalls.load(); }
    double WallSeconds() const { return std::chrono::duration<double>(FEndWall - FStartWall).count(); }
    double CpuSeconds() const { return FEndCpu - FStartCpu; }

private:
    static bool Active(TKelvarPlayer& Deck) {
        return (Deck.Channel->GetMixMode() & MixMode::Playing) != 0 && Deck.IsLoaded() && !Deck.IsFinished();
    }

    void Wake() {
        std::lock_guard<std::mutex> lock(FDoneLock);
        FWake = true;
        FDoneSignal.notify_all();
    }

    int DeckStates() const {
        int states = 0;
        for (int i = 0; i < 2; ++i)
            states |= (FDecks[i]->IsLoaded() ? 1 : 0) << (2 * i) | (FDecks[i]->IsFinished() ? 2 : 0) << (2 * i);
        return states;
    }

    // The automation has a deck to eject or load, or a loaded deck's worker has not yet shown
    // whether its file holds audio: a start-next event now would meet a deck whose state
    // depends on timing.
    bool AutomationPending() const {
        return std::any_of(std::begin(FDecks), std::end(FDecks), [this](TKelvarPlayer* deck) {
            if (!deck->IsLoaded() || deck->IsFinished()) return !FNoMoreFiles;
            if (deck->IsEndOfStream()) return false;
            // A deck waiting to be started holds its look-ahead, as it does on air: a start-next
            // event may start it inside any pull, and it must then deliver the same audio
            // whether its worker was quick or not.
            if ((deck->Channel->GetMixMode() & MixMode::Playing) == 0)
                return deck->Channel->GetPushPull()->GetBuffer()->FreeSpace() > LookAheadSlack;
            return !deck->HasAudio();
        });
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
        // Under the decks' locks: a worker publishes the end of its stream and then, in the same
        // step, the fade trigger places the crossfade's events. Seen in between, the deck would
        // be pulled before its events are queued, and the crossfade would start late.
        std::scoped_lock decks(FDecks[0]->GetLock(), FDecks[1]->GetLock());
        FMissing = 0;
        // A deck the automation has still to eject or load: a start-next event now would find
        // it not ready, and the songs would not overlap as they do when the automation is quick.
        if (AutomationPending()) {
            Wake();
            return false;
        }
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
            if (FRefilling[i] && free > RefillDone) {
                FMissing = free - RefillDone;
                return false;
            }
            FRefilling[i] = false;
        }
        if (active) return true;
        // Nothing plays: wait for the automation to start the next deck, unless all is over.
        if (Finished()) return true;
        Wake();
        return false;
    }

    // The output waits for the decks however long the machine takes: pulling before they are
    // ready would render silence that depends on the load. Only a wait in which nothing moves for
    // a long time (a worker that hangs) gives up, and the render then fails.
    void Pace() {
        auto limit = std::chrono::steady_clock::now() + StallLimit;
        uint64_t progress = Progress();
        while (!Ready()) {
            if (const uint64_t now = Progress(); now != progress) {
                progress = now;
                limit = std::chrono::steady_clock::now() + StallLimit;
            }
            if (std::chrono::steady_clock::now() > limit) {
                ++FStalls;
                return;
            }
            // About the time the worker takes to decode what is missing, so that a refill
            // costs the output thread a few wake-ups rather than one per millisecond.
            std::this_thread::sleep_for(
                std::chrono::microseconds(std::clamp(FMissing / RefillBytesPerMs, 1, 8) * 1000));
        }
    }

    // Changes whenever a deck decodes, loads, ejects or finishes.
    uint64_t Progress() const {
        uint64_t sum = static_cast<uint64_t>(DeckStates());
        for (auto* deck : FDecks) {
            sum = sum * 31 + static_cast<uint64_t>(deck->Channel->GetPushPull()->GetBuffer()->FreeSpace());
            sum = sum * 31 + (deck->IsEndOfStream() ? 1 : 0);
        }
        return sum;
    }

    static constexpr std::chrono::seconds StallLimit{60};
    IPinSourcePtr FMaster;
    TRing& FRing;
    TKelvarPlayer* FDecks[2];
    std::atomic<bool>& FNoMoreFiles;
    std::function<void()> FOnEnd;
    std::atomic<bool> FDone{false};
    std::mutex FDoneLock;
    std::condition_variable FDoneSignal;
    bool FWake = false;    // under FDoneLock
    int FDeckStates = -1;  // loaded and finished flags of the decks at the last pull
    std::atomic<int> FStalls{0};
    bool FRefilling[2] = {false, false};
    int FMissing = 0;  // bytes a refilling deck still lacks
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
    output.SetSettings([&] {
        auto settings = output.GetSettings();
        settings.OutputType1 = OutputType::Silent;
        settings.OutputType2 = OutputType::Silent;
        settings.PreviewStyle = PreviewStyle::None;
        settings.SilentClockRate = Options.ClockRate > 0 ? Options.ClockRate : 1e6;
        return settings;
    }());
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

    // A finished deck is ejected; its file failed when it delivered no audio. Whether the deck
    // was started before its worker found nothing in it depends on timing; that does not.
    auto ejectFinished = [&](int index) {
        TKelvarPlayer* deck = decks[index];
        const int state = deck->GetState();
        if ((state != DeckState::Playing && state != DeckState::Ready) || !deck->IsFinished()) return;
        if (!deck->HasAudio()) {
            ++result.Failed;
            LogMessage("Nothing to play in " + Options.Files[loadedFile[index]], DeckSources[index], LogKind::Warning);
        }
        deck->Unload();
    };

    TRing ring(2 << 20);
    // Past the end the output is paused, so it waits for its close instead of pulling silence
    // as fast as it can.
    auto tap = std::make_shared<TCaptureTap>(pipe.GetMixer().GetMasterOutput(), ring, decks, noMoreFiles,
                                             [&output] { output.Pause(); });
    std::vector<uint8_t> block;
    auto drain = [&] {
        if (ring.Take(block) == 0) return;
        int lowest = 0, highest = 0;
        SampleRange16(block.data(), block.size() / 2, lowest, highest);
        result.Peak = std::max({result.Peak, highest, -lowest});
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
                // A loaded deck whose worker has not yet shown whether its file holds audio
                // may still finish at once: acting before it settles would hand the next
                // files to the decks in an order that depends on the load, and the deck that
                // is pulled first starts a crossfade one block earlier.
                const bool settled = std::all_of(std::begin(decks), std::end(decks), [](TKelvarPlayer* d) {
                    return !d->IsLoaded() || d->IsFinished() || d->HasAudio() || d->IsEndOfStream();
                });
                if (!settled) {
                    drain();
                    tap->Wait(std::chrono::milliseconds(1));
                    continue;
                }
                for (int i = 0; i < 2; ++i) {
                    decks[i]->GetDuration();
                    ejectFinished(i);
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
                // costs wall time, never audio. The tap wakes it when a deck changes state
                // or the ring fills; otherwise it looks every few milliseconds, as a timer.
                tap->Wait(std::chrono::milliseconds(10));
            }
            output.Close();
            // The end can come before the loop saw the last decks finish.
            for (int i = 0; i < 2; ++i) ejectFinished(i);
            drain();
            result.WallSeconds = tap->WallSeconds();
            result.CpuSeconds = tap->CpuSeconds();
            if (tap->Stalls() > 0) {
                result.Error = "The decks stopped decoding " + std::to_string(tap->Stalls()) + " times";
                LogMessage(result.Error, "RENDER", LogKind::Error);
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
