#include <gtest/gtest.h>

#include "core/plugins/PluginList_imp.h"
#include "foundation/ConfigDoc_XML.h"
#include "tests/core/plugins/PluginTestKit.h"
#include "tests/core/plugins/TestPluginApi.h"

using namespace kelvar;
using plugintest::PluginFolder;

namespace {

TPluginInfo BuiltInInfo = {"Built in", "A built-in module", 0x0210, "{483DB887-EFB2-4380-819B-435E6D76A8A7}", nullptr};
TPluginInfo* BuiltInInfoFunction() { return &BuiltInInfo; }

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const EPluginError& e) {
        return e.what();
    }
    return "";
}

// A plug-in with a fixed priority and name, for the list operations.
class TFixedPlugin : public TCustomPlugin {
public:
    TFixedPlugin(const std::string& name, uint8_t priority) {
        Name = name;
        ID = name;
        Priority = priority;
    }
    IInterfacePtr CreateInstance() override { return nullptr; }
};

}  // namespace

TEST(PluginHelpers, VersionTextAndFileIDs) {
    EXPECT_EQ(PluginVersionToStr(0x0120), "1.2.0");
    EXPECT_EQ(PluginVersionToStr(0x0100), "1.0.0");
    EXPECT_EQ(PluginVersionToStr(0xFFFF), "255.15.15");

    const std::pair<const char*, const char*> ids[] = {
        {"/x/kelvar_logic_x.so", "logic_x"},
        {"/x/kelvar_logic_pkg.bpl", "logic_pkg"},
        {"cfg_config_tools.so", "config_tools"},
        {"/x/kelvar_logic_my echo.so", "logic_my echo"},
        {"noprefix.so", "noprefix"},
    };
    for (const auto& [file, id] : ids) EXPECT_EQ(PluginFileID(file), id) << file;
}

TEST(PluginHelpers, BuiltInPluginKeepsItsRecordAndTakesOnlyThePriority) {
    TBasePlugin plugin(BuiltInInfoFunction);
    // Base64 of the GUID text without its "=" padding.
    EXPECT_EQ(plugin.GetID(), "ezQ4M0RCODg3LUVGQjItNDM4MC04MTlCLTQzNUU2RDc2QThBN30");
    auto doc = TConfigDoc_XML::Create("");
    doc->WriteString("Name", "Renamed");
    doc->WriteInteger("Priority", 7);
    plugin.LoadConfig(*doc);
    EXPECT_EQ(plugin.GetName(), "Built in");
    EXPECT_EQ(plugin.GetVersion(), 0x0210);
    EXPECT_EQ(plugin.GetPriority(), 7);
    EXPECT_EQ(plugin.CreateInstance(), nullptr);  // a record without a create procedure
}

TEST_F(PluginFolder, ModuleRecordIsReadOnceAndCachedInTheConfiguration) {
    const std::string file = Install("kelvar_logic_a.so");
    auto doc = TConfigDoc_XML::Create("");
    {
        TDLLPlugin plugin(file);
        EXPECT_EQ(plugin.GetID(), "logic_a");
        EXPECT_EQ(plugin.GetName(), "Unknown");
        EXPECT_FALSE(plugin.IsLoaded());
        plugin.LoadConfig(*doc);  // nothing cached yet: the module is read
        EXPECT_TRUE(plugin.IsLoaded());
        EXPECT_EQ(plugin.GetName(), "Test logic 00000000000A");
        EXPECT_EQ(plugin.GetDescription(), "A logic\nfor the tests");
        EXPECT_EQ(PluginVersionToStr(plugin.GetVersion()), "1.2.3");
        auto again = TConfigDoc_XML::Create("");
        again->WriteBool("MustReadInfo", true);  // asked again while loaded: no "already open"
        EXPECT_NO_THROW(plugin.LoadConfig(*again));
        plugin.SaveConfig(*doc);
    }
    EXPECT_FALSE(doc->ReadBool("MustReadInfo", true));
    TDLLPlugin again(file);
    again.LoadConfig(*doc);
    EXPECT_FALSE(again.IsLoaded());
    EXPECT_EQ(again.GetName(), "Test logic 00000000000A");
    EXPECT_EQ(again.GetGUID(), "{00000000-0000-0000-0000-00000000000A}");
    // The instance loads the module on demand.
    auto probe = std::dynamic_pointer_cast<ITestProbe>(again.CreateInstance());
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->Serial(), 1);
}

