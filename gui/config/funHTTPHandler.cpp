#include "gui/config/funHTTPHandler.h"

#include <QGroupBox>
#include <QHBoxLayout>

namespace kelvar {

TfrmHTTPHandler::TfrmHTTPHandler(QWidget* Parent) : QFrame(Parent) {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox("HTTP Handler Port", this);
    auto* row = new QHBoxLayout(group);
    ePort = new QLineEdit("1221", group);
    ePort->setObjectName("ePort");
    row->addWidget(ePort);
    outer->addWidget(group);
}

void TfrmHTTPHandler::LoadFrom(IConfigDoc& Section) {
    ePort->setText(QString::fromStdString(Section.ReadString("Port", ePort->text().toStdString())));
}

void TfrmHTTPHandler::SaveTo(IConfigDoc& Section) {
    bool ok = false;
    const int port = ePort->text().trimmed().toInt(&ok);
    Section.WriteInteger("Port", ok ? port : 8080);
}

}  // namespace kelvar
