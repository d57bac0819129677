#include "gui/plugins/funOKCancel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/FxFancyButton.h"

namespace kelvar {

int GetFormTag(const QWidget* Form) { return Form ? Form->property("Tag").toInt() : 0; }
void SetFormTag(QWidget* Form, int Value) {
    if (Form) Form->setProperty("Tag", Value);
}

TfrmOKCancel::TfrmOKCancel(QWidget* Owner) : QFrame(Owner) {
    setFixedHeight(BarHeight);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(213, 208, 200));
    setPalette(colours);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    column->addWidget(bevel);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(6, 6, 6, 6);
    row->addStretch(1);
    btOK = new TFxFancyButton("OK", this);
    btOK->setObjectName("btOK");
    btClose = new TFxFancyButton("Cancel", this);
    btClose->setObjectName("btClose");
    for (auto* button : {btOK, btClose}) {
        button->setFixedSize(65, 25);
        row->addWidget(button);
    }
    column->addLayout(row);

    btOK->OnClick = [this](TFxFancyButton&) { CloseForm(1); };
    btClose->OnClick = [this](TFxFancyButton&) { CloseForm(2); };

    if (Owner && Owner->isWindow()) {
        FForm = Owner;
        qApp->installEventFilter(this);
    }
}

TfrmOKCancel::~TfrmOKCancel() { qApp->removeEventFilter(this); }

void TfrmOKCancel::CloseForm(int Tag) {
    if (!FForm) return;
    SetFormTag(FForm, Tag);
    // Closed from the event loop, after the click or key has finished.
    QWidget* form = FForm;
    QTimer::singleShot(0, form, [form] { form->close(); });
}

bool TfrmOKCancel::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() != QEvent::KeyPress || !FForm) return false;
    auto* widget = dynamic_cast<QWidget*>(Watched);
    if (!widget || widget->window() != FForm) return false;
    const int key = static_cast<QKeyEvent*>(Event)->key();
    if (key == Qt::Key_Escape) {
        CloseForm(2);
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Multi-line editors take Enter as a line break, buttons as a press.
        QWidget* focus = FForm->focusWidget();
        if (!focus) focus = widget;
        if (dynamic_cast<QPlainTextEdit*>(focus) || dynamic_cast<QTextEdit*>(focus) ||
            dynamic_cast<QAbstractButton*>(focus) || dynamic_cast<TFxFancyButton*>(focus))
            return false;
        CloseForm(1);
        return true;
    }
    return false;
}

}  // namespace kelvar
