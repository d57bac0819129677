#include "gui/engine/GuiDialogs.h"

#include "controls/DialogOwner.h"

#include <QDialog>
#include <QMessageBox>

namespace kelvar {

namespace {

TMessageHandler& MessageHandler() {
    static TMessageHandler handler;
    return handler;
}

TModalHandler& ModalHandler() {
    static TModalHandler handler;
    return handler;
}

QMessageBox::Icon IconOf(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::Warning: return QMessageBox::Warning;
        case TMsgDlgType::Error: return QMessageBox::Critical;
        case TMsgDlgType::Confirmation: return QMessageBox::Question;
        default: return QMessageBox::Information;
    }
}

struct TButtonMap {
    int Ours;
    QMessageBox::StandardButton Qt;
};
constexpr TButtonMap kButtons[] = {
    {MsgButton::OK, QMessageBox::Ok},         {MsgButton::Cancel, QMessageBox::Cancel},
    {MsgButton::Yes, QMessageBox::Yes},       {MsgButton::No, QMessageBox::No},
    {MsgButton::Abort, QMessageBox::Abort},   {MsgButton::Retry, QMessageBox::Retry},
    {MsgButton::Ignore, QMessageBox::Ignore},
};

}  // namespace

int MessageDlg(const std::string& Text, TMsgDlgType Type, int Buttons, QWidget* Parent) {
    QWidget* Owner = DialogOwner(Parent);
    if (MessageHandler()) return MessageHandler()(TMessageRequest{Type, Text, Buttons, Owner});
    QMessageBox box(IconOf(Type), QStringLiteral("Kelvar"), QString::fromStdString(Text), QMessageBox::NoButton, Owner);
    OwnDialog(box, Owner);
    for (const auto& b : kButtons)
        if (Buttons & b.Ours) box.addButton(b.Qt);
    const int answer = box.exec();
    for (const auto& b : kButtons)
        if (answer == b.Qt) return b.Ours;
    return (Buttons & MsgButton::Cancel) ? MsgButton::Cancel : MsgButton::OK;
}

int ExecModal(QDialog& Dialog) {
    if (!Dialog.parentWidget()) OwnDialog(Dialog);
    if (ModalHandler()) {
        const int result = ModalHandler()(Dialog);
        Dialog.setResult(result);
        return result;
    }
    return Dialog.exec();
}

void SetMessageHandler(TMessageHandler Handler) { MessageHandler() = std::move(Handler); }
void SetModalHandler(TModalHandler Handler) { ModalHandler() = std::move(Handler); }

}  // namespace kelvar