TEST_F(PluginFolder, ModulesThatAreNoPluginsFailWithTheirFileName) {
    const std::pair<std::string, std::string> cases[] = {
        {Install("kelvar_logic_noentry.so"), "Plugin: Unable to find plugin info procedure in kelvar_logic_noentry.so"},
        {Install("kelvar_logic_null.so"), "Plugin: Invalid plugin record in kelvar_logic_null.so"},
        {Install("kelvar_logic_throws.so"), "Plugin: Invalid plugin record in kelvar_logic_throws.so"},
        {WriteFile("kelvar_logic_text.so", "not a library"), "Plugin: Unable to load kelvar_logic_text.so"},
        {Dir() + "kelvar_logic_gone.so", "Plugin: Unable to load kelvar_logic_gone.so"},
    };
    for (const auto& [file, message] : cases) {
        TDLLPlugin plugin(file);
        EXPECT_EQ(ErrorOf([&] { plugin.Load(); }), message);
        EXPECT_FALSE(plugin.IsLoaded());
        EXPECT_EQ(plugin.GetName(), "Unknown");
        EXPECT_EQ(ErrorOf([&] { plugin.CreateInstance(); }), message);
    }
    TDLLPlugin plugin(Install("kelvar_logic_a.so"));
    plugin.Load();
    EXPECT_EQ(ErrorOf([&] { plugin.Load(); }), "Plugin: DLL already open (kelvar_logic_a.so)");
}

TEST_F(PluginFolder, InstancesKeepTheirModuleMappedAfterThePluginGoes) {
    IInterfacePtr instance;
    {
        auto plugin = std::make_shared<TDLLPlugin>(Install("kelvar_logic_a.so"));
        instance = plugin->CreateInstance();
        plugin->Unload();
    }
    auto probe = std::dynamic_pointer_cast<ITestProbe>(instance);
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->Setting(), "default");  // code of the module, still there
}

TEST_F(PluginFolder, PackagesFillPluginProcWhileTheyLoad) {
    const std::string file = Install("kelvar_logic_pkg.bpl");
    TBPLPlugin first(file);
    TBPLPlugin second(file);  // the same file, already mapped: its constructor does not run again
    first.Load();
    second.Load();
    EXPECT_EQ(first.GetName(), "Test logic 0000000000CC");
    EXPECT_EQ(second.GetName(), "Test logic 0000000000CC");
    EXPECT_EQ(PluginProc, nullptr);
    EXPECT_EQ(ErrorOf([&] { first.Load(); }), "Plugin: Package already open (kelvar_logic_pkg.bpl)");
    EXPECT_TRUE(std::dynamic_pointer_cast<ITestProbe>(second.CreateInstance()));

    TBPLPlugin unfilled(Install("kelvar_logic_nofill.bpl"));
    EXPECT_EQ(ErrorOf([&] { unfilled.Load(); }),
              "Plugin: PluginProc was not properly filled by (kelvar_logic_nofill.bpl)");
    TBPLPlugin missing(Dir() + "kelvar_logic_gone.bpl");
    EXPECT_EQ(ErrorOf([&] { missing.Load(); }), "Plugin: Unable to load package (kelvar_logic_gone.bpl)");
}

