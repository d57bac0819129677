#pragma once
// The stereo peak meter with its dB scale; decks, the voice window and the audio editors embed it.
#include <QWidget>
#include <array>

class QLabel;

namespace kelvar {

class TKcLevelBar;

// The scale marks in dB, from the bottom of the bars up.
constexpr std::array<int, 10> VUScaleMarks = {-30, -20, -15, -10, -7, -5, -3, -2, -1, 0};

class TfrmVUMeterBase : public QWidget {
public:
    explicit TfrmVUMeterBase(QWidget* Parent = nullptr);

    virtual void Init();
    virtual void Done();
    // Levels are dB below full scale; Scale multiplies the bar position (0..100).
    void SetLevels(double Scale, double Right, double Left);

    TKcLevelBar* ePeakL = nullptr;
    TKcLevelBar* ePeakR = nullptr;
    QLabel* lbL = nullptr;
    QLabel* lbR = nullptr;
    QLabel* lbdB = nullptr;
    // "lb30" .. "lb0", in the order of VUScaleMarks.
    std::array<QLabel*, 10> ScaleLabels{};

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void FrameResize();
};

}  // namespace kelvar
