// The user interface's cost on air: decks A and B playing with their windows, the fade control,
// the clock and the event log shown in the main window (offscreen), for a while of wall time.
// Reported: the main thread's CPU share over the run, one deck window refresh (median, 99th
// percentile and worst; "paint" adds the repaint the refresh caused), and how late the core's
// automation tick runs, which shares the main thread with the windows: "tick_delay" is the wait
// between a heartbeat pass being handed to the main thread and its running there (a probe thread
// hands over a call every 100 ms the same way), "tick_period_late" how much a 100 ms task beside
// the tick overran its period (the heartbeat wakes at most every 50 ms, so up to 50 ms of this
// is its own granularity). The same run without any window ("windows:0") is the baseline.
// KELVAR_GUI_BENCH_SECONDS sets the run's length (default 60).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/BenchSongDatabase.h"
#include "core/AutoRecovery.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/MainThread.h"
#include "gui/QtMainThread.h"
#include "gui/WindowItems.h"
#include "gui/decks/funPlayer.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/KelvarGui.h"
#include "gui/unMDIGUI.h"
#include "media/SongInfo_imp.h"

using namespace kelvar;

namespace {

int RunSeconds() {
    const char* text = std::getenv("KELVAR_GUI_BENCH_SECONDS");
    const int seconds = text ? std::atoi(text) : 60;
    return std::clamp(seconds, 1, 3600);
}

void WriteToneWav(const std::string& path, int ms, double step) {
    const uint32_t frames = static_cast<uint32_t>(int64_t{44100} * ms / 1000);
    std::vector<int16_t> pcm(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) pcm[2 * i] = pcm[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(i * step));
    const uint32_t bytes = frames * 4;
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(bytes);
    f.write(reinterpret_cast<const char*>(pcm.data()), bytes);
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(std::ceil(p * values.size())) - 1);
    return values[index];
}

