#pragma once
// Message boxes and modal dialogs go through here so that tests can answer them: a test sets a
// handler and no window waits for a person.
#include <functional>
#include <string>

class QDialog;
class QWidget;

namespace kelvar {

enum class TMsgDlgType { Warning, Error, Information, Confirmation };

// Buttons of a message box, combined as a bit set; the answer is one of them.
namespace MsgButton {
constexpr int OK = 1;
constexpr int Cancel = 2;
constexpr int Yes = 4;
constexpr int No = 8;
constexpr int Abort = 16;
constexpr int Retry = 32;
constexpr int Ignore = 64;
}  // namespace MsgButton

struct TMessageRequest {
    TMsgDlgType Type = TMsgDlgType::Information;
    std::string Text;
    int Buttons = MsgButton::OK;
    // The window the box belongs to and shows above.
    QWidget* Owner = nullptr;
};

using TMessageHandler = std::function<int(const TMessageRequest&)>;
// Answers the button chosen in a dialog that is running modally (QDialog::Accepted/Rejected or
// the dialog's own result); the handler may fill in the dialog's fields first.
using TModalHandler = std::function<int(QDialog&)>;

// Shows a message box (or asks the test's handler) and answers the button pressed.
int MessageDlg(const std::string& Text, TMsgDlgType Type, int Buttons, QWidget* Parent = nullptr);
// Runs Dialog modally (or hands it to the test's handler) and answers its result; a dialog
// without a parent is first given to the window in front (see DialogOwner).
int ExecModal(QDialog& Dialog);

// Tests: replace the person at the screen; an empty handler restores the real dialogs.
void SetMessageHandler(TMessageHandler Handler);
void SetModalHandler(TModalHandler Handler);

}  // namespace kelvar
