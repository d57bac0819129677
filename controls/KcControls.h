#pragma once
// Bases of the control set: repaint after a property change, enter/leave/font/text notifications,
// drawing through an off-screen bitmap, transparency, and change links to shared components.
#include "controls/KcClasses.h"

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace kelvar {

class TKcChangeLink;

enum class TKcOrientation { voVertical, voHorizontal };
enum class TKcProgressStyle { psBottomLeft, psTopRight };

class TKcSharedComponent {
public:
    TKcSharedComponent() = default;
    TKcSharedComponent(const TKcSharedComponent&) = delete;
    TKcSharedComponent& operator=(const TKcSharedComponent&) = delete;
    virtual ~TKcSharedComponent();
    void InsertLink(TKcChangeLink* Link);
    void RemoveLink(TKcChangeLink* Link);
    void NotifyLinks();
    int LinkCount() const { return static_cast<int>(FLinks.size()); }

private:
    std::vector<TKcChangeLink*> FLinks;
};

class TKcChangeLink {
public:
    TKcChangeLink() = default;
    TKcChangeLink(const TKcChangeLink&) = delete;
    TKcChangeLink& operator=(const TKcChangeLink&) = delete;
    ~TKcChangeLink();
    // The component this link is registered with; cleared when that component goes away.
    TKcSharedComponent* Sender() const { return FSender; }
    void Change();
    std::function<void(TKcSharedComponent&)> OnChange;

private:
    friend class TKcSharedComponent;
    TKcSharedComponent* FSender = nullptr;
};

class TKcCustomControl : public QWidget {
public:
    using TNotifyEvent = std::function<void(TKcCustomControl&)>;
    using TMouseEvent = std::function<void(TKcCustomControl&, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y)>;

    explicit TKcCustomControl(QWidget* Parent = nullptr);

    static constexpr const char* Version = "1.3";

    // Stored property values are applied between BeginLoading and Loaded; nothing paints meanwhile.
    void BeginLoading() { FLoading = true; }
    void EndLoading();
    bool Loading() const { return FLoading; }

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value);
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
    void SetTabStop(bool Value);

    virtual void PropertyChanged();

    TNotifyEvent OnClick, OnMouseEnter, OnMouseLeave, OnFontChanged, OnTextChanged;
    TMouseEvent OnMouseDown, OnMouseUp;

    void Click();

protected:
    virtual void Loaded() { PropertyChanged(); }
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void FontChanged();
    virtual void TextChanged();
    virtual void ColorChanged() { PropertyChanged(); }
    // The caption's accelerator was typed.
    virtual void DialogChar() {}
    void FireMouseDown(QMouseEvent* Event);
    void FireMouseUp(QMouseEvent* Event);

    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    bool event(QEvent* Event) override;

private:
    bool FLoading = false;
    TColor FColor = clBtnFace;
    QString FCaption;
    int FShortcutId = 0;
};

// Draws into an owned off-screen bitmap, then copies it to the screen in one step.
class TKcCustomImageControl : public TKcCustomControl {
public:
    explicit TKcCustomImageControl(QWidget* Parent = nullptr);
    const QImage& Bitmap() const { return FBitmap; }

protected:
    // Draw into the bitmap; it was filled with Color (or cleared when transparent) before.
    virtual void PaintBitmap(QPainter& Canvas) = 0;
    virtual void ClearBitmapCanvas(QPainter& Canvas);
    void paintEvent(QPaintEvent* Event) override;
    QImage FBitmap;
};

// Controls that take no focus; AdjustBounds recomputes a natural size.
class TKcGraphicControl : public TKcCustomControl {
public:
    explicit TKcGraphicControl(QWidget* Parent = nullptr);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);

protected:
    virtual QSize NaturalSize() const { return size(); }
    void AdjustBounds();

private:
    bool FAutoSize = false;
};

class TKcGraphicImageControl : public TKcGraphicControl {
public:
    explicit TKcGraphicImageControl(QWidget* Parent = nullptr);
    const QImage& Bitmap() const { return FBitmap; }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);

protected:
    virtual void PaintBitmap(QPainter& Canvas) = 0;
    // Transparent controls start from clear pixels so that the parent shows through.
    virtual void ClearBitmapCanvas(QPainter& Canvas);
    void paintEvent(QPaintEvent* Event) override;
    QImage FBitmap;

private:
    bool FTransparent = false;
};

}  // namespace kelvar
