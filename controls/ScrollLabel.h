#pragma once
// Label whose caption slides back and forth when it is wider than the control; the owner drives
// it by calling Tick from its display refresh.
#include "controls/KcSysUtils.h"

#include <QImage>
#include <QWidget>
#include <cstdint>

namespace kelvar {

class TScrollLabel : public QWidget {
public:
    explicit TScrollLabel(QWidget* Parent = nullptr);

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    int ScrollBy() const { return FScrollBy; }
    void SetScrollBy(int Value) { FScrollBy = Value; }
    std::uint32_t Interval() const { return FInterval; }
    void SetInterval(std::uint32_t Value);
    int WaitOnEnd() const { return FWaitOnEnd; }
    void SetWaitOnEnd(int Value) { FWaitOnEnd = Value; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

    // Steps the scroll when the interval (or the rest at an end) has passed.
    void Tick();
    int Offset() const { return FOffset; }
    bool Waiting() const { return FWaiting; }
    int PaintCount() const { return FPaintCount; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void StartScroll();
    void StopScroll();
    void BuildImage();
    void Step();
    void Advance();

    bool FActive = false;
    int FScrollBy = 2;
    std::uint32_t FInterval = 100;
    int FWaitOnEnd = 1000;
    QString FCaption;
    QString FBuiltCaption;
    TColor FColor = clBtnFace;
    QImage FImage;
    int FOffset = 0;
    bool FWaiting = false;
    std::int64_t FLastStep = 0;
    int FPaintCount = 0;
};

}  // namespace kelvar
