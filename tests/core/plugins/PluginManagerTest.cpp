#include <gtest/gtest.h>

#include "core/plugins/DSP_Adaptor.h"
#include "core/plugins/PluginManager_imp.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/MiscFunc.h"
#include "tests/core/plugins/PluginTestKit.h"
#include "tests/core/plugins/TestPluginApi.h"

using namespace kelvar;

namespace {

using PluginManager = plugintest::PluginFolder;

std::vector<std::string> IDs(TPluginList& list) {
    std::vector<std::string> ids;
    for (int i = 0; i < list.Count(); ++i) ids.push_back(list.Get(i)->GetID());
    return ids;
}

}  // namespace

TEST_F(PluginManager, WrapsDSPModulesWithoutAConfigurationModuleOfTheirOwn) {
    Install("dsp_test.so", "dsp_echo.so");
    Install("dsp_test.so", "cfg_dsp_echo.so");
    {
        TPluginManager manager(Dir());
        manager.LoadPlugins();
        EXPECT_EQ(manager.DSPInstances->Count(), 0);
        EXPECT_EQ(manager.WinampDSPWrappers->Count(), 0);
    }
    std::filesystem::rename(Folder / "cfg_dsp_echo.so", Folder / "CFG_DSP_ECHO.SO");  // matched without case
    {
        TPluginManager manager(Dir());
        manager.LoadPlugins();
        EXPECT_EQ(manager.DSPInstances->Count(), 0);
    }
    std::filesystem::remove(Folder / "CFG_DSP_ECHO.SO");
    TPluginManager manager(Dir());
    manager.LoadPlugins();
    ASSERT_EQ(manager.DSPInstances->Count(), 1);
    ASSERT_EQ(manager.WinampDSPWrappers->Count(), 1);
    auto wrapper = manager.WinampDSPWrappers->Get(0);
    EXPECT_EQ(wrapper, manager.DSPInstances->Get(0));
    EXPECT_EQ(wrapper->GetName(), "dsp_echo.so");
    EXPECT_EQ(wrapper->GetGUID(), "dsp_echo.so");
    EXPECT_EQ(wrapper->GetID(), "dsp_echo.so");
    EXPECT_EQ(wrapper->GetVersion(), 0x0120);
    // Always the one adaptor made at wrapping time.
    auto filter = std::dynamic_pointer_cast<IFilter>(wrapper->CreateInstance());
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter, std::dynamic_pointer_cast<IFilter>(wrapper->CreateInstance()));
    EXPECT_EQ(std::string(filter->GetInfo()->Name), "dsp_echo.so");
}

TEST_F(PluginManager, WrapperNameFollowsTheConfigurationAndTheRunningLibrary) {
    Install("dsp_test.so", "dsp_echo.so");
    IFilterPtr filter;
    {
        TPluginManager manager(Dir());
        manager.LoadPlugins();
        auto wrapper = manager.WinampDSPWrappers->Get(0);
        filter = std::dynamic_pointer_cast<IFilter>(wrapper->CreateInstance());
        auto doc = TConfigDoc_XML::Create("");
        doc->Section("DSP")->Section("dsp_echo.so")->WriteString("Name", std::string(300, 'n'));
        manager.LoadConfig(*doc);
        EXPECT_EQ(std::string(filter->GetInfo()->Name), std::string(252, 'n'));  // the bound holds

        TFilterFormat format;
        format.SampleRate = 44100;
        format.BitsPerSample = 16;
        format.Channels = 2;
        ASSERT_TRUE(filter->Open(format));  // the library names itself
        manager.SaveConfig(*doc);
        EXPECT_EQ(doc->Section("DSP")->Section("dsp_echo.so")->ReadString("Name", ""), "Test DSP library");
        manager.Unload();
    }
    // The adaptor outlives its wrapper: its record no longer points into the wrapper.
    EXPECT_EQ(std::string(filter->GetInfo()->Name), GetDSPAdaptorName());
    filter->Close();
}