TEST_F(PluginFolder, ScanFindsModulesThenPackagesWithoutEmptyingTheList) {
    Install("kelvar_logic_a.so");
    Install("kelvar_logic_b.so", "kelvar_logic_b.SO");  // names match without regard to case
    Install("kelvar_logic_pkg.bpl");
    Install("kelvar_logic_a.so", "kelvar_general_a.so");
    WriteFile("kelvar_logic_notes.txt", "");
    std::filesystem::create_directory(Folder / "kelvar_logic_dir.so");

    TPluginList list(Dir(), "kelvar_logic_*");
    list.Scan();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(0)->GetID(), "logic_a");
    EXPECT_EQ(list.Get(1)->GetID(), "logic_b");
    EXPECT_EQ(list.Get(2)->GetID(), "logic_pkg");
    EXPECT_TRUE(std::dynamic_pointer_cast<TBPLPlugin>(list.Get(2)));
    EXPECT_EQ(list.Get(0)->GetName(), "Unknown");  // nothing loaded by the scan
    list.Scan();
    EXPECT_EQ(list.Count(), 6);
    EXPECT_THROW(list.Get(6), EListError);

    auto doc = TConfigDoc_XML::Create("");
    list.LoadConfig(*doc);
    EXPECT_EQ(list.FindByGUID("{00000000-0000-0000-0000-00000000000B}"), list.Get(1));
    EXPECT_EQ(list.FindByGUID("{00000000-0000-0000-0000-00000000000b}"), nullptr);
    list.Remove(list.Get(0));
    EXPECT_EQ(list.Count(), 5);
    list.Unload();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(PluginFolder, BrokenModulesAreLoggedAndTheOthersStillLoad) {
    Install("kelvar_logic_noentry.so");
    Install("kelvar_logic_a.so", "kelvar_logic_b.so");
    WriteFile("kelvar_logic_c.so", "garbage");
    TPluginList list(Dir(), "kelvar_logic_*");
    list.Scan();
    auto doc = TConfigDoc_XML::Create("");
    list.LoadConfig(*doc);
    EXPECT_EQ(list.Get(0)->GetName(), "Test logic 00000000000A");
    EXPECT_EQ(list.Get(1)->GetName(), "Unknown");
    EXPECT_TRUE(Log->Contains("Error loading Plugin: Plugin: Unable to load kelvar_logic_c.so"));
    EXPECT_TRUE(
        Log->Contains("Error loading Plugin: Plugin: Unable to find plugin info procedure in "
                      "kelvar_logic_noentry.so"));
}

TEST_F(PluginFolder, IDsThatAreNoXmlNamesStillRoundTripThroughTheFile) {
    Install("kelvar_logic_a.so", "kelvar_logic_my echo&1.so");
    const std::string configFile = (Folder / "plugins.xml").string();
    {
        TPluginList list(Dir(), "kelvar_logic_*");
        list.Scan();
        ASSERT_EQ(list.Count(), 1);
        auto doc = TConfigDoc_XML::Create(configFile);
        list.LoadConfig(*doc);
        list.SaveConfig(*doc);
        doc->Save();
    }
    auto doc = TConfigDoc_XML::Create(configFile);  // a malformed file would raise here
    EXPECT_EQ(doc->Section("logic_my echo&1")->ReadString("Name", ""), "Test logic 00000000000A");
    // Loads from the cache: the module is not read again.
    std::filesystem::remove(Folder / "kelvar_logic_my echo&1.so");
    auto plugin = std::make_shared<TDLLPlugin>(Dir() + "kelvar_logic_my echo&1.so");
    TPluginList list(Dir(), "kelvar_logic_*");
    list.Add(plugin);
    list.LoadConfig(*doc);
    EXPECT_EQ(plugin->GetName(), "Test logic 00000000000A");
    EXPECT_TRUE(Log->Lines().empty());
}

