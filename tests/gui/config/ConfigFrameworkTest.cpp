// The configuration dialog with a page plug-in module of the tests: plug-in pages first, child
// pages, a page that refuses to be left, edits that survive moving between pages, OK and Cancel.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "ConfigTestKit.h"
#include "common/TempFolder.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/config/KelvarConfig_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;
using namespace configtest;

class ConfigFramework : public guitest::GuiTest {
protected:
    void SetUp() override {
        fs::copy_file(fs::path(KELVAR_TEST_MODULE_DIR) / "cfg_config_test.so", Plugins.Path() / "cfg_config_test.so");
        Doc = TConfigDoc_XML::Create((Files.Path() / "core.xml").string());
        Doc->Section("TestPage")->WriteString("Value", "old");
    }
    void TearDown() override { SetModalHandler(nullptr); }

    test::TTempFolder Plugins;
    test::TTempFolder Files;
    IConfigDocPtr Doc;
};

TEST_F(ConfigFramework, PluginPagesComeFirstAndAChildThatMayNotBeLeftHoldsTheDialog) {
    TKelvarConfig config(Plugins.Path().string());
    bool checked = false;
    OnConfigForm([&](TfoConfig& form) {
        EXPECT_EQ(form.windowTitle(), "Configuration");
        std::vector<std::string> expected{"Test page"};
        expected.insert(expected.end(), BuiltInCaptions.begin(), BuiltInCaptions.end());
        EXPECT_EQ(TopCaptions(form), expected);
        // The first page shows when the dialog opens.
        EXPECT_EQ(form.frmConfig1->tvSections->currentItem()->text(0), "Test page");
        EXPECT_EQ(form.frmConfig1->lbCaption->text(), "Test page");
        auto* edit = form.frmConfig1->ShownControl()->findChild<QLineEdit*>("eValue");
        ASSERT_TRUE(edit);
        EXPECT_EQ(edit->text(), "old");
        edit->setText("new");

        QTreeWidgetItem* child = FindPage(form, "Test child");
        ASSERT_TRUE(child);
        EXPECT_EQ(child->parent(), FindPage(form, "Test page"));
        form.frmConfig1->tvSections->setCurrentItem(child);
        Settle();
        auto* allow = form.frmConfig1->ShownControl()->findChild<QCheckBox*>("eAllowLeave");
        ASSERT_TRUE(allow);
        EXPECT_EQ(form.frmConfig1->lbShadowD->text(), "Test child");

        // The child refuses: the tree stays on it and OK keeps the dialog open.
        form.frmConfig1->tvSections->setCurrentItem(FindPage(form, "Test page"));
        Settle();
        EXPECT_EQ(form.frmConfig1->tvSections->currentItem(), child);
        EXPECT_EQ(form.frmConfig1->ShownControl()->findChild<QCheckBox*>("eAllowLeave"), allow);
        PressOK(form);
        EXPECT_TRUE(form.isVisible());

        // Once allowed, the page shows the edit made before, and OK closes.
        allow->setChecked(true);
        form.frmConfig1->tvSections->setCurrentItem(FindPage(form, "Test page"));
        Settle();
        edit = form.frmConfig1->ShownControl()->findChild<QLineEdit*>("eValue");
        ASSERT_TRUE(edit);
        EXPECT_EQ(edit->text(), "new");
        form.frmConfig1->tvSections->setCurrentItem(child);
        Settle();
        PressOK(form);
        EXPECT_FALSE(form.isVisible());
        checked = true;
    });
    EXPECT_TRUE(config.Execute(Doc));
    EXPECT_TRUE(checked);
    EXPECT_TRUE(Doc->GetLiveApply());
    EXPECT_EQ(Doc->Section("TestPage")->ReadString("Value", ""), "new");
}

TEST_F(ConfigFramework, CancelAndTheCloseBoxDiscardTheEdits) {
    for (bool closeBox : {false, true}) {
        TKelvarConfig config(Plugins.Path().string());
        OnConfigForm([&](TfoConfig& form) {
            auto* edit = form.frmConfig1->ShownControl()->findChild<QLineEdit*>("eValue");
            ASSERT_TRUE(edit);
            edit->setText("discarded");
            if (closeBox) {
                form.close();
                Settle();
            } else {
                PressCancel(form);
            }
        });
        EXPECT_FALSE(config.Execute(Doc));
        EXPECT_EQ(Doc->Section("TestPage")->ReadString("Value", ""), "old");
    }
}

TEST_F(ConfigFramework, AModuleThatIsNoPageOrCannotBeLoadedStopsTheDialog) {
    {
        test::TTempFolder folder;
        fs::copy_file(fs::path(KELVAR_TEST_MODULE_DIR) / "cfg_config_nopage.so",
                      folder.Path() / "cfg_config_nopage.so");
        EXPECT_THROW(TKelvarConfig config(folder.Path().string()), EPluginError);
    }
    {
        std::ofstream bad(Plugins.Path() / "cfg_config_broken.so");
        bad << "not a module";
    }
    EXPECT_THROW(TKelvarConfig config(Plugins.Path().string()), EPluginError);
}

}  // namespace
}  // namespace kelvar
