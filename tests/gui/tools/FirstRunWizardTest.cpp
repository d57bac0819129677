// The first-run wizard over the demo content that the demo tool makes: Continue imports the
// effects, songs, promos and the starting play list and then the operator's own folder; Escape
// imports nothing; the first run is marked done either way.
#include <QCheckBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QTest>
#include <QTreeView>
#include <cstdlib>

#include "controls/BrowseForFolder.h"
#include "controls/FxFancyButton.h"
#include "core/playlist/CustomCategory.h"
#include "gui/tools/ToolsTestKit.h"
#include "gui/tools/unFirstRun.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class FirstRunWizard : public toolstest::TToolsCore {
protected:
    static void SetUpTestSuite() {
        TToolsCore::SetUpTestSuite();
        Demo = new fs::path(fs::temp_directory_path() / ("kelvar-tools-demo-" + std::to_string(getpid())));
        fs::remove_all(*Demo);
        const std::string command = std::string(KELVAR_MAKE_DEMO) + " '" + Demo->string() +
                                    "' --songs 3 --seconds 3 --playlist 2 > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() {
        fs::remove_all(*Demo);
        delete Demo;
        TToolsCore::TearDownTestSuite();
    }
    void SetUp() override {
        TToolsCore::SetUp();
        CoreConfig = TConfigDoc_XML::Create("");
        CoreConfig->Section("Kelvar")->WriteBool("FirstRun", true);
    }
    void TearDown() override {
        TBrowseForFolderDialog::SetRunner(nullptr);
        CoreConfig = nullptr;
        TToolsCore::TearDown();
    }

    // The folder picker answers with Folder, sub-folders included; Chosen counts its runs.
    void ChooseInPicker(const fs::path& Folder, bool Accept) {
        TBrowseForFolderDialog::SetRunner([this, Folder, Accept](QDialog& D) {
            ++Chosen;
            for (auto* label : D.findChildren<QLabel*>())
                if (!label->text().isEmpty()) PickerTitle += label->text() + "|";
            auto* tree = D.findChild<QTreeView*>();
            tree->setCurrentIndex(
                static_cast<QFileSystemModel*>(tree->model())->index(QString::fromStdString(Folder.string())));
            if (auto* box = D.findChild<QCheckBox*>()) box->setChecked(true);
            return int(Accept ? QDialog::Accepted : QDialog::Rejected);
        });
    }
    int RowsOf(const char* Category) {
        TCustomCategory* c = Tree().FindByName(Category);
        return c ? CategoryRows(c) : -1;
    }
    static bool FirstRunSet() { return CoreConfig->Section("Kelvar")->ReadBool("FirstRun", true); }

    inline static fs::path* Demo = nullptr;
    int Chosen = 0;
    QString PickerTitle;
};

TEST_F(FirstRunWizard, ContinueImportsTheDemoAndTheOperatorsFolder) {
    Touch(Folder / "mine" / "one.mp3");
    Touch(Folder / "mine" / "live" / "two.ogg");
    ChooseInPicker(Folder / "mine", true);
    bool firstRunClearedBeforeShowing = false;
    guitest::WhenModal([&](QDialog& d) {
        auto& wizard = dynamic_cast<TfoFirstRun&>(d);
        firstRunClearedBeforeShowing = !FirstRunSet();
        EXPECT_EQ(wizard.windowTitle(), "Welcome!");
        EXPECT_TRUE(wizard.eDemo->isChecked());
        EXPECT_TRUE(wizard.eDemo->isEnabled());
        EXPECT_TRUE(wizard.eAddFiles->isChecked());
        QTest::mouseClick(wizard.btContinue, Qt::LeftButton);
    });
    RunFirstRunWizard(Demo->string());

    EXPECT_TRUE(firstRunClearedBeforeShowing);
    EXPECT_EQ(RowsOf("Effects"), 2);  // a sub-category of "Sound FX"
    EXPECT_EQ(RowsOf("DemoTracks"), 3);
    EXPECT_EQ(RowsOf("DemoPromos"), 2);
    EXPECT_EQ(CountRows("queuelist"), 2);
    EXPECT_EQ(Chosen, 1);
    EXPECT_TRUE(PickerTitle.contains("Choose the location of your music files")) << PickerTitle.toStdString();
    EXPECT_EQ(RowsOf("Tracks"), 2);
    EXPECT_EQ(CountRows("songlist"), 3 + 2 + 2 + 2);
    EXPECT_EQ(Log->Count("Error during FirstRun."), 0);
}

TEST_F(FirstRunWizard, EscapeClosesWithoutImportingAndTheWizardDoesNotComeBack) {
    ChooseInPicker(Folder, true);
    guitest::WhenModal([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    RunFirstRunWizard(Demo->string());
    EXPECT_EQ(CountRows("songlist"), 0);
    EXPECT_EQ(Chosen, 0);
    EXPECT_FALSE(FirstRunSet());
}

TEST_F(FirstRunWizard, WithoutSoundFolderOnlyTheOperatorsFolderIsOffered) {
    ChooseInPicker(Folder, false);
    guitest::WhenModal([](QDialog& d) {
        auto& wizard = dynamic_cast<TfoFirstRun&>(d);
        EXPECT_FALSE(wizard.eDemo->isChecked());
        EXPECT_FALSE(wizard.eDemo->isEnabled());
        QTest::keyClick(&d, Qt::Key_Return);
    });
    RunFirstRunWizard((Folder / "no-such-folder").string());
    EXPECT_EQ(Chosen, 1);
    EXPECT_EQ(CountRows("songlist"), 0);
    EXPECT_EQ(Log->Count("Error during FirstRun."), 0);
    EXPECT_FALSE(FirstRunSet());
}

}  // namespace
}  // namespace kelvar
