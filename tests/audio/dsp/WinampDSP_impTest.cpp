#include "audio/nodes/WinampDSP_imp.h"

#include <gtest/gtest.h>

#include "WinampTestKit.h"
#include "audio/graph/AudioErrors.h"

namespace kelvar {
namespace {

using test::TestPlugin;

TEST(WinampDSP, LoadsHeaderAndCountsModules) {
    TWinampDSP multi(TestPlugin("dsp_multi.so"));
    EXPECT_FALSE(multi.IsLoaded());
    EXPECT_TRUE(multi.FileExists());
    EXPECT_EQ(multi.GetDescription(), "Test multi");  // loads on demand
    EXPECT_TRUE(multi.IsLoaded());
    EXPECT_EQ(multi.ModuleCount(), 4);
    multi.SetParentWindow(0x5150);
    TWinampDSPModule* m = multi.GetModule(2);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->description, "Add seven");
    EXPECT_EQ(m->hwndParent, 0x5150u);
    EXPECT_NE(m->hDllInstance, nullptr);
    EXPECT_EQ(multi.GetModule(4), nullptr);
    EXPECT_EQ(multi.GetModule(-1), nullptr);
    // The cached description counts only while the file is not loaded.
    multi.SetDescription("stale");
    EXPECT_EQ(multi.GetDescription(), "Test multi");
}

TEST(WinampDSP, FilesWithoutPluginStayInactive) {
    test::TTempFolder temp;
    const std::string fake = temp.File("dsp_fake.so");
    test::WriteWholeFile(fake, "not a library");
    for (const std::string& path : {TestPlugin("dsp_noheader.so"), fake, temp.File("dsp_missing.so")}) {
        TWinampDSP dsp(path);
        dsp.Activate(0);
        EXPECT_FALSE(dsp.IsActive()) << path;
        EXPECT_FALSE(dsp.IsLoaded()) << path;
        EXPECT_EQ(dsp.GetDescription(), "Error loading plugin") << path;
        EXPECT_EQ(dsp.ModuleCount(), 0);
        EXPECT_EQ(dsp.GetModule(0), nullptr);
        dsp.Configure(-1);  // nothing to show, nothing to crash
    }
}

TEST(WinampDSP, ActivationRunsInitAndQuitAndSkipsBadModules) {
    const std::string path = TestPlugin("dsp_multi.so");
    auto quits = test::PluginSymbol<int (*)()>(path, "TestQuits");
    auto inits = test::PluginSymbol<int (*)()>(path, "TestInits");
    ASSERT_TRUE(quits && inits);
    TWinampDSP dsp(path);
    const int inits0 = inits(), quits0 = quits();
    dsp.Activate(2);
    EXPECT_TRUE(dsp.IsActive());
    EXPECT_EQ(inits(), inits0 + 1);
    dsp.Activate(3);  // Init fails: the previous module is stopped, none runs
    EXPECT_EQ(quits(), quits0 + 1);
    EXPECT_FALSE(dsp.IsActive());
    dsp.Activate(9);  // no such module
    EXPECT_FALSE(dsp.IsActive());
    dsp.Activate(0);
    dsp.Deactivate();
    EXPECT_EQ(quits(), quits0 + 2);
    dsp.Deactivate();  // twice: Quit once
    EXPECT_EQ(quits(), quits0 + 2);
}

TEST(WinampDSP, ModifySamplesOnlyInUseAndOnlyWhenActive) {
    TWinampDSP dsp(TestPlugin("dsp_multi.so"));
    auto samples = test::Ramp(10);
    EXPECT_EQ(dsp.ModifySamples(samples.data(), 10, 16, 2, 44100), 10);  // not in use: untouched
    EXPECT_EQ(samples, test::Ramp(10));
    dsp.SetInUse(true);
    EXPECT_THROW(
        try { dsp.ModifySamples(samples.data(), 10, 16, 2, 44100); } catch (const EAudioError& e) {
            EXPECT_STREQ(e.what(), "ModifySamples: DSP Module must be active");
            throw;
        },
        EAudioError);
    EXPECT_EQ(dsp.ModifySamples(nullptr, 10, 16, 2, 44100), 10);
    dsp.Activate(0);
    EXPECT_EQ(dsp.ModifySamples(samples.data(), 10, 16, 2, 44100), 10);
    EXPECT_EQ(samples[2 * 3], -30);
}

TEST(WinampDSP, UnloadWithARunningModuleRaisesAndForgetsIt) {
    TWinampDSP dsp(TestPlugin("dsp_gain.so"));
    dsp.Activate(0);
    ASSERT_TRUE(dsp.IsActive());
    EXPECT_THROW(
        try { dsp.Unload(); } catch (const EAudioError& e) {
            EXPECT_STREQ(e.what(), "DSP plugin module active - can not close plugin!");
            throw;
        },
        EAudioError);
    EXPECT_FALSE(dsp.IsLoaded());
    EXPECT_FALSE(dsp.IsActive());
    dsp.Load();
    EXPECT_TRUE(dsp.IsLoaded());
    dsp.Unload();
    EXPECT_FALSE(dsp.IsLoaded());
}

TEST(WinampDSP, ConfigureHandsTheParentWindow) {
    const std::string path = TestPlugin("dsp_multi.so");
    auto configs = test::PluginSymbol<int (*)()>(path, "TestConfigs");
    auto parent = test::PluginSymbol<uintptr_t (*)()>(path, "TestConfigParent");
    ASSERT_TRUE(configs && parent);
    TWinampDSP dsp(path);
    dsp.SetModuleIndex(1);
    dsp.SetParentWindow(0x4a00007);
    const int before = configs();
    dsp.Configure(-1);
    EXPECT_EQ(configs(), before + 1);
    EXPECT_EQ(parent(), 0x4a00007u);
}

}  // namespace
}  // namespace kelvar
