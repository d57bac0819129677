#include "gui/decks/funClock.h"

#include <QFrame>
#include <ctime>

#include "controls/KcAnalog.h"
#include "controls/KcGraphs.h"
#include "controls/KcLcd.h"
#include "foundation/Clock.h"
#include "gui/engine/GUIcommon.h"

namespace kelvar {

namespace {
constexpr int BottomHeight = 46;
constexpr int BottomBorder = 3;
constexpr TColor DarkGreen = 0x005900;  // RGB 0, 89, 0
}  // namespace

TfrmClock::TfrmClock(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmClock");
    eAnalog = new TKcAnalogClock(this);
    eAnalog->setObjectName("eAnalog");
    eAnalog->SetSecHandColor(clSilver);
    eAnalog->SetTickWidth(3);

    pBottom = new QFrame(this);
    pBottom->setObjectName("pBottom");
    pBottom->setAutoFillBackground(true);
    QPalette pal = pBottom->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pBottom->setPalette(pal);

    eDigital = new TKcClock(pBottom);
    eDigital->setObjectName("eDigital");
    eDigital->SetClockType(TKcClockType::ctCustom);
    eDigital->SetShowSeconds(true);
    eDigital->SetPalette(TKcPalette(DarkGreen, clLime));
    eDigital->SetColor(clBlack);

    pChart = new QWidget(pBottom);
    pChart->setObjectName("pChart");
    eChart = new TKcPercentPie(pChart);
    eChart->setObjectName("eChart");
    eChart->SetColor(clBlack);
    eChart->Segments().Add().SetColor(clLime);
    eChart->Segments().Add().SetColor(DarkGreen);
    resize(197, 208);
    LayoutFrame();
}

TfrmClock::~TfrmClock() { Detach(); }

void TfrmClock::Attach() {
    eAnalog->SetActive(true);
    Refresh();
    if (GuiHeartBeat && !FRegistered) {
        GuiHeartBeat->Add(1000, this, 1, [this](THeartBeat&) { Refresh(); });
        FRegistered = true;
    }
}

void TfrmClock::Detach() {
    if (FRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, 1);
    FRegistered = false;
    eAnalog->SetActive(false);
}

void TfrmClock::Refresh() {
    const std::time_t t = std::chrono::system_clock::to_time_t(ClockNow());
    std::tm tm{};
    localtime_r(&t, &tm);
    eDigital->SetSeconds(tm.tm_sec);
    eDigital->SetMinutes(tm.tm_min);
    eDigital->SetHours(tm.tm_hour);
    const int s = tm.tm_sec == 0 ? 1 : tm.tm_sec;
    const int elapsed = tm.tm_min * 60 + s;
    eChart->Segments().Items(0).SetValue(elapsed);
    eChart->Segments().Items(1).SetValue(3600 - elapsed);
}

void TfrmClock::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    LayoutFrame();
}

void TfrmClock::LayoutFrame() {
    eAnalog->setGeometry(0, 0, width(), std::max(0, height() - BottomHeight));
    pBottom->setGeometry(0, height() - BottomHeight, width(), BottomHeight);
    pBottomResize();
}

void TfrmClock::pBottomResize() {
    const int inner = BottomHeight - 2 * BottomBorder;
    const bool pie = width() > 122;
    eDigital->SetShowSeconds(width() > 162);
    pChart->setVisible(pie);
    pChart->setGeometry(pBottom->width() - BottomBorder - inner, BottomBorder, inner, inner);
    eChart->setGeometry(0, 0, inner, inner);
    const int digitalRight = pie ? pChart->x() - BottomBorder : pBottom->width() - BottomBorder;
    eDigital->setGeometry(BottomBorder, BottomBorder, std::max(0, digitalRight - BottomBorder), inner);
}

}  // namespace kelvar
