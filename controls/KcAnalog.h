#pragma once
// Round clock face with hour marks and hands, ticking from its own timer.
#include "controls/KcControls.h"
#include "controls/KcThreads.h"

#include <QDateTime>

namespace kelvar {

class TKcAnalogClock : public TKcGraphicImageControl {
public:
    using TValueEvent = std::function<void(TKcAnalogClock&, int)>;
    explicit TKcAnalogClock(QWidget* Parent = nullptr);

    bool Threaded() const { return FTimer.TimerType() == TKcTimerType::ttThread; }
    void SetThreaded(bool Value) { FTimer.SetTimerType(Value ? TKcTimerType::ttThread : TKcTimerType::ttSystem); }
    bool Active() const { return FActive; }
    void SetActive(bool Value);
    bool SecondsIndicator() const { return FSecondsIndicator; }
    void SetSecondsIndicator(bool Value) { Store(FSecondsIndicator, Value); }
    bool HourMarks() const { return FHourMarks; }
    void SetHourMarks(bool Value) { Store(FHourMarks, Value); }
    const QImage& Glyph() const { return FGlyph; }
    void SetGlyph(const QImage& Value);
    TColor HandsColor() const { return FHandsColor; }
    void SetHandsColor(TColor Value) { Store(FHandsColor, Value); }
    TColor SecHandColor() const { return FSecHandColor; }
    void SetSecHandColor(TColor Value) { Store(FSecHandColor, Value); }
    TColor TickColor() const { return FTickColor; }
    void SetTickColor(TColor Value) { Store(FTickColor, Value); }
    int TickWidth() const { return FTickWidth; }
    void SetTickWidth(int Value) {
        if (Value > 0) Store(FTickWidth, Value);
    }
    TColor TickOutline() const { return FTickOutline; }
    void SetTickOutline(TColor Value) { Store(FTickOutline, Value); }
    bool EnableAlarm() const { return FEnableAlarm; }
    void SetEnableAlarm(bool Value) { FEnableAlarm = Value; }
    QDateTime AlarmTime() const { return FAlarmTime; }
    void SetAlarmTime(const QDateTime& Value) { FAlarmTime = Value; }

    TNotifyEvent OnAlarm;
    TValueEvent OnHoursChanged, OnMinutesChanged, OnSecondsChanged;

    // The tick: reads the time of day, repaints and fires the change and alarm events.
    void UpdateTime();
    QPoint Centre() const { return QPoint(width() / 2, height() / 2); }
    int Radius() const { return std::min(width() / 2, height() / 2) - 10; }
    int Hours() const { return FHours; }
    int Minutes() const { return FMinutes; }
    int Seconds() const { return FSeconds; }
    TKcTimer& Timer() { return FTimer; }

protected:
    void PaintBitmap(QPainter& Canvas) override;

private:
    template <typename T>
    void Store(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        PropertyChanged();
    }
    void DrawHand(QPainter& Canvas, double Angle, int Inner, int Outer);

    TKcTimer FTimer;
    bool FActive = false;
    bool FSecondsIndicator = true;
    bool FHourMarks = true;
    QImage FGlyph;
    TColor FHandsColor = clLime;
    TColor FSecHandColor = clLime;
    TColor FTickColor = clLime;
    int FTickWidth = 2;
    TColor FTickOutline = clGreen;
    bool FEnableAlarm = false;
    QDateTime FAlarmTime;
    int FHours = 0, FMinutes = 0, FSeconds = 0;
};

}  // namespace kelvar
