// The Config action over a real core: viewing every page and confirming changes nothing that
// runs, the file on disk gets what the pages show, and Cancel writes nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>

#include "CoreConfigFixture.h"
#include "common/KelvarTestAccess.h"
#include "controls/KcFonts.h"
#include "gui/config/cfgCrossfader.h"

namespace kelvar {
namespace {

using namespace configtest;

class ConfigAction : public CoreConfigFixture {};

void ViewEveryPage(TfoConfig& Form) {
    auto* tree = Form.frmConfig1->tvSections;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        tree->setCurrentItem(tree->topLevelItem(i));
        Settle();
        EXPECT_EQ(Form.frmConfig1->lbCaption->text(), tree->topLevelItem(i)->text(0));
        EXPECT_TRUE(Form.frmConfig1->ShownControl());
        // No page makes the dialog grow past its size.
        EXPECT_EQ(Form.size(), QSize(705, 516)) << tree->topLevelItem(i)->text(0).toStdString();
    }
}

TEST_F(ConfigAction, ViewingEveryPageAndConfirmingKeepsTheRunningSettings) {
    // The program's face, which the pages are laid out for.
    const QFont saved = QApplication::font();
    UseDialogFont();
    const std::string before = RunningSettings();
    ASSERT_TRUE(RunConfig([](TfoConfig& form) {
        EXPECT_EQ(TopCaptions(form), BuiltInCaptions);
        EXPECT_EQ(form.frmConfig1->tvSections->currentItem()->text(0), QString::fromStdString(BuiltInCaptions[0]));
        ViewEveryPage(form);
        PressOK(form);
    }));
    EXPECT_EQ(RunningSettings(), before);
    EXPECT_EQ(Refreshes, 1);
    EXPECT_FALSE(Doc->GetLiveApply());

    // A second round saves exactly what the first one wrote, and the file holds it.
    const std::string written = Doc->GetXML();
    EXPECT_EQ(FileOnDisk()->GetXML(), written);
    ASSERT_TRUE(RunConfig([](TfoConfig& form) {
        ViewEveryPage(form);
        PressOK(form);
    }));
    EXPECT_EQ(Doc->GetXML(), written);
    EXPECT_EQ(RunningSettings(), before);
    QApplication::setFont(saved);
}

TEST_F(ConfigAction, CancelWritesNoFileAndReloadsNothing) {
    const int64_t skip = In().XFadeSkipTime;
    EXPECT_FALSE(RunConfig([](TfoConfig& form) {
        auto* page = OpenPage<TCfgFrmCrossfader>(form, "Crossfading");
        ASSERT_TRUE(page);
        page->eShortTime->setValue(77);
        PressCancel(form);
    }));
    EXPECT_FALSE(std::filesystem::exists(ConfigFile()));
    EXPECT_EQ(In().XFadeSkipTime, skip);
    EXPECT_EQ(Refreshes, 0);
    EXPECT_FALSE(Doc->GetLiveApply());
    EXPECT_EQ(Doc->Section("Kelvar")->Section("DefSongSettings")->ReadInteger("XFadeSkipTime", 0), skip);
}

}  // namespace
}  // namespace kelvar
