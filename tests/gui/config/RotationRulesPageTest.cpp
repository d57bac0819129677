// The playlist rotation rules page: the ghost queue switch, the logic choice, a rule edit seen
// by the next song choice of the running core, a logic's own settings dialog, and a clockwheel
// script written by the wizards that the clockwheel logic runs.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <filesystem>
#include <set>

#include "CoreConfigFixture.h"
#include "common/KelvarTestAccess.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/CustomCategory.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/plugins/PluginList_imp.h"
#include "core/rotation/Logic_category.h"
#include "core/rotation/Logic_weighted.h"
#include "gui/config/cfgPlaylistRules.h"
#include "gui/config/funLogic.h"
#include "gui/config/funLogic_category.h"
#include "gui/config/funLogic_web.h"
#include "gui/config/funLogic_weighted.h"
#include "gui/config/funPlaylistRules.h"
#include "gui/config/funWizOptions.h"
#include "gui/config/unWizCategory.h"
#include "gui/config/unWizComment.h"
#include "gui/config/unWizDirectory.h"
#include "gui/plugins/unPluginConfig.h"

namespace kelvar {
namespace {

using namespace configtest;

TDLVariant MinutesAgo(double Minutes) { return TDLVariant::FromDateTime(NowDateTime() - Minutes / 1440.0); }

std::string PluginID(TPluginInfoFunc Info) { return TBasePlugin(Info).GetID(); }

// Picks the logic whose combo text starts with Name, as the operator does.
void ChooseLogic(TfrmLogic& Frame, const QString& Name) {
    for (int i = 0; i < Frame.eLogicList->count(); ++i) {
        if (!Frame.eLogicList->itemText(i).startsWith(Name)) continue;
        Frame.eLogicList->setCurrentIndex(i);
        emit Frame.eLogicList->activated(i);
        return;
    }
    ADD_FAILURE() << "no logic " << Name.toStdString();
}

// Opens the chosen logic's settings dialog and runs Steps on its frame before OK or Cancel.
template <class TFrame>
void ConfigureLogic(TfrmLogic& Frame, std::function<void(TFrame&)> Steps, bool Confirm) {
    guitest::WhenModal([Steps, Confirm](QDialog& Dialog) {
        auto* dialog = dynamic_cast<TfoPluginConfig*>(&Dialog);
        ASSERT_TRUE(dialog);
        auto* frame = dynamic_cast<TFrame*>(dialog->GetFrame());
        if (frame) {
            Steps(*frame);
        } else {
            ADD_FAILURE() << "another settings frame";
        }
        Press(Confirm ? dialog->GetOKCancel()->btOK : dialog->GetOKCancel()->btClose);
    });
    Frame.btConfig->click();
    Settle();
}

class RotationRulesPage : public guitest::GuiTest {};

TEST_F(RotationRulesPage, AKeptQueueDisablesTheGhostButKeepsAndSavesIt) {
    auto doc = TConfigDoc_XML::Create("");
    auto rules = doc->Section("Kelvar")->Section("PlaylistRules");
    rules->WriteInteger("MinQueueSize", 3);
    rules->WriteBool("UseGhostQueue", true);
    TCfgFrmPlaylistRules frame;
    frame.Init();
    frame.LoadFrom(*doc);
    TfrmPlaylistRules& r = *frame.frmPlaylistRules1;
    EXPECT_FALSE(r.eUseGhost->isEnabled());
    EXPECT_TRUE(r.eUseGhost->isChecked());
    EXPECT_EQ(r.eArtistInterval->value(), 120);
    r.eMinQueueSize->setValue(0);
    EXPECT_TRUE(r.eUseGhost->isEnabled());
    r.eMinQueueSize->setValue(2);
    frame.SaveTo(*doc);
    EXPECT_TRUE(rules->ReadBool("UseGhostQueue", false));
    EXPECT_EQ(rules->ReadInteger("MinQueueSize", 0), 2);
    EXPECT_EQ(rules->ReadInteger("MinSongIDTime", 0), 240);
    frame.Done();
}

TEST_F(RotationRulesPage, TheComboShowsTheSelectedLogicOrTheFirst) {
    auto doc = TConfigDoc_XML::Create("");
    auto list = doc->Section("Kelvar")->Section("LogicList");
    {
        TCfgFrmPlaylistRules frame;
        frame.Init();
        frame.LoadFrom(*doc);
        ASSERT_EQ(frame.frmLogic1->eLogicList->count(), 3);
        EXPECT_EQ(frame.frmLogic1->eLogicList->currentIndex(), 0);
        std::set<std::string> texts;
        for (int i = 0; i < 3; ++i) texts.insert(frame.frmLogic1->eLogicList->itemText(i).toStdString());
        EXPECT_EQ(texts, (std::set<std::string>{"Weighted Playlist rotation logic module v1.0.0",
                                                "Clockwheel (Category rotation) logic module v2.0.0",
                                                "Web scripting based logic module v1.0.0"}));
        ChooseLogic(*frame.frmLogic1, "Web");
        frame.SaveTo(*doc);
        frame.Done();
    }
    EXPECT_TRUE(list->Section(PluginID(funLogic_web::GetPluginInfo))->ReadBool("od_Selected", false));
    EXPECT_FALSE(list->Section(PluginID(funLogic_weighted::GetPluginInfo))->ReadBool("od_Selected", true));
    TCfgFrmPlaylistRules again;
    again.Init();
    again.LoadFrom(*doc);
    EXPECT_TRUE(again.frmLogic1->eLogicList->currentText().startsWith("Web scripting based logic module v1.0.0"));
    again.Done();
}

class RotationRulesApplied : public CoreConfigFixture {
protected:
    void SetUp() override {
        CoreConfigFixture::SetUp();
        if (HasFatalFailure()) return;
        auto kelvar = Doc->Section("Kelvar");
        kelvar->Section("LogicList")->Section(PluginID(WeightedLogicInfo))->WriteBool("od_Selected", true);
        Core->LoadConfig(*kelvar);
    }
};

TEST_F(RotationRulesApplied, ARuleEditIsSeenByTheNextChoice) {
    const int id = AddSongRow("/music/a.wav", "Artist A", "Title A");
    PoolExecSQL("UPDATE songlist SET date_artist_played = :d WHERE ID = :ID", {MinutesAgo(30), id});
    ASSERT_TRUE(std::dynamic_pointer_cast<TplWeightedRotation>(In().PlaylistControl->GetLogic()));
    EXPECT_EQ(In().PlaylistControl->GetNextSong(), nullptr);

    ASSERT_TRUE(RunConfig([](TfoConfig& form) {
        auto* page = OpenPage<TCfgFrmPlaylistRules>(form, "Playlist rotation rules");
        ASSERT_TRUE(page);
        EXPECT_EQ(page->frmPlaylistRules1->eArtistInterval->value(), 120);
        EXPECT_TRUE(page->frmLogic1->eLogicList->currentText().startsWith("Weighted"));
        page->frmPlaylistRules1->eArtistInterval->setValue(10);
        PressOK(form);
    }));
    EXPECT_EQ(In().PlaylistControl->GetRules()->GetMinArtistTime(), 10);
    ISongInfoPtr next = In().PlaylistControl->GetNextSong();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->GetID(), id);
}

TEST_F(RotationRulesApplied, LogicSettingsStayInTheDocumentOnCancelAndReachTheFileOnOK) {
    for (bool confirm : {false, true}) {
        const bool confirmed = RunConfig([&](TfoConfig& form) {
            auto* page = OpenPage<TCfgFrmPlaylistRules>(form, "Playlist rotation rules");
            ASSERT_TRUE(page);
            ConfigureLogic<TfrmLogic_weighted>(
                *page->frmLogic1, [](TfrmLogic_weighted& frame) { frame.eMinWeight->setValue(42); }, true);
            confirm ? PressOK(form) : PressCancel(form);
        });
        EXPECT_EQ(confirmed, confirm);
        EXPECT_EQ(Doc->Section("Kelvar")->Section("Logic")->ReadInteger("MinWeight", 0), 42);
        EXPECT_EQ(std::filesystem::exists(ConfigFile()), confirm);
    }
    EXPECT_EQ(FileOnDisk()->Section("Kelvar")->Section("Logic")->ReadInteger("MinWeight", 0), 42);
    auto weighted = std::dynamic_pointer_cast<TplWeightedRotation>(In().PlaylistControl->GetLogic());
    ASSERT_TRUE(weighted);
    EXPECT_DOUBLE_EQ(weighted->MinWeight, 42.0);
}

TEST_F(RotationRulesApplied, AClockwheelScriptMadeByTheWizardsRunsInTheClockwheelLogic) {
    TCategoryTree& tree = *Api->PlaylistManager()->Categories;
    TCustomCategory* category = tree.CreateCategory(tree.FindByName("Playlist"), "O'Brien");
    ASSERT_TRUE(category);
    const int inCategory = AddSongRow("/music/obrien.wav", "O'Brien", "Song");
    PoolExecSQL(
        "INSERT INTO categorylist (ID, songID, categoryID, sortID) "
        "VALUES (GEN_ID(GEN_categorylist_ID, 1), :songID, :categoryID, 1000)",
        {inCategory, category->GetID()});
    test::TTempFolder music;
    const std::string file = music.File("folder-song.wav");
    coretest::WriteToneWav(file, 2000, 440);

    ASSERT_TRUE(RunConfig([&](TfoConfig& form) {
        auto* page = OpenPage<TCfgFrmPlaylistRules>(form, "Playlist rotation rules");
        ASSERT_TRUE(page);
        ChooseLogic(*page->frmLogic1, "Clockwheel");
        ConfigureLogic<TfrmLogic_category>(
            *page->frmLogic1,
            [&](TfrmLogic_category& frame) {
                frame.btClear->click();
                OnDialog<TfoWizCategory>([](TfoWizCategory& wizard) {
                    const auto found = wizard.tvCategory->findItems("O'Brien", Qt::MatchExactly | Qt::MatchRecursive);
                    ASSERT_EQ(found.size(), 1);
                    wizard.tvCategory->setCurrentItem(found.first());
                    wizard.frmWizOptions1->eMode->button(6)->setChecked(true);
                    wizard.Confirm();
                });
                frame.btCategory->click();
                OnDialog<TfoWizDirectory>([&](TfoWizDirectory& wizard) {
                    wizard.SetFolder(QString::fromStdString(music.Path().string()));
                    wizard.eRescan->setChecked(true);
                    wizard.frmWizOptions1->eEnforce->setChecked(false);
                    wizard.Confirm();
                });
                frame.btDirectory->click();
                OnDialog<TfoWizComment>([](TfoWizComment& wizard) {
                    wizard.eComment->setText("end of the hour");
                    wizard.Confirm();
                });
                frame.btComment->click();
            },
            true);
        PressOK(form);
    }));

    auto clockwheel = std::dynamic_pointer_cast<TplCategoryRotation>(In().PlaylistControl->GetLogic());
    ASSERT_TRUE(clockwheel);
    const std::string folder = QuoteScriptText(music.Path().string());
    const std::vector<std::string> script{
        "Cat['O''Brien'].QueueBottom(smLRPA, EnforceRules);", "Dir[" + folder + "].Rescan;",
        "Dir[" + folder + "].QueueBottom(smWeighted, NoRules);", "{# end of the hour #}"};
    EXPECT_EQ(clockwheel->RotationFormat, script);

    ISongInfoPtr first = clockwheel->ChooseSong();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->GetID(), inCategory);
    clockwheel->GetDelayedQuery()->WaitForAll();
    ISongInfoPtr second = clockwheel->ChooseSong();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->GetFilename(), file);
    clockwheel->GetDelayedQuery()->WaitForAll();
}

}  // namespace
}  // namespace kelvar
