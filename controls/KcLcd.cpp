#include "controls/KcLcd.h"

#include "controls/KcResources.h"
#include "foundation/Clock.h"

#include <QDateTime>
#include <QEvent>
#include <QPainter>
#include <algorithm>

namespace kelvar {

namespace {

const char* const kStyleSize[] = {"13x24", "11x20", "7x13", "12x17", "5x7"};
constexpr TColor kUnlitKey = 0x808080;
constexpr TColor kLitKey = 0xC0C0C0;

QString StyleSize(TKcNumStyle S) { return kStyleSize[static_cast<int>(S)]; }

}  // namespace

TKcCustomNum::TKcCustomNum(QWidget* Parent) : TKcGraphicImageControl(Parent) {
    resize(100, 26);
    SetColor(clBlack);
    FPalette.OnChange = [this](TKcPersistent&) {
        LoadDigits();
        PropertyChanged();
    };
}

void TKcCustomNum::SetSpacing(int Value) {
    if (FSpacing == Value) return;
    FSpacing = Value;
    SpacingChanged();
}

void TKcCustomNum::SetStyle(TKcNumStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    LoadDigits();
    AdjustBounds();
}

void TKcCustomNum::LoadDigits() {
    FDigits = KcResourceImage("NUM" + StyleSize(FStyle));
    FPalette.ColorizeBitmap(FDigits, kUnlitKey, kLitKey);
    FDigitWidth = FDigits.width() / 13;
    FDigitHeight = FDigits.height();
}

void TKcCustomNum::DrawDigit(QPainter& Canvas, int Index, int X, int Y) const {
    if (Index < 0 || Index > 12 || FDigitWidth <= 0) return;
    DrawTransparent(Canvas, QPoint(X, Y), FDigits, QRect(Index * FDigitWidth, 0, FDigitWidth, FDigitHeight),
                    qRgb(0, 0, 0));
}

void TKcCustomNum::changeEvent(QEvent* Event) {
    TKcGraphicImageControl::changeEvent(Event);
    if (Event->type() == QEvent::PaletteChange) LoadDigits();
}

TKcClock::TKcClock(QWidget* Parent) : TKcCustomNum(Parent) {
    resize(140, height());
    FTimer.SetEnabled(false);
    FTimer.OnTimer = [this](TKcTimer&) { UpdateTime(); };
    LoadDigits();
}

void TKcClock::LoadDigits() {
    TKcCustomNum::LoadDigits();
    FSeparator = KcResourceImage(QString("CLOCKSEP%1").arg(static_cast<int>(Style()) + 1));
    FPalette.ColorizeBitmap(FSeparator, kUnlitKey, kLitKey);
    FAmPm = KcResourceImage("AMPM" + StyleSize(Style()));
    FPalette.ColorizeBitmap(FAmPm, kUnlitKey, kLitKey);
}

void TKcClock::SetHours(int Value) {
    Value = std::clamp(Value, 0, 23);
    if (FHours == Value) return;
    FHours = Value;
    PropertyChanged();
    if (OnHoursChanged) OnHoursChanged(*this, Value);
}

void TKcClock::SetMinutes(int Value) {
    Value = std::clamp(Value, 0, 59);
    if (FMinutes == Value) return;
    FMinutes = Value;
    PropertyChanged();
    if (OnMinutesChanged) OnMinutesChanged(*this, Value);
}

void TKcClock::SetSeconds(int Value) {
    Value = std::clamp(Value, 0, 59);
    if (FSeconds == Value) return;
    FSeconds = Value;
    PropertyChanged();
    if (OnSecondsChanged) OnSecondsChanged(*this, Value);
}

void TKcClock::SetClockType(TKcClockType Value) {
    if (FClockType == Value) return;
    FClockType = Value;
    if (Value == TKcClockType::ctCustom) {
        SetActive(false);
    } else {
        FHours = FMinutes = FSeconds = 0;
    }
    PropertyChanged();
}

void TKcClock::SetActive(bool Value) {
    if (FClockType == TKcClockType::ctCustom) Value = false;
    if (FActive == Value) return;
    FActive = Value;
    FBlinkOn = true;
    PropertyChanged();
    if (Value) FStart = ClockNow();
    FTimer.SetEnabled(Value);
}

void TKcClock::SetShowSeconds(bool Value) {
    if (FShowSeconds == Value) return;
    FShowSeconds = Value;
    AdjustBounds();
}

void TKcClock::SetBlink(bool Value) {
    if (FBlink == Value) return;
    FBlink = Value;
    FBlinkOn = true;
    PropertyChanged();
}

void TKcClock::SetHours24(bool Value) {
    if (FHours24 == Value) return;
    FHours24 = Value;
    PropertyChanged();
}

void TKcClock::SetShowTimeZone(bool Value) {
    if (FShowTimeZone == Value) return;
    FShowTimeZone = Value;
    AdjustBounds();
}

void TKcClock::Loaded() {
    if (FClockType == TKcClockType::ctRealTime) UpdateTime();
    TKcCustomNum::Loaded();
}

void TKcClock::UpdateTime() {
    const int OldH = FHours, OldM = FMinutes, OldS = FSeconds;
    qint64 Ms = 0;
    const auto Now = ClockNow();
    if (FClockType == TKcClockType::ctRealTime) {
        const qint64 Epoch = std::chrono::duration_cast<std::chrono::milliseconds>(Now.time_since_epoch()).count();
        Ms = QDateTime::fromMSecsSinceEpoch(Epoch).time().msecsSinceStartOfDay();
    } else if (FClockType == TKcClockType::ctElapsed) {
        Ms = std::chrono::duration_cast<std::chrono::milliseconds>(Now - FStart).count();
        Ms = ((Ms % 86400000) + 86400000) % 86400000;  // an elapsed time wraps every 24 hours
    }
    const int Secs = static_cast<int>(Ms / 1000);
    FHour24 = Secs / 3600;
    int H = FHour24;
    if (!FHours24) {
        H = FHour24 % 12;
        if (H == 0) H = 12;
    }
    FHours = H;
    FMinutes = (Secs / 60) % 60;
    FSeconds = Secs % 60;
    FBlinkOn = !FBlinkOn;
    if ((FShowSeconds && FSeconds != OldS) || FBlink || FMinutes != OldM) PropertyChanged();
    if (FHours != OldH && OnHoursChanged) OnHoursChanged(*this, FHours);
    if (FMinutes != OldM && OnMinutesChanged) OnMinutesChanged(*this, FMinutes);
    if (FSeconds != OldS && OnSecondsChanged) OnSecondsChanged(*this, FSeconds);
}

int TKcClock::NaturalWidth() const {
    const int DW = DigitWidth(), SW = FSeparator.width();
    int W = FShowSeconds ? 6 * DW + 2 * SW + 7 * Spacing() : 4 * DW + SW + 4 * Spacing();
    if (FShowTimeZone && FClockType == TKcClockType::ctRealTime) W += FAmPm.width() / 2 + Spacing();
    return W;
}

QSize TKcClock::NaturalSize() const { return QSize(NaturalWidth(), DigitHeight()); }

QString TKcClock::DisplayText() const {
    QString Text = QString::asprintf("%.2d:%.2d", FHours, FMinutes);
    if (FShowSeconds) Text += QString::asprintf(":%.2d", FSeconds);
    return Text;
}

void TKcClock::PaintBitmap(QPainter& Canvas) {
    int X = (width() - NaturalWidth()) / 2;
    const int Y = (height() - DigitHeight()) / 2;
    for (QChar C : DisplayText()) {
        if (C == ':') {
            if (SeparatorVisible()) DrawTransparent(Canvas, QPoint(X, Y), FSeparator, FSeparator.rect(), qRgb(0, 0, 0));
            X += FSeparator.width();
        } else {
            DrawDigit(Canvas, C.digitValue(), X, Y);
            X += DigitWidth();
        }
        X += Spacing();
    }
    if (FShowTimeZone && FClockType == TKcClockType::ctRealTime) {
        const int Half = FAmPm.width() / 2;
        const QRect Source(FHour24 < 12 ? Half : 0, 0, Half, FAmPm.height());
        DrawTransparent(Canvas, QPoint(X, Y), FAmPm, Source, qRgb(0, 0, 0));
    }
}

}  // namespace kelvar
