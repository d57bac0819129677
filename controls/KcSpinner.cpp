#include "controls/KcSpinner.h"

#include "controls/KcResources.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kelvar {

namespace {

const char* const kArrowNames[4] = {"ARROWS_UP", "ARROWS_DOWN", "ARROWS_LEFT", "ARROWS_RIGHT"};

}  // namespace

TKcSpinButton::TKcSpinButton(QWidget* Parent, int Kind) : TKcGraphicControl(Parent), FKind(Kind) {
    resize(25, 25);
    FPalette.OnChange = [this](TKcPersistent&) {
        LoadImages();
        update();
    };
    LoadImages();
}

void TKcSpinButton::SetKind(int Value) {
    if (FKind == Value) return;
    FKind = Value;
    LoadImages();
    update();
}

void TKcSpinButton::LoadImages() {
    QImage Strip = KcResourceImage(kArrowNames[FKind & 3]);
    FPalette.ColorizeBitmap(Strip, 0x008000, 0x00FF00);
    const int W = Strip.width() / 3;
    for (int I = 0; I < 3; ++I) FImages[I] = Strip.copy(I * W, 0, W, Strip.height());
    // Arrow pixels of the first image are the hit area.
    const QRgb Key = Strip.pixel(0, Strip.height() - 1);
    FMask = QImage(FImages[0].size(), QImage::Format_Mono);
    for (int Y = 0; Y < FMask.height(); ++Y)
        for (int X = 0; X < FMask.width(); ++X) FMask.setPixel(X, Y, FImages[0].pixel(X, Y) == Key ? 0 : 1);
}

QPoint TKcSpinButton::ImageOrigin() const {
    return QPoint((width() - FImages[0].width()) / 2, (height() - FImages[0].height()) / 2);
}

bool TKcSpinButton::OnArrow(const QPoint& P) const {
    const QPoint M = P - ImageOrigin();
    return FMask.valid(M) && FMask.pixelIndex(M) == 1;
}

void TKcSpinButton::paintEvent(QPaintEvent*) {
    QPainter Canvas(this);
    Canvas.fillRect(rect(), ToQColor(Color()));
    const QImage& Img = FImages[!isEnabled() ? 0 : FPressed ? 2 : 1];
    DrawTransparent(Canvas, ImageOrigin(), Img, Img.rect(), Img.pixel(0, Img.height() - 1));
}

void TKcSpinButton::mousePressEvent(QMouseEvent* Event) {
    FireMouseDown(Event);
    if (Event->button() == Qt::LeftButton && isEnabled() && OnArrow(Event->position().toPoint())) {
        FPressed = true;
        update();
    }
    PressStarted();
}

void TKcSpinButton::mouseReleaseEvent(QMouseEvent* Event) {
    FPressed = false;
    PressEnded();
    update();
    FireMouseUp(Event);
    if (OnArrow(Event->position().toPoint())) Click();
}

TKcTimerSpinButton::TKcTimerSpinButton(QWidget* Parent, int Kind) : TKcSpinButton(Parent, Kind) {}

void TKcTimerSpinButton::SetFlags(unsigned Value) {
    if (FFlags == Value) return;
    FFlags = Value;
    update();
}