TEST_F(PluginManager, ScansEveryKindIntoItsListAndKeepsTheirState) {
    Install("kelvar_logic_a.so");
    Install("kelvar_logic_pkg.bpl");
    Install("kelvar_logic_b.so", "kelvar_general_b.so");
    Install("kelvar_logic_a.so", "kelvar_decoder_a.so");
    Install("kelvar_logic_b.so", "kelvar_dsp_b.so");
    Install("kelvar_logic_noentry.so", "kelvar_relay_broken.so");
    Install("dsp_test.so", "dsp_echo.so");

    const std::string configFile = (Folder / "core.xml").string();
    {
        TPluginManager manager(Dir());
        manager.LoadPlugins();
        EXPECT_EQ(IDs(*manager.Logic), (std::vector<std::string>{"logic_a", "logic_pkg"}));
        EXPECT_EQ(IDs(*manager.General), (std::vector<std::string>{"general_b"}));
        EXPECT_EQ(IDs(*manager.Decoders), (std::vector<std::string>{"decoder_a"}));
        EXPECT_EQ(IDs(*manager.Relays), (std::vector<std::string>{"relay_broken"}));
        EXPECT_EQ(IDs(*manager.DSP), (std::vector<std::string>{"dsp_b"}));
        EXPECT_EQ(IDs(*manager.DSPInstances), (std::vector<std::string>{"dsp_b", "dsp_echo.so"}));
        EXPECT_EQ(manager.Readers->Count() + manager.Output->Count() + manager.Encoders->Count(), 0);

        auto doc = TConfigDoc_XML::Create(configFile);
        auto node = doc->Section("Plugins");
        node->Section("Logic")->Section("logic_a")->WriteInteger("Priority", 3);
        manager.LoadConfig(*node);  // the broken relay is logged; the other lists load
        EXPECT_TRUE(Log->Contains("kelvar_relay_broken.so"));
        EXPECT_EQ(manager.Logic->Get(0)->GetName(), "Test logic 00000000000A");
        EXPECT_EQ(manager.Logic->Get(0)->GetPriority(), 3);
        EXPECT_EQ(manager.General->Get(0)->GetName(), "Test logic 00000000000B");
        EXPECT_EQ(manager.Logic->Get(1)->GetName(), "Unknown");  // packages load on first use
        manager.SaveConfig(*node);
        doc->Save();
        manager.Unload();
        for (const auto& list :
             {manager.Readers, manager.Decoders, manager.DSP, manager.Output, manager.DSPInstances,
              manager.WinampDSPWrappers, manager.Encoders, manager.Relays, manager.Logic, manager.General})
            EXPECT_EQ(list->Count(), 0);
    }
    auto doc = TConfigDoc_XML::Create(configFile);
    auto node = doc->Section("Plugins");
    for (const char* section : {"Readers", "Decoders", "Output", "Encoders", "Relays", "Logic", "General", "DSP"})
        EXPECT_NE(doc->GetXML().find(std::string("<") + section), std::string::npos) << section;
    EXPECT_EQ(node->Section("Logic")->Section("logic_a")->ReadInteger("Priority", 0), 3);
    EXPECT_FALSE(node->Section("Logic")->Section("logic_a")->ReadBool("MustReadInfo", true));
    EXPECT_TRUE(node->Section("Relays")->Section("relay_broken")->ReadBool("MustReadInfo", false));
    EXPECT_EQ(node->Section("DSP")->Section("dsp_b")->ReadString("Name", ""), "Test logic 00000000000B");
}

TEST(PluginManagerFolder, DefaultsToThePluginFolderBesideTheProgram) {
    TPluginManager manager("");
    EXPECT_EQ(PluginDir(), ProgramFolder() + "plugins/");
    EXPECT_EQ(manager.GetFolder(), PluginDir());
    EXPECT_EQ(TPluginList("", "x").GetFolder(), ProgramFolder());
}
