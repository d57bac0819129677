// Dialogs belong to a window a person sees: the one that asked, else the main window or the
// splash, and stay above an always-on-top window.
#include "QtApp.h"
#include "controls/BrowseForFolder.h"
#include "controls/DialogOwner.h"

#include <gtest/gtest.h>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>

namespace kelvar {
namespace {

class DialogOwnerTest : public ::testing::Test {
protected:
    void TearDown() override { TBrowseForFolderDialog::SetRunner(nullptr); }
    // Opens the folder picker as Owner's code would and answers the window it belonged to.
    static QWidget* PickerParent(QWidget* Owner, bool* OnTop = nullptr) {
        QWidget* Parent = nullptr;
        TBrowseForFolderDialog::SetRunner([&](QDialog& D) {
            Parent = D.parentWidget();
            if (OnTop) *OnTop = D.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            EXPECT_TRUE(D.isWindow());
            return int(QDialog::Rejected);
        });
        QString Folder;
        bool Include = false;
        ChooseFolder(Folder, Include, "Choose directory", false, Owner);
        return Parent;
    }
};

TEST_F(DialogOwnerTest, PickerBelongsToTheWindowThatAskedOrTheMainWindow) {
    QMainWindow Main;
    auto* Child = new QWidget(&Main);
    Main.setCentralWidget(Child);
    Main.show();
    EXPECT_EQ(PickerParent(Child), &Main);
    EXPECT_EQ(PickerParent(nullptr), &Main);

    QDialog Editor(&Main);
    Editor.show();
    EXPECT_EQ(PickerParent(&Editor), &Editor);
}

TEST_F(DialogOwnerTest, PickerOpensAboveTheSplash) {
    // The first run: only the always-on-top splash shows.
    QWidget Splash(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen);
    Splash.show();
    bool OnTop = false;
    EXPECT_EQ(PickerParent(nullptr, &OnTop), &Splash);
    EXPECT_TRUE(OnTop);
    Splash.hide();
    QMainWindow Main;
    Main.show();
    EXPECT_EQ(PickerParent(nullptr, &OnTop), &Main);
    EXPECT_FALSE(OnTop);
}

TEST_F(DialogOwnerTest, OwnDialogKeepsTheDialogAWindowOfItsOwner) {
    QMainWindow Main;
    Main.show();
    QMessageBox Box(QMessageBox::Warning, "Kelvar", "text", QMessageBox::Ok);
    OwnDialog(Box, Main.centralWidget() ? Main.centralWidget() : &Main);
    EXPECT_EQ(Box.parentWidget(), &Main);
    EXPECT_TRUE(Box.isWindow());
    EXPECT_EQ(Box.windowType(), Qt::Dialog);
}

}  // namespace
}  // namespace kelvar
