// Shows every control of the set in its main states; --png FILE renders the gallery offscreen.
#include "controls/BoxButton.h"
#include "controls/BoxPanel.h"
#include "controls/BoxShape.h"
#include "controls/FxFancyButton.h"
#include "controls/KcAnalog.h"
#include "controls/KcButtons.h"
#include "controls/KcGraphs.h"
#include "controls/KcHyperCtrls.h"
#include "controls/KcLabel.h"
#include "controls/KcLcd.h"
#include "controls/KcLeds.h"
#include "controls/KcLevelBar.h"
#include "controls/KcNavigator.h"
#include "controls/KcSlider.h"
#include "controls/KcSpinner.h"
#include "controls/KcTrackBar.h"
#include "controls/KcUpDown.h"
#include "controls/ScrollLabel.h"
#include "controls/StdLabel.h"
#include "foundation/ProcessLocale.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <string>

using namespace kelvar;

namespace {

class Gallery : public QWidget {
public:
    Gallery() {
        resize(900, 760);
        setAutoFillBackground(true);
        int Y = 8;
        Heading("Track bars: horizontal, vertical (bottom-left), disabled, fixed points", 10, Y);
        auto* T1 = new TKcTrackBar(this);
        T1->move(10, Y + 20);
        T1->SetPosition(35);
        auto* T2 = new TKcTrackBar(this);
        T2->SetOrientation(TKcOrientation::voVertical);
        T2->setGeometry(200, Y + 20, 45, 150);
        T2->SetGutterWidth(10);
        T2->SetGutterColor(11128278);
        T2->SetBorderWidth(2);
        T2->SetTickMarks(TKcTickMarks::tmBottomRight);
        T2->SetTickColor(clBlack);
        T2->SetPosition(70);
        auto* T3 = new TKcTrackBar(this);
        T3->setGeometry(260, Y + 20, 175, 45);
        T3->SetPosition(80);
        T3->setEnabled(false);
        auto* T4 = new TKcTrackBar(this);
        T4->setGeometry(10, Y + 75, 175, 45);
        T4->SetOptions(T4->Options() | toFixedPoints);
        T4->SetFrequency(25);
        T4->SetStyle(TKcProgressStyle::psTopRight);
        T4->SetPosition(25);
        T4->SetTabStop(true);
        T4->setFocus();

        Heading("Sliders: song position (horizontal), vertical dithered, top-right", 10, Y + 180);
        auto* S1 = new TKcSlider(this);
        S1->SetOrientation(TKcOrientation::voHorizontal);
        S1->setGeometry(10, Y + 200, 225, 33);
        S1->SetBorderWidth(6);
        S1->SetBorderColor(14412526);
        S1->SetPalette(TKcPalette(clGray, clSilver));
        S1->SetPosition(40);
        auto* S2 = new TKcSlider(this);
        S2->setGeometry(250, Y + 200, 36, 171);
        S2->SetSolidFill(false);
        S2->SetTickWidth(3);
        S2->SetPosition(65);
        auto* S3 = new TKcSlider(this);
        S3->setGeometry(300, Y + 200, 36, 171);
        S3->SetStyle(TKcSliderStyle::ssTopRight);
        S3->SetPosition(30);

        Heading("Level bars: 0, 50, 75, 100 %; horizontal", 10, 440);
        const int Levels[] = {0, 50, 75, 100};
        for (int I = 0; I < 4; ++I) {
            auto* L = new TKcLevelBar(this);
            L->move(350 + I * 26, 200);
            L->SetPosition(Levels[I]);
        }
        auto* LH = new TKcLevelBar(this);
        LH->SetOrientation(TKcOrientation::voHorizontal);
        LH->setGeometry(10, 460, 300, 20);
        LH->SetPosition(90);

        Heading("LEDs: off, on", 10, 490);
        auto* Led1 = new TKcUserLed(this);
        Led1->move(10, 510);
        auto* Led2 = new TKcUserLed(this);
        Led2->move(40, 510);
        Led2->SetActive(true);

        Heading("Media buttons", 460, Y);
        for (int I = 0; I < 10; ++I) {
            auto* M = new TKcMediaButton(this);
            M->move(460 + (I % 5) * 44, Y + 20 + (I / 5) * 19);
            M->SetButtonType(static_cast<TKcButtonType>(I));
            if (I == 9) M->setEnabled(false);
        }
        Heading("Demo buttons: normal, flat, 3D caption, disabled", 460, Y + 65);
        auto* D1 = new TKcDemoButton(this);
        D1->move(460, Y + 85);
        D1->SetCaption("&Play");
        D1->SetBevelWidth(1);
        auto* D2 = new TKcDemoButton(this);
        D2->move(620, Y + 85);
        D2->SetCaption("Flat");
        D2->SetFlat(true);
        auto* D3 = new TKcDemoButton(this);
        D3->move(460, Y + 115);
        D3->SetCaption("Raised");
        D3->Font3D().SetStyle(TKcFont3DStyle::f3dRaised);
        auto* D4 = new TKcDemoButton(this);
        D4->move(620, Y + 115);
        D4->SetCaption("Disabled");
        D4->setEnabled(false);

        Heading("Power buttons: off, on, disabled", 460, Y + 150);
        const char* Captions[] = {"Mute", "Air", "Cue"};
        for (int I = 0; I < 3; ++I) {
            auto* P = new TKcPowerButton(this);
            P->move(460 + I * 135, Y + 170);
            P->SetCaption(Captions[I]);
            P->SetActive(I == 1);
            if (I == 1) P->SetPalette(TKcPalette(clMaroon, clRed));
            if (I == 2) P->setEnabled(false);
        }

        Heading("Fancy buttons: rectangle with glyph, capsule, oval, shadowed, disabled", 460, Y + 205);
        QImage Glyph(16, 16, QImage::Format_RGB32);
        Glyph.fill(QColor(255, 0, 255));
        {
            QPainter P(&Glyph);
            P.setBrush(QColor(0, 128, 0));
            P.setPen(Qt::NoPen);
            P.drawEllipse(2, 2, 12, 12);
        }
        auto* F1 = new TFxFancyButton("OK", this);
        F1->move(460, Y + 225);
        F1->Glyphs().SetGlyph(Glyph);
        F1->Glyphs().SetDistance(4);
        auto* F2 = new TFxFancyButton("Capsule", this);
        F2->move(565, Y + 225);
        F2->FancyEffects().SetShape(TBtnShape::btnCapsule);
        auto* F3 = new TFxFancyButton("Oval", this);
        F3->setGeometry(670, Y + 220, 97, 35);
        F3->FancyEffects().SetShape(TBtnShape::btnOval);
        F3->FancyEffects().SetFrameWidth(8);
        auto* F4 = new TFxFancyButton("Shadow", this);
        F4->move(460, Y + 260);
        F4->FancyEffects().SetTextStyle(TTextStyle::txShadowed);
        auto* F5 = new TFxFancyButton("Disabled", this);
        F5->move(565, Y + 260);
        F5->setEnabled(false);

        Heading("LCD clocks: 13x24 with seconds, 7x13, 5x7 blinking off, red", 460, Y + 300);
        auto* C1 = new TKcClock(this);
        C1->SetClockType(TKcClockType::ctCustom);
        C1->SetShowSeconds(true);
        C1->SetHours(12);
        C1->SetMinutes(34);
        C1->SetSeconds(56);
        C1->setGeometry(460, Y + 320, 150, 30);
        auto* C2 = new TKcClock(this);
        C2->SetClockType(TKcClockType::ctCustom);
        C2->SetStyle(TKcNumStyle::ns7x13);
        C2->SetHours(7);
        C2->SetMinutes(5);
        C2->setGeometry(620, Y + 320, 60, 30);
        auto* C3 = new TKcClock(this);
        C3->SetClockType(TKcClockType::ctCustom);
        C3->SetStyle(TKcNumStyle::ns5x7);
        C3->SetHours(23);
        C3->SetMinutes(59);
        C3->setGeometry(690, Y + 320, 50, 30);
        auto* C4 = new TKcClock(this);
        C4->SetClockType(TKcClockType::ctCustom);
        C4->SetStyle(TKcNumStyle::ns11x20);
        C4->SetPalette(TKcPalette(0x000040, clRed));
        C4->SetHours(0);
        C4->SetMinutes(8);
        C4->setGeometry(460, Y + 360, 120, 30);
        auto* C5 = new TKcClock(this);
        C5->SetClockType(TKcClockType::ctCustom);
        C5->SetStyle(TKcNumStyle::ns12x17);
        C5->SetHours(18);
        C5->SetMinutes(45);
        C5->setGeometry(600, Y + 360, 120, 30);

        Heading("Up/down, spinner, box button/shape/panel, label", 10, 560);
        auto* UD = new TKcUpDown(this);
        UD->move(10, 580);
        auto* UDH = new TKcUpDown(this);
        UDH->SetOrientation(TKcOrientation::voHorizontal);
        UDH->move(40, 580);
        auto* Sp = new TKcSpinner(this);
        Sp->move(80, 580);
        auto* SpH = new TKcSpinner(this);
        SpH->SetOrientation(TKcOrientation::voHorizontal);
        SpH->setGeometry(125, 580, 50, 30);
        auto* BB = new TBoxButton("Browse...", this);
        BB->setGeometry(185, 580, 80, 24);
        auto* BS = new TBoxShape(this);
        BS->SetBrush(QColor(0x80, 0xA0, 0xC0));
        BS->setGeometry(275, 580, 40, 40);
        auto* BP = new TBoxPanel(this);
        BP->setGeometry(325, 580, 100, 40);
        auto* BPR = new TBoxPanel(this);
        BPR->SetStyle(TBoxStyle::bsRaised);
        BPR->setGeometry(330, 585, 40, 30);
        auto* SL = new TStdLabel("Standard label", this);
        SL->move(185, 610);
        SL->adjustSize();

        Heading("Scrolling label, 3D labels (raised, lowered, shadow, 90 degrees)", 10, 640);
        auto* Scroll = new TScrollLabel(this);
        Scroll->setGeometry(10, 660, 150, 20);
        Scroll->SetCaption("Artist - A rather long song title on the deck");
        auto* K1 = new TKcLabel(this);
        K1->setGeometry(170, 655, 100, 30);
        K1->SetCaption("Raised");
        auto* K2 = new TKcLabel(this);
        K2->setGeometry(275, 655, 100, 30);
        K2->SetCaption("Lowered");
        K2->SetStyle(TKcLabelStyle::lsLowered);
        auto* K3 = new TKcLabel(this);
        K3->setGeometry(170, 690, 100, 30);
        K3->SetCaption("Shadow");
        K3->SetStyle(TKcLabelStyle::lsShadow);
        auto* K4 = new TKcLabel(this);
        K4->SetAutoSize(true);
        K4->SetCaption("Turned");
        K4->SetAngle(90);
        K4->move(385, 640);

        Heading("Analogue clock, percent pie, hot image (leave)", 460, 560);
        auto* An = new TKcAnalogClock(this);
        An->move(460, 580);
        auto* Pie = new TKcPercentPie(this);
        Pie->setGeometry(560, 580, 90, 90);
        auto& P1 = Pie->Segments().Add();
        P1.SetValue(15);
        P1.SetColor(clRed);
        auto& P2 = Pie->Segments().Add();
        P2.SetValue(30);
        P2.SetColor(clBlue);
        P2.SetPattern(TKcBrushPattern::bpDiagCross);
        auto& P3 = Pie->Segments().Add();
        P3.SetValue(15);
        P3.SetColor(clYellow);
        auto* Hot = new TKcHotImage(this);
        Hot->setGeometry(660, 580, 85, 85);
        Hot->SetCaption("Host");
        QImage Pic(32, 32, QImage::Format_RGB32);
        Pic.fill(QColor(0x40, 0x80, 0xC0));
        Hot->SetImageLeave(Pic);
    }

private:
    void Heading(const char* Text, int X, int Y) {
        auto* L = new QLabel(Text, this);
        L->move(X, Y);
        L->adjustSize();
    }
};

}  // namespace

int main(int argc, char** argv) {
    kelvar::UseEnvironmentLocale();  // paths with any letters
    std::string Png;
    for (int I = 1; I + 1 < argc; ++I)
        if (std::strcmp(argv[I], "--png") == 0) Png = argv[I + 1];
    if (!Png.empty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    Gallery G;
    G.setWindowTitle("Kelvar controls");
    G.show();
    if (Png.empty()) return App.exec();
    QApplication::processEvents();
    if (!G.grab().save(QString::fromStdString(Png), "PNG")) {
        std::fprintf(stderr, "Cannot write %s\n", Png.c_str());
        return 1;
    }
    return 0;
}
