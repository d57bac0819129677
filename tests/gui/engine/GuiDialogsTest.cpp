// Message boxes and modal dialogs belong to the window that opened them, else the main window.
#include <gtest/gtest.h>

#include <QDialog>
#include <QMainWindow>

#include "common/GuiTestKit.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar {
namespace {

class GuiDialogsTest : public guitest::GuiTest {
protected:
    void SetUp() override {
        Main.setCentralWidget(new QWidget);
        Main.show();
    }
    void TearDown() override {
        SetMessageHandler(nullptr);
        SetModalHandler(nullptr);
    }
    QMainWindow Main;
};

TEST_F(GuiDialogsTest, MessageBoxBelongsToTheAskingWindowOrTheMainWindow) {
    QWidget* Owner = nullptr;
    SetMessageHandler([&](const TMessageRequest& R) {
        Owner = R.Owner;
        return MsgButton::OK;
    });
    QDialog Editor(&Main);
    Editor.show();
    MessageDlg("from the editor", TMsgDlgType::Warning, MsgButton::OK, &Editor);
    EXPECT_EQ(Owner, &Editor);
    MessageDlg("from a control", TMsgDlgType::Error, MsgButton::OK, Main.centralWidget());
    EXPECT_EQ(Owner, &Main);
    Editor.hide();
    MessageDlg("from the core", TMsgDlgType::Information, MsgButton::OK);
    EXPECT_EQ(Owner, &Main);
}

TEST_F(GuiDialogsTest, ModalDialogWithoutParentIsGivenToTheMainWindow) {
    QWidget* Parent = nullptr;
    SetModalHandler([&](QDialog& D) {
        Parent = D.parentWidget();
        EXPECT_TRUE(D.isWindow());
        return int(QDialog::Accepted);
    });
    QDialog Orphan;
    EXPECT_EQ(ExecModal(Orphan), QDialog::Accepted);
    EXPECT_EQ(Parent, &Main);
    QDialog Editor(&Main);
    QDialog Child(&Editor);
    ExecModal(Child);
    EXPECT_EQ(Parent, &Editor);
}

}  // namespace
}  // namespace kelvar
