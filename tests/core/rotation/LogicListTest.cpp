#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

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

// As the core builds it: the built-ins, then what the plug-in folder holds, sorted by a new
// configuration. The first module is no library at all, the second has no plug-in record.
TEST_F(LogicListTest, BrokenLogicModulesLeaveTheWeightedLogicActiveAndSayWhy) {
    const std::filesystem::path folder = Db->Folder / "plugins";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "kelvar_logic_aaa.so") << "not a library";
    Dl_info self{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::printf), &self), 0);
    std::filesystem::copy_file(self.dli_fname, folder / "kelvar_logic_bbb.so",
                               std::filesystem::copy_options::overwrite_existing);
    TPluginList modules(folder.string(), "kelvar_logic_*");
    modules.Scan();
    ASSERT_EQ(modules.Count(), 2);
    for (TPluginInfoFunc info : {CategoryLogicInfo, WeightedLogicInfo})
        List.AddPlugin(std::make_shared<TBasePlugin>(info));
    for (int i = 0; i < modules.Count(); ++i) List.AddPlugin(modules.Get(i));
    List.LoadConfig(*NewConfig()->Section("LogicList"));
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(std::dynamic_pointer_cast<TplWeightedRotation>(List.GetActive())) << Log->Dump();
        // Only the weighted logic is saved as the selection, so the next start goes the same way.
        auto saved = NewConfig()->Section("LogicList");
        List.SaveConfig(*saved);
        for (int i = 0; i < List.Count(); ++i) {
            const std::string id = List.Get(i)->GetPlugin()->GetID();
            EXPECT_EQ(saved->Section(id)->ReadBool("od_Selected", false), id == IdOf(WeightedLogicInfo)) << id;
        }
        List.LoadConfig(*saved);
    }
    // The loader's own reason, not only a debug line.
    EXPECT_GE(Log->Count("E [CORE] Plugin: Unable to load kelvar_logic_aaa.so: "), 1) << Log->Dump();
}

}  // namespace
}  // namespace kelvar
