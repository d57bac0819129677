#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "RotationTestKit.h"
#include "core/plugins/PluginList_imp.h"
#include "core/rotation/LogicList.h"
#include "core/rotation/Logic_category.h"
#include "core/rotation/Logic_weighted.h"
#include "core/rotation/PlaylistControl_imp.h"

namespace kelvar {
namespace {

using rotationtest::TCaptureLogger;
using rotationtest::TRotationFixture;

// Stand-ins for logic modules: one that chooses nothing, one whose instance is no logic, one
// whose module fails to create its instance.
class TIdleLogic : public TPlaylistLogic {};
class TNotALogic : public IInterface {};

TPluginInfo* IdleInfo() {
    static TPluginInfo info{"Idle logic", "Playlist rotation logic module", 0x0100,
                            "{00000000-0000-0000-0000-000000000001}",
                            [](IInterfacePtr* instance, const char*) { *instance = std::make_shared<TIdleLogic>(); }};
    return &info;
}
TPluginInfo* NotALogicInfo() {
    static TPluginInfo info{"Not a logic", "", 0x0100, "{00000000-0000-0000-0000-000000000002}",
                            [](IInterfacePtr* instance, const char*) { *instance = std::make_shared<TNotALogic>(); }};
    return &info;
}
TPluginInfo* BrokenInfo() {
    static TPluginInfo info{"Broken", "", 0x0100, "{00000000-0000-0000-0000-000000000003}",
                            [](IInterfacePtr*, const char*) { throw std::runtime_error("module is damaged"); }};
    return &info;
}

class LogicListTest : public TRotationFixture {
protected:
    void SetUp() override {
        TRotationFixture::SetUp();
        Log = std::make_shared<TCaptureLogger>();
        SetCoreLogger(Log);
        Control = std::make_unique<TPlaylistControl>();
    }
    void TearDown() override {
        List.Clear();
        Control.reset();
        SetCoreLogger(nullptr);
        TRotationFixture::TearDown();
    }

    // The built-in order: clockwheel, (web), weighted.
    void AddBuiltIns() {
        for (TPluginInfoFunc info : {CategoryLogicInfo, IdleInfo, WeightedLogicInfo})
            List.AddPlugin(std::make_shared<TBasePlugin>(info));
    }

    std::string IdOf(TPluginInfoFunc info) { return TBasePlugin(info).GetID(); }

    std::shared_ptr<TCaptureLogger> Log;
    std::unique_ptr<TPlaylistControl> Control;
    TLogicList List;
};

TEST_F(LogicListTest, ANewConfigurationActivatesTheWeightedLogic) {
    AddBuiltIns();
    auto config = NewConfig()->Section("LogicList");
    List.LoadConfig(*config);
    IPlaylistLogicPtr active = List.GetActive();
    EXPECT_TRUE(std::dynamic_pointer_cast<TplWeightedRotation>(active));
    EXPECT_EQ(List.GetActive(), active) << "the same instance on every call";

    auto saved = NewConfig()->Section("LogicList");
    List.SaveConfig(*saved);
    EXPECT_TRUE(saved->Section(IdOf(WeightedLogicInfo))->ReadBool("od_Selected", false));
    EXPECT_FALSE(saved->Section(IdOf(CategoryLogicInfo))->ReadBool("od_Selected", true));
}

TEST_F(LogicListTest, TheSelectedEntryWinsWhateverItsPriority) {
    AddBuiltIns();
    auto config = NewConfig()->Section("LogicList");
    config->Section(IdOf(CategoryLogicInfo))->WriteBool("od_Selected", true);
    config->Section(IdOf(CategoryLogicInfo))->WriteInteger("od_Priority", 255);
    config->Section(IdOf(WeightedLogicInfo))->WriteInteger("od_Priority", 1);
    List.LoadConfig(*config);
    EXPECT_TRUE(std::dynamic_pointer_cast<TplCategoryRotation>(List.GetActive()));
    EXPECT_TRUE(std::dynamic_pointer_cast<TplWeightedRotation>(List.GetLogic(0)));
    EXPECT_TRUE(std::dynamic_pointer_cast<IRotationFormatFile>(List.GetActive()));
}

TEST_F(LogicListTest, ASelectedEntryThatGivesNoLogicFallsBackToTheFirst) {
    EXPECT_EQ(List.GetActive(), nullptr);
    for (TPluginInfoFunc info : {IdleInfo, NotALogicInfo, BrokenInfo})
        List.AddPlugin(std::make_shared<TBasePlugin>(info));
    List.Get(1)->SetSelected(true);
    EXPECT_EQ(List.GetLogic(1), nullptr);
    EXPECT_TRUE(std::dynamic_pointer_cast<TIdleLogic>(List.GetActive()));
    EXPECT_TRUE(List.Get(0)->GetSelected());

    List.Get(0)->SetSelected(false);
    List.Get(1)->SetSelected(false);
    List.Get(2)->SetSelected(true);
    EXPECT_TRUE(std::dynamic_pointer_cast<TIdleLogic>(List.GetActive()));
    EXPECT_EQ(Log->Count("module is damaged"), 1);
}

}  // namespace
}  // namespace kelvar
