#include "controls/KcAnalog.h"

#include "foundation/Clock.h"

#include <QPainter>
#include <chrono>
#include <cmath>
#include <numbers>

namespace kelvar {

TKcAnalogClock::TKcAnalogClock(QWidget* Parent) : TKcGraphicImageControl(Parent) {
    SetColor(clBlack);
    resize(90, 90);
    FTimer.SetEnabled(false);
    FTimer.OnTimer = [this](TKcTimer&) { UpdateTime(); };
    UpdateTime();
}

void TKcAnalogClock::SetActive(bool Value) {
    if (FActive == Value) return;
    FActive = Value;
    FTimer.SetEnabled(Value);
}

void TKcAnalogClock::SetGlyph(const QImage& Value) {
    FGlyph = Value.copy();
    PropertyChanged();
}

void TKcAnalogClock::UpdateTime() {
    const int OldH = FHours, OldM = FMinutes, OldS = FSeconds;
    const qint64 Epoch = std::chrono::duration_cast<std::chrono::milliseconds>(ClockNow().time_since_epoch()).count();
    const QDateTime Now = QDateTime::fromMSecsSinceEpoch(Epoch);
    const QTime T = Now.time();
    FHours = T.hour();
    FMinutes = T.minute();
    FSeconds = T.second();
    const bool Due = FEnableAlarm && FAlarmTime.isValid() && FAlarmTime.date() == Now.date() &&
                     FAlarmTime.time().hour() == FHours && FAlarmTime.time().minute() == FMinutes &&
                     FAlarmTime.time().second() == FSeconds;
    if ((FSeconds != OldS && FSecondsIndicator) || FMinutes != OldM) PropertyChanged();
    if (FHours != OldH && OnHoursChanged) OnHoursChanged(*this, FHours);
    if (FMinutes != OldM && OnMinutesChanged) OnMinutesChanged(*this, FMinutes);
    if (FSeconds != OldS && OnSecondsChanged) OnSecondsChanged(*this, FSeconds);
    if (Due && OnAlarm) OnAlarm(*this);
}

void TKcAnalogClock::DrawHand(QPainter& Canvas, double Angle, int Inner, int Outer) {
    const QPoint C = Centre();
    const double Co = std::cos(Angle), Si = std::sin(Angle);
    Canvas.drawLine(C.x() - int(std::lround(Inner * Co)), C.y() - int(std::lround(Inner * Si)),
                    C.x() + int(std::lround(Outer * Co)), C.y() + int(std::lround(Outer * Si)));
}

void TKcAnalogClock::PaintBitmap(QPainter& Canvas) {
    if (!FGlyph.isNull()) {
        QImage Face = FGlyph.convertToFormat(QImage::Format_ARGB32);
        const QRgb Key = ToQColor(Color()).rgb();
        for (int Y = 0; Y < Face.height(); ++Y) {
            auto* Line = reinterpret_cast<QRgb*>(Face.scanLine(Y));
            for (int X = 0; X < Face.width(); ++X)
                if ((Line[X] | 0xFF000000u) == Key) Line[X] = 0;
        }
        Canvas.drawImage(rect(), Face);
    }
    const QPoint C = Centre();
    const int R = Radius();
    constexpr double Pi = std::numbers::pi;
    if (FHourMarks) {
        Canvas.setPen(ToQColor(FTickOutline));
        Canvas.setBrush(ToQColor(FTickColor));
        for (int I = 0; I < 12; ++I) {
            const double A = (I + 9) * 2 * Pi / 12;
            const int X = C.x() - int(std::lround(std::cos(A) * R)), Y = C.y() - int(std::lround(std::sin(A) * R));
            Canvas.drawEllipse(
                QRect(QPoint(X - FTickWidth, Y - FTickWidth), QPoint(X + FTickWidth - 1, Y + FTickWidth - 1)));
        }
    }
    Canvas.setPen(ToQColor(FHandsColor));
    DrawHand(Canvas, (FMinutes + 45) * 2 * Pi / 60, 0, R * 90 / 100);
    DrawHand(Canvas, (FHours + 9 + FMinutes / 60.0) * 2 * Pi / 12, 0, R * 70 / 100);
    if (FSecondsIndicator) {
        Canvas.setPen(ToQColor(FSecHandColor));
        DrawHand(Canvas, (FSeconds + 45) * 2 * Pi / 60, R * 30 / 100, R);
    }
}

}  // namespace kelvar
