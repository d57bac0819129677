#include "audio/nodes/WinampDSPList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "WinampTestKit.h"

namespace kelvar {
namespace {

std::vector<std::string> Names(TWinampDSPList& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(std::filesystem::path(list.GetItem(i)->GetFileName()).filename().string());
    return names;
}

TEST(WinampDSPList, NewPluginsKeepPathOrderAndTheCacheNumbersThem) {
    test::TPluginFolder folder;
    folder.Add("dsp_offset.so", "dsp_b.so");
    folder.Add("dsp_gain.so", "dsp_a.so");
    folder.Add("dsp_gain.so", "dsp_c.so", true);  // the Winamp folder is searched too
    folder.Add("dsp_gain.so", "other.so");        // not a DSP plug-in name
    {
        TWinampDSPList list({folder.Plugins, folder.Winamp, folder.Cache});
        EXPECT_EQ(Names(list), (std::vector<std::string>{"dsp_a.so", "dsp_b.so", "dsp_c.so"}));
        EXPECT_EQ(list.GetItem(1)->SortID, 1);
        EXPECT_FALSE(list.GetItem(0)->IsLoaded());
        ASSERT_NE(list.FindByFile(folder.Plugins + "DSP_B.SO"), nullptr);
        EXPECT_EQ(list.FindByFile(folder.Plugins + "dsp_x.so"), nullptr);
        EXPECT_EQ(list.GetItem(7), nullptr);
        list.Exchange(0, 2);
    }
    const std::string cache = test::ReadWholeFile(folder.Cache);
    EXPECT_NE(cache.find("[DSP]"), std::string::npos);
    EXPECT_NE(cache.find("dsp_b.so=Test offset"), std::string::npos);
    EXPECT_NE(cache.find("dsp_c.so=0"), std::string::npos);
    EXPECT_NE(cache.find("dsp_a.so=2"), std::string::npos);

    // The next start takes order and descriptions from the cache, without loading.
    TWinampDSPList again({folder.Plugins, folder.Winamp, folder.Cache});
    EXPECT_EQ(Names(again), (std::vector<std::string>{"dsp_c.so", "dsp_b.so", "dsp_a.so"}));
    EXPECT_EQ(again.GetItem(1)->GetDescription(), "Test offset");
    EXPECT_FALSE(again.GetItem(1)->IsLoaded());
}

TEST(WinampDSPList, RefreshDropsDeletedFilesAndAddsNewOnes) {
    test::TPluginFolder folder;
    const std::string a = folder.Add("dsp_gain.so", "dsp_a.so");
    folder.Add("dsp_gain.so", "dsp_b.so");
    TWinampDSPList list({folder.Plugins, "", folder.Cache});
    ASSERT_EQ(list.Count(), 2);
    std::filesystem::remove(a);
    folder.Add("dsp_offset.so", "dsp_z.so");
    list.Refresh();
    EXPECT_EQ(Names(list), (std::vector<std::string>{"dsp_b.so", "dsp_z.so"}));
}

TEST(WinampDSPList, SortOrdersBySortID) {
    test::TPluginFolder folder;
    for (const char* name : {"dsp_1.so", "dsp_2.so", "dsp_3.so", "dsp_4.so"}) folder.Add("dsp_gain.so", name);
    test::WriteWholeFile(folder.Cache, "[SortID]\ndsp_1.so=30\nDSP_2.SO=10\ndsp_3.so=20\n\n[DSP]\ndsp_1.so=One\n");
    TWinampDSPList list({folder.Plugins, "", folder.Cache});
    // dsp_4 has no entry: 1000, last.
    EXPECT_EQ(Names(list), (std::vector<std::string>{"dsp_2.so", "dsp_3.so", "dsp_1.so", "dsp_4.so"}));
    EXPECT_EQ(list.GetItem(2)->GetDescription(), "One");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.GetItem(i)->SortID, i);
}

TEST(WinampDSPList, UnloadablePluginIsCachedWithItsErrorText) {
    test::TPluginFolder folder;
    test::WriteWholeFile(folder.Plugins + "dsp_junk.so", "junk");
    { TWinampDSPList list({folder.Plugins, "", folder.Cache}); }
    EXPECT_NE(test::ReadWholeFile(folder.Cache).find("dsp_junk.so=Error loading plugin"), std::string::npos);
}

TEST(WinampDSPList, ProcessWideListUsesTheConfiguredFolders) {
    test::TPluginFolder folder;
    folder.Add("dsp_gain.so", "dsp_g.so");
    SetWinampDSPFolders({folder.Plugins, "", folder.Cache});
    FreeWinampDSPList();
    auto list = GetWinampDSPList();
    EXPECT_EQ(list, GetWinampDSPList());
    EXPECT_EQ(list->Count(), 1);
    list.reset();
    FreeWinampDSPList();
    EXPECT_NE(test::ReadWholeFile(folder.Cache).find("dsp_g.so=0"), std::string::npos);
    SetWinampDSPFolders(DefaultWinampDSPFolders());
}

// The Winamp folder comes from the settings file; unset, missing or not a folder gives none.
TEST(WinampDSPList, WinampFolderComesFromTheSettingsFile) {
    test::TPluginFolder folder;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    const std::string config = folder.Temp.File("config");
    std::filesystem::create_directories(config + "/kelvar");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string settings = config + "/kelvar/winamp.conf";
    const struct {
        const char* text;
        std::string folder;
    } cases[] = {
        {nullptr, ""},
        {"Other=1\nPluginFolder=WINAMP\n", folder.Winamp},
        {"PluginFolder=WINAMP", folder.Winamp},
        {"PluginFolder=/no/such/folder\n", ""},
        {"PluginFolder=\n", ""},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(settings);
        if (c.text) {
            std::string text = c.text;
            const auto at = text.find("WINAMP");
            // Written without its trailing "/", which the setting adds.
            if (at != std::string::npos) text.replace(at, 6, folder.Winamp.substr(0, folder.Winamp.size() - 1));
            std::ofstream(settings) << text;
        }
        EXPECT_EQ(WinampPluginFolderSetting(), c.folder) << (c.text ? c.text : "no file");
        EXPECT_EQ(DefaultWinampDSPFolders().WinampPluginFolder, c.folder);
    }
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace kelvar
