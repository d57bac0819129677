// Painting cost of a deck: two level bars refreshed every 25 ms, the song position slider every
// 30 ms and the LCD clock once a second, for one simulated minute. The counter main_thread_pct is
// the share of that minute the main thread spends painting.
#include "controls/KcLcd.h"
#include "controls/KcLevelBar.h"
#include "controls/KcSlider.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QWidget>
#include <chrono>
#include <cmath>
#include <memory>

namespace {

using namespace kelvar;

QApplication& App() {
    static int Argc = 1;
    static char Name[] = "bench_controls";
    static char* Argv[] = {Name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication Instance(Argc, Argv);
    return Instance;
}

struct Deck {
    QWidget Window;
    TKcLevelBar* Left = new TKcLevelBar(&Window);
    TKcLevelBar* Right = new TKcLevelBar(&Window);
    TKcSlider* Position = new TKcSlider(&Window);
    TKcClock* Time = new TKcClock(&Window);

    Deck() {
        Window.resize(320, 200);
        Left->move(4, 4);
        Right->move(28, 4);
        Position->SetOrientation(TKcOrientation::voHorizontal);
        Position->setGeometry(60, 4, 225, 33);
        Position->SetMaxValue(240000);
        Time->SetClockType(TKcClockType::ctCustom);
        Time->move(60, 60);
        Window.show();
        QApplication::processEvents();
    }
};

// Repaints a control now when its value changed, as the deck's refresh callbacks do.
template <typename Control>
void Show(Control* C, int Value, int& Last) {
    if (Value == Last) return;
    Last = Value;
    C->SetPosition(Value);
    C->repaint();
}

void BM_DeckMinute(benchmark::State& State) {
    App();
    Deck D;
    double Share = 0;
    for (auto _ : State) {
        int LastL = -1, LastR = -1, LastP = -1;
        const auto Start = std::chrono::steady_clock::now();
        for (int Ms = 0; Ms < 60000; Ms += 5) {
            if (Ms % 25 == 0) {
                const double T = Ms / 1000.0;
                Show(D.Left, int(50 + 45 * std::sin(T * 7.0)), LastL);
                Show(D.Right, int(50 + 45 * std::sin(T * 5.3 + 1)), LastR);
            }
            if (Ms % 30 == 0) Show(D.Position, Ms * 4, LastP);
            if (Ms % 1000 == 0) {
                D.Time->SetMinutes(Ms / 60000);
                D.Time->SetSeconds((Ms / 1000) % 60);
                D.Time->repaint();
            }
        }
        const double Spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        Share = Spent / 60.0 * 100.0;
    }
    State.counters["main_thread_pct"] = Share;
}
BENCHMARK(BM_DeckMinute)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LevelBarRepaint(benchmark::State& State) {
    App();
    Deck D;
    int V = 0;
    for (auto _ : State) {
        V = (V + 37) % 101;
        D.Left->SetPosition(V);
        D.Left->repaint();
    }
}
BENCHMARK(BM_LevelBarRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
