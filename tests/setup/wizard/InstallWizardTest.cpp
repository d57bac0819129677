// The setup wizard driven through its buttons, offscreen, into a temporary folder with the
// embedded database: Welcome to Finished, a connection failure that returns to the login page,
// a failed install that keeps Next closed, and Cancel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <cstdlib>

#include "common/GuiTestKit.h"
#include "common/TempFolder.h"
#include "controls/CaptionFit.h"
#include "setup/InstallSequence.h"
#include "setup/SetupTestSupport.h"
#include "setup/wizard/FireBirdSettingsPanel.h"
#include "setup/wizard/unMain.h"

namespace kelvar {
namespace {

class InstallWizard : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        Wizard = std::make_unique<TfoMain>(Folders.SetupFolder.string());
        Wizard->OnMessage = [this](const std::string& text, int, int) {
            Messages.push_back(text);
            return Answer;
        };
        Wizard->OnOpenDocument = [this](const std::string& file) { Opened.push_back(file); };
        Wizard->OnStartProgram = [this](const std::string& file) { Started.push_back(file); };
        Wizard->OnScreenSize = [](int& w, int& h) {
            w = 1280;
            h = 1024;
            return true;
        };
        Wizard->Sequence().SoundCardProbe = [] { return false; };
        Wizard->show();
    }
    void TearDown() override { Wizard.reset(); }

    void Next() { QTest::mouseClick(Wizard->btNext, Qt::LeftButton); }
    std::string LogText() const { return Wizard->eLog->toPlainText().toStdString(); }

    // Welcome, Accept, then the path page with the install folder typed in.
    void ToPathPage() {
        EXPECT_EQ(Wizard->windowTitle(), "Kelvar Zorvik installation wizard");
        EXPECT_EQ(Wizard->ActivePage(), Wizard->tsWelcome);
        EXPECT_FALSE(Wizard->btBack->isEnabled());
        Next();
        EXPECT_EQ(Wizard->ActivePage(), Wizard->tsLicense);
        EXPECT_EQ(Wizard->btNext->text(), "Accept");
        Next();
        ASSERT_EQ(Wizard->ActivePage(), Wizard->tsPath);
        EXPECT_EQ(Wizard->btNext->text(), "Next >>");
        Wizard->ePath->setText(QString::fromStdString(Folders.InstallFolder.string()));
    }

    setuptest::TSetupFolders Folders;
    std::unique_ptr<TfoMain> Wizard;
    std::vector<std::string> Messages, Opened, Started;
    int Answer = WizardButton::OK;
};

TEST_F(InstallWizard, WelcomeToFinishedWithTheDefaultLogin) {
    ToPathPage();
    Next();  // the database and login pages are passed by: the install runs at once
    EXPECT_EQ(Wizard->ActivePage(), Wizard->tsFinished) << LogText();
    EXPECT_EQ(Wizard->btNext->text(), "Finish");
    EXPECT_FALSE(Wizard->btBack->isEnabled());
    EXPECT_FALSE(Wizard->btCancel->isEnabled());
    EXPECT_EQ(Wizard->lbDatabaseInfoHeader->text(), "  Database login details for FireBird");
    const std::string log = LogText();
    EXPECT_NE(log.find("Notice> License accepted."), std::string::npos);
    EXPECT_NE(log.find("Notice> Install path: " + Folders.InstallFolder.string() + "/"), std::string::npos);
    EXPECT_NE(log.find("Warning> No soundcard detected"), std::string::npos);
    EXPECT_NE(log.find("Notice> Kelvar install complete."), std::string::npos);
    EXPECT_EQ(Wizard->ErrorCount(), 0);
    EXPECT_TRUE(std::filesystem::exists(Folders.DatabaseFile()));
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1");
    EXPECT_EQ(Messages, std::vector<std::string>{"No soundcard detected. All output modules set to silent!"});

    Next();  // Finish
    EXPECT_EQ(Opened, std::vector<std::string>{Folders.InstallFolder.string() + "/help/Readme.html"});
    EXPECT_EQ(Started, std::vector<std::string>{Folders.InstallFolder.string() + "/KelvarZorvik"});
    EXPECT_FALSE(Wizard->isVisible());
}

TEST_F(InstallWizard, ConnectionFailureReturnsToTheLoginPageWithCustomSettings) {
    std::filesystem::remove(Folders.SetupFolder / "kelvar" / "KelvarZorvik");
    ToPathPage();
    Next();
    ASSERT_EQ(Wizard->ActivePage(), Wizard->tsLog) << LogText();
    QTest::mouseClick(Wizard->btBack, Qt::LeftButton);
    ASSERT_EQ(Wizard->ActivePage(), Wizard->tsDatabaseInfo);
    EXPECT_FALSE(Wizard->pDBInfo->isVisible());
    Wizard->eDB_Custom->click();
    EXPECT_TRUE(Wizard->pDBInfo->isVisible());
    ASSERT_NE(Wizard->SettingsPanel, nullptr);
    // A remote server nobody listens on (not this host's own name, so no local server is started).
    Wizard->SettingsPanel->eRemote->setChecked(true);
    EXPECT_TRUE(Wizard->SettingsPanel->eHost->isEnabled());
    Wizard->SettingsPanel->eHost->setText("127.0.0.2");
    Wizard->SettingsPanel->ePort->setText("1");
    Wizard->SettingsPanel->eUsername->setText("SYSDBA");
    Wizard->SettingsPanel->ePassword->setText("x");
    Messages.clear();
    Next();
    EXPECT_EQ(Wizard->ActivePage(), Wizard->tsDatabaseInfo) << LogText();
    EXPECT_TRUE(Wizard->eDB_Custom->isChecked());
    EXPECT_TRUE(Wizard->btNext->isEnabled());
    EXPECT_TRUE(Wizard->btBack->isEnabled());
    EXPECT_TRUE(Wizard->btCancel->isEnabled());
    EXPECT_EQ(Wizard->FatalCount(), 1);
    EXPECT_NE(LogText().find("FatalError> Unable to connect to database."), std::string::npos);
    ASSERT_FALSE(Messages.empty());
    EXPECT_EQ(Messages.back().rfind("Unable to connect to database. Please make sure", 0), 0u);

    // An empty host is refused on the page itself: nothing runs.
    Wizard->SettingsPanel->eHost->setText("");
    const std::string before = LogText();
    Next();
    EXPECT_EQ(Wizard->ActivePage(), Wizard->tsDatabaseInfo);
    EXPECT_EQ(LogText(), before);
}

