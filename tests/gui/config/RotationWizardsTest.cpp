// The clockwheel wizards and the logic settings frames: the statements they build, the script
// section's lines, and numbers that are no numbers.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QTest>

#include "ConfigTestKit.h"
#include "common/TempFolder.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/config/funLogic_category.h"
#include "gui/config/funLogic_web.h"
#include "gui/config/funLogic_weighted.h"
#include "gui/config/funWizOptions.h"
#include "gui/config/unWizComment.h"
#include "gui/config/unWizDirectory.h"

namespace kelvar {
namespace {

using namespace configtest;

class RotationWizards : public guitest::GuiTest {
protected:
    void TearDown() override { SetModalHandler(nullptr); }
};

TEST_F(RotationWizards, StatementsQuoteNamesAndCarryTheOptions) {
    TfrmWizOptions options;
    EXPECT_EQ(CategoryStatement("O'Brien", options.SelectionWord(), options.RulesWord()),
              "Cat['O''Brien'].QueueBottom(smWeighted, EnforceRules);");
    options.eMode->button(6)->setChecked(true);
    options.eEnforce->setChecked(false);
    EXPECT_EQ(options.SelectionWord(), "smLRPA");
    EXPECT_EQ(options.RulesWord(), "NoRules");
    EXPECT_EQ(DirectoryStatement("SubDir", "C:\\Music", "smWeighted", "EnforceRules", true),
              "SubDir['C:\\Music'].Rescan;\rSubDir['C:\\Music'].QueueBottom(smWeighted, EnforceRules);");
    EXPECT_EQ(DirectoryStatement("Dir", "/m", "smRandom", "NoRules", false),
              "Dir['/m'].QueueBottom(smRandom, NoRules);");
}

TEST_F(RotationWizards, CommentWizardConfirmsEvenAnEmptyTextAndCancelKeepsTheText) {
    struct {
        std::string Given;
        std::string Typed;
        bool Confirm;
        bool Answer;
        std::string Result;
    } cases[] = {{"", "Top of the hour", true, true, "{# Top of the hour #}"},
                 {"old", "", true, true, ""},
                 {"old", "new", false, false, "old"}};
    for (const auto& c : cases) {
        OnDialog<TfoWizComment>([&](TfoWizComment& wizard) {
            EXPECT_EQ(wizard.windowTitle(), "Comment");
            EXPECT_EQ(wizard.eComment->text().toStdString(), c.Given);
            wizard.eComment->setText(QString::fromStdString(c.Typed));
            c.Confirm ? wizard.Confirm() : wizard.CancelWizard();
        });
        std::string text = c.Given;
        EXPECT_EQ(WizardComment(text), c.Answer);
        EXPECT_EQ(text, c.Result);
    }
}

TEST_F(RotationWizards, DirectoryWizardRemembersTheFolderAndPutsTheRescanFirst) {
    test::TTempFolder folder;
    OnDialog<TfoWizDirectory>([&](TfoWizDirectory& wizard) {
        wizard.SetFolder(QString::fromStdString(folder.Path().string()));
        wizard.eSubDir->setChecked(true);
        wizard.eRescan->setChecked(true);
        wizard.Confirm();
    });
    std::string text;
    ASSERT_TRUE(WizardDirectory(text));
    const std::string quoted = QuoteScriptText(folder.Path().string());
    EXPECT_EQ(text, "SubDir[" + quoted + "].Rescan;\rSubDir[" + quoted + "].QueueBottom(smWeighted, EnforceRules);");
    EXPECT_EQ(LastWizardFolder().toStdString(), folder.Path().string());

    // The next run starts there; without a folder chosen, OK does nothing and the close box
    // cancels.
    OnDialog<TfoWizDirectory>([&](TfoWizDirectory& wizard) {
        EXPECT_EQ(wizard.Folder().toStdString(), folder.Path().string());
        wizard.eDir->setCurrentIndex({});
        wizard.show();
        wizard.Confirm();
        Settle();
        EXPECT_TRUE(wizard.isVisible());
        wizard.close();
    });
    EXPECT_FALSE(WizardDirectory(text));
}

TEST_F(RotationWizards, WeightedAndClockwheelNumbersThatAreNoNumbersSaveTheirDefaults) {
    auto doc = TConfigDoc_XML::Create("");
    auto logic = doc->Section("Logic");
    logic->WriteString("PlayDec", "lots");
    logic->WriteString("RequestInc", "");
    logic->WriteInteger("MinWeight", 33);
    TfrmLogic_weighted weighted;
    weighted.LoadSettings(*logic);
    EXPECT_EQ(weighted.ePlayDec->text(), "lots");
    EXPECT_EQ(weighted.eMinWeight->value(), 33);
    EXPECT_TRUE(weighted.eEnforceRules->isChecked());
    weighted.SaveSettings(*logic);
    EXPECT_DOUBLE_EQ(logic->ReadFloat("PlayDec", 0), 0.5);
    EXPECT_DOUBLE_EQ(logic->ReadFloat("RequestInc", 0), 5.0);

    logic->WriteString("PlayDec", "1,25");
    logic->WriteString("RequestInc", "x");
    TfrmLogic_category clockwheel;
    clockwheel.LoadSettings(*logic);
    clockwheel.SaveSettings(*logic);
    EXPECT_DOUBLE_EQ(logic->ReadFloat("PlayDec", 0), 1.25);
    EXPECT_DOUBLE_EQ(logic->ReadFloat("RequestInc", 0), 5.0);
}

TEST_F(RotationWizards, ClockwheelScriptLoadingAlwaysReplacesTheDesignLine) {
    for (int lineCount : {-1, 0, 2}) {
        auto doc = TConfigDoc_XML::Create("");
        auto logic = doc->Section("Logic");
        if (lineCount >= 0) {
            std::vector<std::string> lines;
            for (int i = 0; i < lineCount; ++i) lines.push_back("Cat['" + std::to_string(i) + "'].QueueBottom(0, 1);");
            SaveStringsToConfig(*logic->Section("RotationFormat"), lines);
        }
        TfrmLogic_category frame;
        EXPECT_EQ(frame.eRotationFormat->Lines().size(), 1u);
        frame.LoadSettings(*logic);
        frame.show();
        EXPECT_TRUE(frame.btRequest->isHidden());
        EXPECT_EQ(frame.eRotationFormat->Lines().size(), static_cast<size_t>(std::max(lineCount, 0))) << lineCount;
        frame.SaveSettings(*logic);
        EXPECT_EQ(logic->Section("RotationFormat")->ReadInteger("LineCount", -1), std::max(lineCount, 0));
    }
}

TEST_F(RotationWizards, ClockwheelButtonsAppendLoadAndSaveScripts) {
    test::TTempFolder folder;
    TfrmLogic_category frame;
    QTest::mouseClick(frame.btClear, Qt::LeftButton);
    EXPECT_TRUE(frame.eRotationFormat->Lines().empty());

    OnDialog<TfoWizDirectory>([&](TfoWizDirectory& wizard) {
        wizard.SetFolder(QString::fromStdString(folder.Path().string()));
        wizard.eRescan->setChecked(true);
        wizard.Confirm();
    });
    QTest::mouseClick(frame.btDirectory, Qt::LeftButton);
    OnDialog<TfoWizComment>([](TfoWizComment& wizard) { wizard.Confirm(); });
    QTest::mouseClick(frame.btComment, Qt::LeftButton);
    const std::string quoted = QuoteScriptText(folder.Path().string());
    const std::vector<std::string> expected{"Dir[" + quoted + "].Rescan;",
                                            "Dir[" + quoted + "].QueueBottom(smWeighted, EnforceRules);", ""};
    EXPECT_EQ(frame.eRotationFormat->Lines(), expected);

    const QString file = QString::fromStdString(folder.File("hour"));
    OnDialog<QFileDialog>([&](QFileDialog& dialog) {
        dialog.selectFile(file);
        static_cast<QDialog&>(dialog).accept();
    });
    QTest::mouseClick(frame.btSave, Qt::LeftButton);
    EXPECT_EQ(test::ReadWholeFile(folder.File("hour.cwf")), expected[0] + "\n" + expected[1] + "\n\n");

    QTest::mouseClick(frame.btClear, Qt::LeftButton);
    OnDialog<QFileDialog>([&](QFileDialog& dialog) {
        dialog.selectFile(file + ".cwf");
        static_cast<QDialog&>(dialog).accept();
    });
    QTest::mouseClick(frame.btLoad, Qt::LeftButton);
    EXPECT_EQ(frame.eRotationFormat->Lines(), expected);
}

TEST_F(RotationWizards, WebAddressesAndSwitchesRoundTrip) {
    auto doc = TConfigDoc_XML::Create("");
    auto logic = doc->Section("Logic");
    logic->WriteString("url_OnPlay", "http://radio.example/play");
    logic->WriteBool("async_OnFail", false);
    TfrmLogic_web frame;
    frame.LoadSettings(*logic);
    EXPECT_EQ(frame.eOnPlay->text(), "http://radio.example/play");
    EXPECT_TRUE(frame.eOnChooseSong->text().endsWith("/kelvarweb/logic/onchoosesong.php"));
    EXPECT_FALSE(frame.cOnFail->isChecked());
    EXPECT_TRUE(frame.cOnRequest->isChecked());
    frame.SaveSettings(*logic);
    EXPECT_EQ(logic->ReadString("url_OnPlay", ""), "http://radio.example/play");
    EXPECT_FALSE(logic->ReadBool("async_OnFail", true));
    EXPECT_TRUE(logic->ReadBool("async_OnEndOfSong", false));
}

}  // namespace
}  // namespace kelvar
