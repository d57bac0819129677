#include "gui/editors/EditorControls.h"

#include <QLabel>
#include <QPainter>
#include <exception>
#include <functional>

#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "foundation/Logger.h"

namespace kelvar {

TSwatch::TSwatch(QWidget* Parent, QColor Color, bool Hatched) : QWidget(Parent), FColor(Color), FHatched(Hatched) {}

void TSwatch::SetColor(QColor Color) {
    if (FColor == Color) return;
    FColor = Color;
    update();
}

void TSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (FHatched) {
        p.fillRect(r, Qt::black);
        p.setBrush(QBrush(FColor, Qt::CrossPattern));
    } else {
        p.setBrush(FColor);
    }
    p.setPen(FColor);
    p.drawRect(r);
}

QLabel* MakeEditorLabel(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry, Qt::Alignment Align) {
    auto* l = new QLabel(Text, Parent);
    l->setObjectName(Name);
    l->setAlignment(Align | Qt::AlignVCenter);
    l->setGeometry(Geometry);
    return l;
}

TKcDemoButton* MakeEditorButton(QWidget* Parent, const char* Name, const QString& Caption, const char* Hint,
                                QRect Geometry) {
    auto* b = new TKcDemoButton(Parent);
    b->setObjectName(Name);
    b->SetCaption(Caption);
    b->setToolTip(Hint);
    b->SetColor(0xC8D1D5);
    QFont f = b->font();
    f.setPixelSize(11);
    SetDemoFont(*b, f);
    b->setGeometry(Geometry);
    return b;
}

TKcTrackBar* MakeEditorTrackBar(QWidget* Parent, const char* Name, int Min, int Max, QRect Geometry) {
    auto* t = new TKcTrackBar(Parent);
    t->setObjectName(Name);
    t->setGeometry(Geometry);
    t->SetMinValue(Min);
    t->SetMaxValue(Max);
    UseWindowGutter(*t);
    return t;
}

void SetLabelText(QLabel* Label, const std::string& Text) {
    const QString t = QString::fromStdString(Text);
    if (Label->text() != t) Label->setText(t);
}

void GuardedUi(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const std::exception& e) {
        LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
    } catch (...) {
        LogMessage("Unhandled exception (unknown)", "GUI", LogKind::Exception);
    }
}

}  // namespace kelvar