void TKcTimerSpinButton::paintEvent(QPaintEvent* Event) {
    TKcSpinButton::paintEvent(Event);
    if (FFlags & FocusMark) {
        QPainter Canvas(this);
        Canvas.setPen(Qt::black);
        Canvas.setBrush(Qt::NoBrush);
        Canvas.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void TKcTimerSpinButton::PressStarted() {
    if (!(FFlags & AutoRepeat)) return;
    if (!FTimer) {
        FTimer = std::make_unique<TKcTimer>();
        FTimer->SetEnabled(false);
        FTimer->SetTimerType(TKcTimerType::ttSystem);
        FTimer->OnTimer = [this](TKcTimer& T) {
            T.SetInterval(100);
            if (!FPressed) return;
            try {
                Click();
            } catch (...) {
                T.SetEnabled(false);
                throw;
            }
        };
    }
    FTimer->SetEnabled(false);
    FTimer->SetInterval(400);
    FTimer->SetEnabled(true);
}

void TKcTimerSpinButton::PressEnded() {
    if (FTimer) FTimer->SetEnabled(false);
}

TKcSpinner::TKcSpinner(QWidget* Parent) : TKcCustomControl(Parent) {
    resize(35, 40);
    FPalette.OnChange = [this](TKcPersistent&) {
        for (auto* B : {FFirst, FSecond})
            if (B) B->SetPalette(FPalette);
    };
    CreateButtons();
    Arrange();
}

void TKcSpinner::CreateButtons() {
    delete FFirst;
    delete FSecond;
    const int Base = FOrientation == TKcOrientation::voVertical ? 0 : 2;
    FFirst = new TKcTimerSpinButton(this, Base);
    FSecond = new TKcTimerSpinButton(this, Base + 1);
    for (auto* B : {FFirst, FSecond}) {
        B->SetPalette(FPalette);
        B->SetColor(Color());
        B->OnClick = [this, B](TKcCustomControl&) { ButtonClick(B); };
        B->OnMouseDown = [this, B](TKcCustomControl&, Qt::MouseButton Button, Qt::KeyboardModifiers, int, int) {
            if (Button == Qt::LeftButton) ButtonPressed(B);
        };
        B->setEnabled(isEnabled());
        B->show();
    }
    FCurrent = FFirst;
}

void TKcSpinner::SetOrientation(TKcOrientation Value) {
    if (FOrientation == Value) return;
    FOrientation = Value;
    CreateButtons();
    Arrange();
}

void TKcSpinner::Arrange() {
    if (!FFirst || !FSecond || Loading()) return;
    if (width() < 15) {
        resize(15, height());  // lays the buttons out again
        return;
    }
    const int W = width(), H = height();
    if (FOrientation == TKcOrientation::voVertical) {
        FFirst->setGeometry(0, 0, W, H / 2);
        FSecond->setGeometry(0, H / 2 - 1, W, H - H / 2 + 1);
    } else {
        FFirst->setGeometry(0, 0, W / 2, H);
        FSecond->setGeometry(W / 2, 0, W / 2, H);
    }
}

void TKcSpinner::resizeEvent(QResizeEvent* Event) {
    TKcCustomControl::resizeEvent(Event);
    Arrange();
}

void TKcSpinner::paintEvent(QPaintEvent*) {
    QPainter P(this);
    P.fillRect(rect(), ToQColor(Color()));
}

void TKcSpinner::ButtonClick(TKcTimerSpinButton* Button) {
    if (Button == FFirst && OnUpClick) OnUpClick(*this);
    if (Button == FSecond && OnDownClick) OnDownClick(*this);
}

void TKcSpinner::SetCurrent(TKcTimerSpinButton* Button) {
    if (FCurrent == Button) return;
    if (FCurrent) FCurrent->SetFlags(FCurrent->Flags() & ~TKcTimerSpinButton::FocusMark);
    FCurrent = Button;
    if (hasFocus()) FCurrent->SetFlags(FCurrent->Flags() | TKcTimerSpinButton::FocusMark);
}

void TKcSpinner::ButtonPressed(TKcTimerSpinButton* Button) {
    if (TabStop() && isEnabled()) SetCurrent(Button);
    if (FFocusControl && FFocusControl->focusPolicy() != Qt::NoFocus && FFocusControl->isEnabled() &&
        !FFocusControl->hasFocus())
        FFocusControl->setFocus(Qt::MouseFocusReason);
    else if (TabStop() && !hasFocus() && isEnabled())
        setFocus(Qt::MouseFocusReason);
}

void TKcSpinner::keyPressEvent(QKeyEvent* Event) {
    const bool Vertical = FOrientation == TKcOrientation::voVertical;
    TKcTimerSpinButton* Target = nullptr;
    switch (Event->key()) {
        case Qt::Key_Space:
            if (FCurrent) ButtonClick(FCurrent);
            return;
        case Qt::Key_Up:
            if (Vertical) Target = FFirst;
            break;
        case Qt::Key_Down:
            if (Vertical) Target = FSecond;
            break;
        case Qt::Key_Left:
            if (!Vertical) Target = FFirst;
            break;
        case Qt::Key_Right:
            if (!Vertical) Target = FSecond;
            break;
        default: break;
    }
    if (Target) {
        SetCurrent(Target);
        ButtonClick(Target);
    }
}

void TKcSpinner::focusInEvent(QFocusEvent* Event) {
    TKcCustomControl::focusInEvent(Event);
    if (FCurrent) FCurrent->SetFlags(FCurrent->Flags() | TKcTimerSpinButton::FocusMark);
}

void TKcSpinner::focusOutEvent(QFocusEvent* Event) {
    TKcCustomControl::focusOutEvent(Event);
    if (FCurrent) FCurrent->SetFlags(FCurrent->Flags() & ~TKcTimerSpinButton::FocusMark);
}

void TKcSpinner::changeEvent(QEvent* Event) {
    TKcCustomControl::changeEvent(Event);
    if (Event->type() == QEvent::EnabledChange)
        for (auto* B : {FFirst, FSecond})
            if (B) B->setEnabled(isEnabled());
}

}  // namespace kelvar