QApplication& Application() {
    static int argc = 1;
    static char name[] = "bench_gui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

void BM_DecksPlayingWithWindows(benchmark::State& state) {
    Application();
    const bool withWindows = state.range(0) != 0;
    const int seconds = RunSeconds();
    benchdb::TBenchSongDatabase db("gui", {});
    auto dispatcher = std::make_shared<TQtMainThread>();
    SetMainThreadDispatcher(dispatcher);

    // Songs longer than the run so that both decks play throughout.
    const int songMs = (seconds + 10) * 1000;
    std::vector<std::string> files;
    for (int i = 0; i < 2; ++i) {
        files.push_back((db.Folder / ("song" + std::to_string(i) + ".wav")).string());
        WriteToneWav(files.back(), songMs, 0.03 + 0.02 * i);
    }

    auto heartbeat = std::make_unique<THeartBeat>();
    auto core = std::make_unique<TKelvar>();
    core->SetHeartbeat(heartbeat.get());
    core->Init();
    IConfigDocPtr doc = TConfigDoc_XML::Create("");
    auto node = doc->Section("Kelvar");
    node->WriteInteger("ProcessPriority", GetPriorityClass());
    node->Section("AudioPipe")->Section("Output")->WriteInteger("OutputType1", 0);
    core->LoadConfig(*node);
    auto api = std::make_unique<TKelvarApi>(*core);
    api->SetDJMode(DJModes::Manual);
    core->DoAfterLoad();

    GuiWindowList.reset();
    RegisterWindowItems();
    auto engine = std::make_unique<TKelvarGui>((db.Folder / "bench.gui.xml").string());
    SetProgramKelvarApi(api.get());
    const std::string layout = (db.Folder / "bench.kgl").string();
    {
        auto l = TConfigDoc_XML::Create(layout);
        l->Section("MAIN")->WriteInteger("Width", 1000);
        l->Section("MAIN")->WriteInteger("Height", 700);
        auto desk = l->Section("DeskTop0");
        const std::vector<std::tuple<const char*, int, int>> shown = {
            {"PlayerA", 4, 4}, {"PlayerB", 358, 4}, {"FadeControl", 4, 214}, {"EventLog", 358, 214}, {"Clock", 712, 4}};
        for (const auto& [name, left, top] : shown) {
            auto w = desk->Section(name);
            w->WriteBool("Visible", true);
            w->WriteInteger("Left", left);
            w->WriteInteger("Top", top);
        }
        l->Save();
    }
    std::unique_ptr<TfoMDIGui> window;
    if (withWindows) {
        window = std::make_unique<TfoMDIGui>();
        window->FWindowList = GuiWindowList;
        window->FLayoutFileName = layout;
        window->DoInit();
    }

    for (int i = 0; i < 2; ++i) {
        TKelvarPlayer* deck = api->DeckPlayer(i == 0 ? TDeckId::DeckA : TDeckId::DeckB);
        auto song = TSongInfo::Create(0, files[static_cast<size_t>(i)]);
        song->SetArtist("Artist " + std::to_string(i));
        song->SetTitle("Title " + std::to_string(i));
        song->SetDuration(songMs);
        if (!deck->LoadSong(song)) state.SkipWithError("a deck could not load its song");
        deck->Play();
    }

    IWindowItemPtr deckItem = window ? window->ItemNamed("PlayerA") : nullptr;
    auto* deckFrame = deckItem && deckItem->IsActive() ? dynamic_cast<TfrmPlayer*>(deckItem->GetFrame()) : nullptr;
    if (withWindows && !deckFrame) state.SkipWithError("deck A's window is not shown");

    std::vector<double> refreshUs;
    std::vector<double> paintUs;
    std::vector<double> tickLateMs;
    int64_t lastTickNs = 0;
    QElapsedTimer clock;
    clock.start();
    // A refresh of deck A's window as its own heartbeat runs it, timed: at the deck window's rate.
    int probe = 0;
    if (withWindows)
        GuiHeartBeat->Add(50, &probe, 1, [&](THeartBeat&) {
            if (!deckFrame) return;
            const int64_t start = clock.nsecsElapsed();
            deckFrame->Refresh();
            const int64_t refreshed = clock.nsecsElapsed();
            QCoreApplication::sendPostedEvents(deckFrame->window(), QEvent::UpdateRequest);
            refreshUs.push_back(static_cast<double>(refreshed - start) / 1000.0);
            paintUs.push_back(static_cast<double>(clock.nsecsElapsed() - start) / 1000.0);
        });
    // A 100 ms task on the core's heartbeat beside the automation tick: how late it runs.
    heartbeat->Add(100, &probe, 2, [&](THeartBeat&) {
        const int64_t now = clock.nsecsElapsed();
        if (lastTickNs != 0) tickLateMs.push_back(std::max(0.0, static_cast<double>(now - lastTickNs) / 1e6 - 100.0));
        lastTickNs = now;
    });

    // Hands a call to the main thread every 100 ms, as the heartbeat thread does, and notes the wait.
    std::vector<double> delayMs;
    std::atomic<bool> probing{true};
    std::thread prober([&] {
        while (probing) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const int64_t posted = clock.nsecsElapsed();
            PostToMainThread([&delayMs, &clock, posted] {
                delayMs.push_back(static_cast<double>(clock.nsecsElapsed() - posted) / 1e6);
            });
        }
    });

    for (auto _ : state) {
        const double cpuStart = ThreadCpuSeconds();
        const int64_t wallStart = clock.nsecsElapsed();
        QTimer::singleShot(seconds * 1000, qApp, [] { QCoreApplication::quit(); });
        QApplication::exec();
        const double wall = static_cast<double>(clock.nsecsElapsed() - wallStart) / 1e9;
        const double cpu = ThreadCpuSeconds() - cpuStart;
        state.SetIterationTime(wall);
        state.counters["main_cpu_pct"] = 100.0 * cpu / wall;
        state.counters["refreshes"] = static_cast<double>(refreshUs.size());
        state.counters["refresh_p50_us"] = Percentile(refreshUs, 0.5);
        state.counters["refresh_p99_us"] = Percentile(refreshUs, 0.99);
        state.counters["refresh_max_us"] =
            refreshUs.empty() ? 0 : *std::max_element(refreshUs.begin(), refreshUs.end());
        state.counters["paint_p50_us"] = Percentile(paintUs, 0.5);
        state.counters["paint_p99_us"] = Percentile(paintUs, 0.99);
        state.counters["tick_period_late_p99_ms"] = Percentile(tickLateMs, 0.99);
        state.counters["tick_delay_p50_ms"] = Percentile(delayMs, 0.5);
        state.counters["tick_delay_p99_ms"] = Percentile(delayMs, 0.99);
        state.counters["tick_delay_max_ms"] = delayMs.empty() ? 0 : *std::max_element(delayMs.begin(), delayMs.end());
        state.counters["deckA_pos_s"] = static_cast<double>(api->DeckPlayer(TDeckId::DeckA)->GetPosition()) / 1000.0;
    }

    probing = false;
    prober.join();
    QCoreApplication::processEvents();
    GuiHeartBeat->Remove(&probe, 1);
    heartbeat->Remove(&probe, 2);
    if (window) window->DoQuit();
    window.reset();
    engine->DoQuit();
    engine.reset();
    SetProgramKelvarApi(nullptr);
    api.reset();
    core->EjectAll();
    heartbeat->Clear();
    core.reset();
    heartbeat.reset();
    dispatcher->Close();
    SetMainThreadDispatcher(db.Loop);
}

BENCHMARK(BM_DecksPlayingWithWindows)
    ->ArgName("windows")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
