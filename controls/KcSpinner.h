#pragma once
// Container of two palette-coloured arrow buttons with auto-repeat; takes the focus and answers
// the arrow keys.
#include "controls/KcControls.h"
#include "controls/KcThreads.h"

#include <QPointer>
#include <memory>

namespace kelvar {

class TKcSpinButton : public TKcGraphicControl {
public:
    // Kind: 0 up, 1 down, 2 left, 3 right.
    explicit TKcSpinButton(QWidget* Parent = nullptr, int Kind = 0);
    int Kind() const { return FKind; }
    void SetKind(int Value);
    TKcPalette& Palette() { return FPalette; }
    void SetPalette(const TKcPalette& Value) { FPalette.Assign(Value); }
    bool Pressed() const { return FPressed; }
    // Whether the point lies on the arrow (not on its transparent surround).
    bool OnArrow(const QPoint& P) const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    virtual void PressStarted() {}
    virtual void PressEnded() {}
    QPoint ImageOrigin() const;
    bool FPressed = false;

private:
    void LoadImages();
    int FKind = 0;
    TKcPalette FPalette;
    QImage FImages[3];
    QImage FMask;
};

class TKcTimerSpinButton : public TKcSpinButton {
public:
    enum : unsigned { FocusMark = 1u, AutoRepeat = 2u };
    explicit TKcTimerSpinButton(QWidget* Parent = nullptr, int Kind = 0);
    unsigned Flags() const { return FFlags; }
    void SetFlags(unsigned Value);
    TKcTimer* RepeatTimer() { return FTimer.get(); }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void PressStarted() override;
    void PressEnded() override;

private:
    unsigned FFlags = AutoRepeat;
    std::unique_ptr<TKcTimer> FTimer;
};

class TKcSpinner : public TKcCustomControl {
public:
    explicit TKcSpinner(QWidget* Parent = nullptr);

    QWidget* FocusControl() const { return FFocusControl; }
    void SetFocusControl(QWidget* Value) { FFocusControl = Value; }
    TKcOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TKcOrientation Value);
    TKcPalette& Palette() { return FPalette; }
    void SetPalette(const TKcPalette& Value) { FPalette.Assign(Value); }

    TNotifyEvent OnUpClick, OnDownClick;

    TKcTimerSpinButton* FirstButton() const { return FFirst; }
    TKcTimerSpinButton* SecondButton() const { return FSecond; }
    TKcTimerSpinButton* CurrentButton() const { return FCurrent; }

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;

private:
    void CreateButtons();
    void Arrange();
    void ButtonClick(TKcTimerSpinButton* Button);
    void ButtonPressed(TKcTimerSpinButton* Button);
    void SetCurrent(TKcTimerSpinButton* Button);

    QPointer<QWidget> FFocusControl;
    TKcOrientation FOrientation = TKcOrientation::voVertical;
    TKcPalette FPalette;
    TKcTimerSpinButton* FFirst = nullptr;
    TKcTimerSpinButton* FSecond = nullptr;
    TKcTimerSpinButton* FCurrent = nullptr;
};

}  // namespace kelvar
