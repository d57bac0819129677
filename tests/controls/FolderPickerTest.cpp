#include "QtApp.h"
#include "controls/BrowseForFolder.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeView>

namespace kelvar {
namespace {

class FolderPickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Temp.isValid());
        QDir(Temp.path()).mkpath("music/rock");
        Music = QDir(Temp.path()).filePath("music");
        LastChosenFolder().clear();
    }
    void TearDown() override { TBrowseForFolderDialog::SetRunner(nullptr); }
    static QString Current(QDialog& D) {
        auto* Tree = D.findChild<QTreeView*>();
        return static_cast<QFileSystemModel*>(Tree->model())->filePath(Tree->currentIndex());
    }
    static void Select(QDialog& D, const QString& Path) {
        auto* Tree = D.findChild<QTreeView*>();
        Tree->setCurrentIndex(static_cast<QFileSystemModel*>(Tree->model())->index(Path));
    }
    QTemporaryDir Temp;
    QString Music;
};

TEST_F(FolderPickerTest, ChooseFolderRemembersTheChoiceAndTheCheckBox) {
    QString OpenedAt;
    TBrowseForFolderDialog::SetRunner([&](QDialog& D) {
        OpenedAt = Current(D);
        Select(D, Music);
        D.findChild<QCheckBox*>()->setChecked(true);
        return int(QDialog::Accepted);
    });
    QString Folder = Temp.path();
    bool Include = false;
    ASSERT_TRUE(ChooseFolder(Folder, Include, "Choose directory", false));
    EXPECT_EQ(OpenedAt, Temp.path());
    EXPECT_EQ(Folder, Music);
    EXPECT_TRUE(Include);
    EXPECT_EQ(LastChosenFolder(), Music);

    // An empty folder opens at the last choice; a cancelled browser changes nothing.
    TBrowseForFolderDialog::SetRunner([&](QDialog& D) {
        OpenedAt = Current(D);
        Select(D, Temp.path());
        return int(QDialog::Rejected);
    });
    QString Empty;
    bool Include2 = true;
    EXPECT_FALSE(ChooseFolder(Empty, Include2, "Choose directory", false));
    EXPECT_EQ(OpenedAt, Music);
    EXPECT_TRUE(Empty.isEmpty());
    EXPECT_TRUE(Include2);
    EXPECT_EQ(LastChosenFolder(), Music);
}

TEST_F(FolderPickerTest, HiddenCheckBoxKeepsTheIncludeValue) {
    TBrowseForFolderDialog::SetRunner([&](QDialog& D) {
        auto* Box = D.findChild<QCheckBox*>();
        EXPECT_FALSE(Box->isEnabled());
        Select(D, Music);
        return int(QDialog::Accepted);
    });
    QString Folder = Temp.path();
    bool Include = true;
    ASSERT_TRUE(ChooseFolder(Folder, Include, "", true));
    EXPECT_TRUE(Include);
}

TEST_F(FolderPickerTest, CustomButtonPropertiesNeedALiveButton) {
    TBrowseForFolderDialog Dialog;
    Dialog.SetCustomButtonCaption("Stored");  // not shown: only stored
    std::string Error;
    TBrowseForFolderDialog::SetRunner([&](QDialog&) {
        try {
            Dialog.SetCustomButtonChecked(true);
        } catch (const EBrowseForFolderDialog& E) {
            Error = E.what();
        }
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(Dialog.Execute());
    EXPECT_EQ(Error, "Custom button does not exist.");
}

TEST_F(FolderPickerTest, TypedFolderThatDoesNotExistSelectsItsNearestParent) {
    TBrowseForFolderDialog Dialog;
    Dialog.SetRootPath(Temp.path());
    Dialog.SetOptions(bfoReturnOnlyFSDirs | bfoEdit | bfoEditDefault);
    TBrowseForFolderDialog::SetRunner([&](QDialog& D) {
        D.findChild<QLineEdit*>()->setText("music/rock/missing/deeper");
        return int(QDialog::Accepted);
    });
    ASSERT_TRUE(Dialog.Execute());
    EXPECT_EQ(QDir(Dialog.SelectedPath()).canonicalPath(), QDir(Music + "/rock").canonicalPath());
}

}  // namespace
}  // namespace kelvar
