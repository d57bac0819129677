#include "controls/KcControls.h"

#include <QEnterEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <algorithm>

namespace kelvar {

TKcSharedComponent::~TKcSharedComponent() {
    while (!FLinks.empty()) RemoveLink(FLinks.back());
}

void TKcSharedComponent::InsertLink(TKcChangeLink* Link) {
    if (!Link) return;
    if (Link->FSender && Link->FSender != this) Link->FSender->RemoveLink(Link);
    Link->FSender = this;
    if (std::find(FLinks.begin(), FLinks.end(), Link) == FLinks.end()) FLinks.push_back(Link);
}

void TKcSharedComponent::RemoveLink(TKcChangeLink* Link) {
    auto It = std::find(FLinks.begin(), FLinks.end(), Link);
    if (It == FLinks.end()) return;
    Link->FSender = nullptr;
    FLinks.erase(It);
}

void TKcSharedComponent::NotifyLinks() {
    const std::vector<TKcChangeLink*> Links = FLinks;  // a handler may drop its link
    for (TKcChangeLink* L : Links) L->Change();
}

TKcChangeLink::~TKcChangeLink() {
    if (FSender) FSender->RemoveLink(this);
}

void TKcChangeLink::Change() {
    if (OnChange && FSender) OnChange(*FSender);
}

TKcCustomControl::TKcCustomControl(QWidget* Parent) : QWidget(Parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TKcCustomControl::EndLoading() {
    if (!FLoading) return;
    FLoading = false;
    Loaded();
}

void TKcCustomControl::SetColor(TColor Value) {
    if (FColor == Value) return;
    FColor = Value;
    ColorChanged();
}

void TKcCustomControl::SetCaption(const QString& Value) {
    if (FCaption == Value) return;
    FCaption = Value;
    if (FShortcutId) releaseShortcut(FShortcutId);
    FShortcutId = 0;
    const QKeySequence Mnemonic = QKeySequence::mnemonic(Value);
    if (!Mnemonic.isEmpty()) FShortcutId = grabShortcut(Mnemonic);
    TextChanged();
}

void TKcCustomControl::SetTabStop(bool Value) { setFocusPolicy(Value ? Qt::StrongFocus : Qt::NoFocus); }

void TKcCustomControl::PropertyChanged() {
    if (!FLoading) update();
}

void TKcCustomControl::Click() {
    if (OnClick) OnClick(*this);
}

void TKcCustomControl::MouseEnter() {
    if (OnMouseEnter) OnMouseEnter(*this);
}

void TKcCustomControl::MouseLeave() {
    if (OnMouseLeave) OnMouseLeave(*this);
}

void TKcCustomControl::FontChanged() {
    if (OnFontChanged) OnFontChanged(*this);
}

void TKcCustomControl::TextChanged() {
    if (OnTextChanged) OnTextChanged(*this);
}

void TKcCustomControl::FireMouseDown(QMouseEvent* E) {
    if (OnMouseDown)
        OnMouseDown(*this, E->button(), E->modifiers(), E->position().toPoint().x(), E->position().toPoint().y());
}

void TKcCustomControl::FireMouseUp(QMouseEvent* E) {
    if (OnMouseUp)
        OnMouseUp(*this, E->button(), E->modifiers(), E->position().toPoint().x(), E->position().toPoint().y());
}

void TKcCustomControl::enterEvent(QEnterEvent* Event) {
    QWidget::enterEvent(Event);
    MouseEnter();
}

void TKcCustomControl::leaveEvent(QEvent* Event) {
    QWidget::leaveEvent(Event);
    MouseLeave();
}

void TKcCustomControl::changeEvent(QEvent* Event) {
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        FontChanged();
    else if (Event->type() == QEvent::EnabledChange)
        update();
}

void TKcCustomControl::focusInEvent(QFocusEvent* Event) {
    QWidget::focusInEvent(Event);
    update();
}

void TKcCustomControl::focusOutEvent(QFocusEvent* Event) {
    QWidget::focusOutEvent(Event);
    update();
}

bool TKcCustomControl::event(QEvent* Event) {
    if (Event->type() == QEvent::Shortcut) {
        auto* S = static_cast<QShortcutEvent*>(Event);
        if (S->shortcutId() == FShortcutId && isEnabled()) {
            DialogChar();
            return true;
        }
    }
    return QWidget::event(Event);
}

TKcCustomImageControl::TKcCustomImageControl(QWidget* Parent) : TKcCustomControl(Parent) {}

void TKcCustomImageControl::ClearBitmapCanvas(QPainter& Canvas) { Canvas.fillRect(FBitmap.rect(), ToQColor(Color())); }

void TKcCustomImageControl::paintEvent(QPaintEvent*) {
    if (FBitmap.size() != size()) FBitmap = QImage(size(), QImage::Format_RGB32);
    if (FBitmap.isNull()) return;
    {
        QPainter Canvas(&FBitmap);
        Canvas.setFont(font());
        ClearBitmapCanvas(Canvas);
        PaintBitmap(Canvas);
    }
    QPainter Screen(this);
    Screen.drawImage(0, 0, FBitmap);
}

TKcGraphicControl::TKcGraphicControl(QWidget* Parent) : TKcCustomControl(Parent) {}

void TKcGraphicControl::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    AdjustBounds();
}

void TKcGraphicControl::AdjustBounds() {
    if (FAutoSize && !Loading()) {
        const QSize Natural = NaturalSize();
        if (Natural != size()) {
            resize(Natural);  // a new size repaints by itself
            return;
        }
    }
    PropertyChanged();
}

TKcGraphicImageControl::TKcGraphicImageControl(QWidget* Parent) : TKcGraphicControl(Parent) {}

void TKcGraphicImageControl::SetTransparent(bool Value) {
    if (FTransparent == Value) return;
    FTransparent = Value;
    setAttribute(Qt::WA_OpaquePaintEvent, !Value);
    FBitmap = QImage();
    PropertyChanged();
}

void TKcGraphicImageControl::ClearBitmapCanvas(QPainter& Canvas) {
    if (FTransparent) {
        Canvas.setCompositionMode(QPainter::CompositionMode_Source);
        Canvas.fillRect(FBitmap.rect(), Qt::transparent);
        Canvas.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        Canvas.fillRect(FBitmap.rect(), ToQColor(Color()));
    }
}

void TKcGraphicImageControl::paintEvent(QPaintEvent*) {
    const QImage::Format Format = FTransparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (FBitmap.size() != size() || FBitmap.format() != Format) FBitmap = QImage(size(), Format);
    if (FBitmap.isNull()) return;
    {
        QPainter Canvas(&FBitmap);
        Canvas.setFont(font());
        ClearBitmapCanvas(Canvas);
        PaintBitmap(Canvas);
    }
    QPainter Screen(this);
    Screen.drawImage(0, 0, FBitmap);
}

}  // namespace kelvar
