#include "gui/lists/unBigSection.h"

#include <QEvent>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace kelvar {

TfoBigSection::TfoBigSection(QWidget* Parent) : TfoBaseSection(Parent) {
    FBody = new QVBoxLayout(this);
    FBody->setContentsMargins(0, 0, 0, 0);
    FBody->setSpacing(0);
    pCaptionBar = new QWidget(this);
    pCaptionBar->setObjectName("pCaptionBar");
    pCaptionBar->setFixedHeight(21);
    pCaptionBar->setAutoFillBackground(true);
    QPalette bar = pCaptionBar->palette();
    bar.setColor(QPalette::Window, BgrColor(12615680));
    pCaptionBar->setPalette(bar);
    pCaptionBar->hide();
    FBody->addWidget(pCaptionBar);
    pClient = new QWidget(this);
    FBody->addWidget(pClient, 1);

    QFont bold = font();
    bold.setBold(true);
    lbCaptionShadow = new QLabel(pCaptionBar);
    lbCaptionShadow->setFont(bold);
    lbCaptionShadow->setStyleSheet(QString("color: %1").arg(BgrColor(8541952).name()));
    lbCaptionShadow->move(31, 5);
    lbCaption = new QLabel(pCaptionBar);
    lbCaption->setFont(bold);
    lbCaption->setStyleSheet("color: white");
    lbCaption->move(29, 3);
    BoxButton1 = new QToolButton(pCaptionBar);
    BoxButton1->setGeometry(2, 1, 23, 19);
    btPrevious = new QToolButton(pCaptionBar);
    btPrevious->setText(QString(QChar(0x25C0)));
    btPrevious->setFixedSize(23, 21);
    btPrevious->setEnabled(false);
    btNext = new QToolButton(pCaptionBar);
    btNext->setText(QString(QChar(0x25B6)));
    btNext->setFixedSize(23, 21);
    btNext->setEnabled(false);
    pCaptionBar->installEventFilter(this);
}

void TfoBigSection::SetCaption(const QString& Value) {
    lbCaption->setText(Value);
    lbCaption->adjustSize();
    lbCaptionShadow->setText(lbCaption->text());
    lbCaptionShadow->adjustSize();
}

void TfoBigSection::pCaptionBarResize() {
    btNext->move(pCaptionBar->width() - btNext->width(), 0);
    btPrevious->move(btNext->x() - btPrevious->width() + 1, 0);
}

bool TfoBigSection::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == pCaptionBar && Event->type() == QEvent::Resize) pCaptionBarResize();
    return TfoBaseSection::eventFilter(Watched, Event);
}

}  // namespace kelvar