TEST_F(InstallWizard, MissingPlayerKeepsNextClosedAndCancelAsksFirst) {
    std::filesystem::remove(Folders.SetupFolder / "kelvar" / "KelvarZorvik");
    ToPathPage();
    Next();
    EXPECT_EQ(Wizard->ActivePage(), Wizard->tsLog);
    EXPECT_FALSE(Wizard->btNext->isEnabled());
    EXPECT_TRUE(Wizard->btBack->isEnabled());
    EXPECT_TRUE(Wizard->btCancel->isEnabled());
    ASSERT_FALSE(Messages.empty());
    EXPECT_EQ(Messages.back().rfind("Kelvar failed to install properly.", 0), 0u);

    Answer = WizardButton::Cancel;
    QTest::mouseClick(Wizard->btCancel, Qt::LeftButton);
    EXPECT_EQ(Messages.back(), "This will abort the current install process. Are you sure you want to exit?");
    EXPECT_TRUE(Wizard->isVisible());
    Answer = WizardButton::Yes;
    QTest::mouseClick(Wizard->btCancel, Qt::LeftButton);
    EXPECT_FALSE(Wizard->isVisible());
}

TEST_F(InstallWizard, SecondAcceptResetsTheEditedPath) {
    ToPathPage();
    Wizard->ePath->setText("/somewhere/else");
    QTest::mouseClick(Wizard->btBack, Qt::LeftButton);
    EXPECT_EQ(Wizard->ActivePage(), Wizard->tsLicense);
    EXPECT_FALSE(Wizard->btBack->isEnabled());
    Next();
    EXPECT_NE(Wizard->ePath->text(), "/somewhere/else");
    EXPECT_FALSE(Wizard->ePath->text().isEmpty());
}

TEST_F(InstallWizard, EveryPageShowsItsCaptionsWhole) {
    ToPathPage();
    Next();
    ASSERT_EQ(Wizard->ActivePage(), Wizard->tsFinished) << LogText();
    EXPECT_EQ(Wizard->eViewReadme->text(), "View Kelvar readme file");
    EXPECT_EQ(Wizard->eStartKelvar->text(), "Run Kelvar program");
    ASSERT_NE(Wizard->SettingsPanel, nullptr);
    QStringList groups;
    for (const QGroupBox* g : Wizard->SettingsPanel->findChildren<QGroupBox*>()) groups << g->title();
    EXPECT_EQ(groups, QStringList({" Access mode", " Database login details ", " Remote server settings "}));
    EXPECT_EQ(Wizard->SettingsPanel->eEmbedded->text(), "Embedded server");

    std::string clipped;
    for (int i = 0; i < Wizard->pcPages->count(); ++i) {
        Wizard->pcPages->setCurrentIndex(i);
        if (Wizard->ActivePage() == Wizard->tsDatabaseInfo) Wizard->eDB_Custom->setChecked(true);
        QCoreApplication::processEvents();
        if (const char* folder = std::getenv("KELVAR_SHOT_DIR"))
            Wizard->grab().save(QString("%1/Setup_%2.png").arg(folder, Wizard->ActivePage()->objectName()));
        for (const TClippedCaption& c : FindClippedCaptions(*Wizard))
            clipped += Wizard->ActivePage()->objectName().toStdString() + ": " + Describe(c) + "\n";
    }
    EXPECT_EQ(clipped, "");
}

TEST_F(InstallWizard, DatabaseHelpShowsItsPageAndMissingPagesOrReadmeAreTold) {
    std::filesystem::create_directories(Folders.SetupFolder / "docs");
    test::WriteWholeFile((Folders.SetupFolder / "docs" / "firebird.html").string(),
                         "<html><body>About the FireBird server</body></html>");
    ToPathPage();
    Next();
    ASSERT_EQ(Wizard->ActivePage(), Wizard->tsFinished) << LogText();
    EXPECT_NE(Wizard->webDBInfo->toPlainText().toStdString().find("About the FireBird server"), std::string::npos);

    // "Need help?" asks for a page the setup folder does not hold: the panel says so, and a box too.
    Messages.clear();
    emit Wizard->lbNeedHelp->linkActivated("help");
    const std::string missing = (Folders.SetupFolder / "docs" / "choosedb.html").string();
    EXPECT_EQ(Messages, std::vector<std::string>{"The help page " + missing + " is not installed."});
    EXPECT_NE(Wizard->webDBInfo->toPlainText().toStdString().find(missing), std::string::npos);

    // A readme gone from the install is told, not silently skipped.
    std::filesystem::remove(Folders.InstallFolder / "help" / "Readme.html");
    Messages.clear();
    Next();  // Finish
    EXPECT_TRUE(Opened.empty());
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].rfind("The readme file is not installed:", 0), 0u);
    EXPECT_EQ(Started.size(), 1u);
}

}  // namespace
}  // namespace kelvar
