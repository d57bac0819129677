// The General page: weight classes, the DJ mode rules of the recovery box, the port text, and
// the automation mode reaching the running auto recovery.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QRadioButton>

#include "CoreConfigFixture.h"
#include "common/KelvarTestAccess.h"
#include "controls/BrowseForFolder.h"
#include "gui/config/cfgGeneral.h"
#include "gui/config/funAutoRecovery.h"
#include "gui/config/funDefWeight.h"
#include "gui/config/funHTTPHandler.h"
#include "gui/config/funMetaDataConfig.h"

namespace kelvar {
namespace {

using namespace configtest;

class GeneralPage : public guitest::GuiTest {};

TEST_F(GeneralPage, StoredWeightsShowTheirClassAndWriteItsWeight) {
    struct {
        int64_t Stored;
        const char* Shown;
        int64_t Written;
    } cases[] = {{100, "Power hit", 90},      {80, "Power hit", 90},      {65, "Heavy rotation", 70},
                 {40, "Medium rotation", 50}, {39, "Light rotation", 30}, {10, "Rare rotation", 15},
                 {9, "No rotation", 5},       {150, "No rotation", 5},    {-4, "No rotation", 5}};
    for (const auto& c : cases) {
        auto doc = TConfigDoc_XML::Create("");
        auto songs = doc->Section("Kelvar")->Section("Songlist");
        songs->WriteInteger("DefWeight", c.Stored);
        TCfgFrmGeneral frame;
        frame.Init();
        frame.LoadFrom(*doc);
        EXPECT_EQ(frame.frmDefWeight1->eWeight->currentText(), c.Shown) << c.Stored;
        frame.SaveTo(*doc);
        EXPECT_EQ(songs->ReadInteger("DefWeight", 0), c.Written) << c.Stored;
    }
}

TEST_F(GeneralPage, PortTextAndTheHiddenParts) {
    struct {
        const char* Text;
        int64_t Written;
    } cases[] = {{"  1221 ", 1221}, {"80a", 8080}, {"", 8080}};
    for (const auto& c : cases) {
        auto doc = TConfigDoc_XML::Create("");
        auto http = doc->Section("Kelvar")->Section("HTTPManager");
        http->WriteString("Port", c.Text);
        TCfgFrmGeneral frame;
        frame.Init();
        frame.LoadFrom(*doc);
        frame.show();
        EXPECT_TRUE(frame.frmHTTPHandler1->isHidden());
        EXPECT_TRUE(frame.frmMetaDataConfig1->eWeb_PictureDir->isHidden());
        EXPECT_EQ(frame.frmHTTPHandler1->ePort->text(), c.Text);
        frame.SaveTo(*doc);
        EXPECT_EQ(http->ReadInteger("Port", 0), c.Written) << c.Text;
    }
}

TEST_F(GeneralPage, ManualDJDisablesRecoveryWithoutChangingItAndTheTimesFollowTheBox) {
    auto doc = TConfigDoc_XML::Create("");
    auto recovery = doc->Section("Kelvar")->Section("AutoRecovery");
    recovery->WriteInteger("DJMode", 2);
    recovery->WriteBool("AutoRecoveryEnabled", false);
    TCfgFrmGeneral frame;
    frame.Init();
    frame.LoadFrom(*doc);
    frame.show();
    TfrmAutoRecovery& r = *frame.frmAutoRecovery1;
    EXPECT_FALSE(r.eEnableRecovery->isEnabled());
    EXPECT_FALSE(r.eEnableRecovery->isChecked());
    EXPECT_FALSE(r.gRecovery->isVisible());

    r.eDJMode->button(0)->click();
    EXPECT_TRUE(r.eEnableRecovery->isEnabled());
    r.eEnableRecovery->setChecked(true);
    EXPECT_TRUE(r.gRecovery->isVisible());
    r.eDJMode->button(2)->click();
    EXPECT_FALSE(r.eEnableRecovery->isEnabled());
    EXPECT_TRUE(r.eEnableRecovery->isChecked());
    frame.SaveTo(*doc);
    EXPECT_EQ(recovery->ReadInteger("DJMode", -1), 2);
    EXPECT_TRUE(recovery->ReadBool("AutoRecoveryEnabled", false));
}

TEST_F(GeneralPage, ThePictureFolderButtonAsksForAFolder) {
    TCfgFrmGeneral frame;
    frame.Init();
    frame.frmMetaDataConfig1->eLoc_PictureDir->setText("/srv");
    QString title;
    TBrowseForFolderDialog::SetRunner([&](QDialog& Dialog) {
        title = Dialog.windowTitle();
        return 0;
    });
    frame.frmMetaDataConfig1->btOpenDir->click();
    TBrowseForFolderDialog::SetRunner(nullptr);
    EXPECT_FALSE(title.isEmpty());
    EXPECT_EQ(frame.frmMetaDataConfig1->eLoc_PictureDir->text(), "/srv");
}

class GeneralApplied : public CoreConfigFixture {};

TEST_F(GeneralApplied, ModeRecoveryAndWeightReachTheRunningCore) {
    ASSERT_TRUE(RunConfig([](TfoConfig& form) {
        auto* page = OpenPage<TCfgFrmGeneral>(form, "General");
        ASSERT_TRUE(page);
        page->frmAutoRecovery1->eDJMode->button(1)->click();
        page->frmAutoRecovery1->eMaxIdleTime->setValue(42);
        page->frmDefWeight1->eWeight->setCurrentIndex(0);
        page->frmMetaDataConfig1->eAmazonTag->setText("tag-1");
        PressOK(form);
    }));
    EXPECT_EQ(In().AutoRecovery->DJMode.load(), 1);
    EXPECT_EQ(In().AutoRecovery->MaxIdleTime, 42);
    EXPECT_EQ(Refreshes, 1);
    EXPECT_EQ(FileOnDisk()->Section("Kelvar")->Section("Songlist")->ReadInteger("DefWeight", 0), 90);
    EXPECT_EQ(FileOnDisk()->Section("Kelvar")->Section("MetaData")->ReadString("AmazonTag", ""), "tag-1");
}

}  // namespace
}  // namespace kelvar