TEST_F(PluginFolder, OnDemandEntryCreatesAndConfiguresItsInstanceOnce) {
    auto plugin = std::make_shared<TDLLPlugin>(Install("kelvar_logic_a.so"));
    TOnDemandInterface entry(plugin);
    EXPECT_EQ(entry.GetPriority(), 255);
    EXPECT_FALSE(entry.GetSelected());
    EXPECT_FALSE(plugin->IsLoaded());

    auto doc = TConfigDoc_XML::Create("");
    auto node = doc->Section("logic_a");
    node->WriteInteger("od_Priority", 12);
    node->WriteBool("od_Selected", true);
    node->WriteString("Setting", "from node");
    entry.LoadConfig(node);
    EXPECT_EQ(entry.GetPriority(), 12);
    EXPECT_TRUE(entry.GetSelected());
    EXPECT_FALSE(entry.IsCreated());

    auto probe = std::dynamic_pointer_cast<ITestProbe>(entry.GetInstance());
    ASSERT_TRUE(probe);
    EXPECT_TRUE(entry.IsCreated());
    EXPECT_EQ(probe->Setting(), "from node");
    EXPECT_EQ(probe->LoadCount(), 1);
    EXPECT_EQ(entry.GetInstance(), std::dynamic_pointer_cast<IInterface>(probe));
    EXPECT_EQ(probe->Serial(), 1);

    entry.LoadConfig(node);  // an existing instance is configured again
    EXPECT_EQ(probe->LoadCount(), 2);
    auto saved = doc->Section("saved");
    entry.SaveConfig(saved);
    EXPECT_EQ(saved->ReadInteger("od_Priority", 0), 12);
    EXPECT_TRUE(saved->ReadBool("od_Selected", false));
    EXPECT_EQ(saved->ReadString("Setting", ""), "from node+saved");
}

TEST_F(PluginFolder, OnDemandEntryOfABrokenModuleRaisesAndKeepsNoInstance) {
    TOnDemandInterface entry(std::make_shared<TDLLPlugin>(Install("kelvar_logic_null.so")));
    EXPECT_THROW(entry.GetInstance(), EPluginError);
    EXPECT_FALSE(entry.IsCreated());
}

TEST(OnDemandList, SortsByPriorityInTheFixedOrder) {
    struct Case {
        std::vector<int> priorities;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{10, 255, 5}, {"p2", "p0", "p1"}},
        {{255, 255, 255}, {"p2", "p1", "p0"}},  // equal priorities: third, second, first
        {{3}, {"p0"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        TOnDemandList list;
        for (size_t i = 0; i < c.priorities.size(); ++i) {
            list.AddPlugin(std::make_shared<TFixedPlugin>("p" + std::to_string(i), 0));
            list.Get(static_cast<int>(i))->SetPriority(static_cast<uint8_t>(c.priorities[i]));
        }
        list.Sort();
        std::vector<std::string> order;
        for (int i = 0; i < list.Count(); ++i) order.push_back(list.Get(i)->GetPlugin()->GetName());
        EXPECT_EQ(order, c.expected);
    }
}

TEST(OnDemandList, LoadConfigReadsEachEntryFromItsPluginsSectionThenSorts) {
    TPluginList plugins("/nowhere", "x");
    for (const char* name : {"one", "two", "three"}) plugins.Add(std::make_shared<TFixedPlugin>(name, 0));
    TOnDemandList list;
    AddPluginsToList(plugins, list);
    ASSERT_EQ(list.Count(), 3);
    auto doc = TConfigDoc_XML::Create("");
    doc->Section("one")->WriteInteger("od_Priority", 9);
    doc->Section("two")->WriteInteger("od_Priority", 1);
    doc->Section("three")->WriteString("od_Priority", "not a number");  // logged, left at 255
    doc->Section("three")->WriteBool("od_Selected", true);
    plugintest::TRecordingLogger log;
    SetCoreLogger(std::shared_ptr<ILogger>(&log, [](ILogger*) {}));
    list.LoadConfig(*doc);
    SetCoreLogger(nullptr);
    EXPECT_EQ(list.Get(0)->GetPlugin()->GetName(), "two");
    EXPECT_EQ(list.Get(1)->GetPlugin()->GetName(), "one");
    EXPECT_EQ(list.Get(2)->GetPlugin()->GetName(), "three");
    EXPECT_TRUE(log.Contains("not a number"));

    list.RemovePlugin(plugins.Get(0));
    EXPECT_EQ(list.Count(), 2);
    list.Remove(list.Get(0));
    EXPECT_EQ(list.Get(0)->GetPlugin()->GetName(), "three");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}
