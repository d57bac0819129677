#pragma once
// The clock window: an analogue and a digital clock and a pie of the hour gone by.
#include <QWidget>

class QFrame;

namespace kelvar {

class TKcAnalogClock;
class TKcClock;
class TKcPercentPie;

class TfrmClock : public QWidget {
public:
    explicit TfrmClock(QWidget* Parent = nullptr);
    ~TfrmClock() override;

    void Attach();
    void Detach();
    void Refresh();

    TKcAnalogClock* eAnalog = nullptr;
    QFrame* pBottom = nullptr;
    TKcClock* eDigital = nullptr;
    QWidget* pChart = nullptr;
    TKcPercentPie* eChart = nullptr;

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    void LayoutFrame();
    void pBottomResize();
    bool FRegistered = false;
};

}  // namespace kelvar
