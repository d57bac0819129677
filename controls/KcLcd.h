#pragma once
// Digital clock drawn from LCD digit images, over the digit-image base.
#include "controls/KcControls.h"
#include "controls/KcThreads.h"

#include <chrono>

namespace kelvar {

enum class TKcNumStyle { ns13x24, ns11x20, ns7x13, ns12x17, ns5x7 };
enum class TKcClockType { ctRealTime, ctElapsed, ctCustom };

class TKcCustomNum : public TKcGraphicImageControl {
public:
    explicit TKcCustomNum(QWidget* Parent = nullptr);

    TKcPalette& Palette() { return FPalette; }
    void SetPalette(const TKcPalette& Value) { FPalette.Assign(Value); }
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    TKcNumStyle Style() const { return FStyle; }
    void SetStyle(TKcNumStyle Value);
    int DigitWidth() const { return FDigitWidth; }
    int DigitHeight() const { return FDigitHeight; }
    // The digit strip as coloured by the palette: 0-9, blank, plus, minus.
    const QImage& Digits() const { return FDigits; }

protected:
    virtual void LoadDigits();
    // Draws cell Index of the strip at (X, Y) with black left out.
    void DrawDigit(QPainter& Canvas, int Index, int X, int Y) const;
    virtual void SpacingChanged() { AdjustBounds(); }
    void changeEvent(QEvent* Event) override;

    int FDigitCount = 4;
    TKcPalette FPalette;

private:
    int FSpacing = 2;
    TKcNumStyle FStyle = TKcNumStyle::ns13x24;
    QImage FDigits;
    int FDigitWidth = 0;
    int FDigitHeight = 0;
};

class TKcClock : public TKcCustomNum {
public:
    using TValueEvent = std::function<void(TKcClock&, int)>;
    explicit TKcClock(QWidget* Parent = nullptr);

    bool Threaded() const { return FTimer.TimerType() == TKcTimerType::ttThread; }
    void SetThreaded(bool Value) { FTimer.SetTimerType(Value ? TKcTimerType::ttThread : TKcTimerType::ttSystem); }
    int Hours() const { return FHours; }
    void SetHours(int Value);
    int Minutes() const { return FMinutes; }
    void SetMinutes(int Value);
    int Seconds() const { return FSeconds; }
    void SetSeconds(int Value);
    TKcClockType ClockType() const { return FClockType; }
    void SetClockType(TKcClockType Value);
    bool Active() const { return FActive; }
    void SetActive(bool Value);
    bool ShowSeconds() const { return FShowSeconds; }
    void SetShowSeconds(bool Value);
    bool Blink() const { return FBlink; }
    void SetBlink(bool Value);
    bool Hours24() const { return FHours24; }
    void SetHours24(bool Value);
    bool ShowTimeZone() const { return FShowTimeZone; }
    void SetShowTimeZone(bool Value);

    TValueEvent OnHoursChanged, OnMinutesChanged, OnSecondsChanged;

    // The tick: reads the time for the clock type, repaints when the shown text changed.
    void UpdateTime();
    int NaturalWidth() const;
    // The text the display shows ("12:05" or "12:05:09").
    QString DisplayText() const;
    // Whether the separators are drawn at this moment.
    bool SeparatorVisible() const { return !FActive || FClockType == TKcClockType::ctCustom || !FBlink || FBlinkOn; }
    TKcTimer& Timer() { return FTimer; }

protected:
    void LoadDigits() override;
    void Loaded() override;
    QSize NaturalSize() const override;
    void PaintBitmap(QPainter& Canvas) override;

private:
    TKcTimer FTimer;
    int FHours = 0, FMinutes = 0, FSeconds = 0;
    int FHour24 = 0;
    TKcClockType FClockType = TKcClockType::ctRealTime;
    bool FActive = false;
    bool FShowSeconds = false;
    bool FBlink = false;
    bool FHours24 = true;
    bool FShowTimeZone = false;
    bool FBlinkOn = true;
    std::chrono::system_clock::time_point FStart;
    QImage FSeparator, FAmPm;
};

}  // namespace kelvar
