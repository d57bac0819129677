// The desktop menu entries and icons the install adds to the user's data folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/TempFolder.h"
#include "setup/DesktopEntries.h"
#include "setup/SetupTestSupport.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

TEST(DesktopEntries, ExecQuotesWhatTheKeyReserves) {
    const struct {
        const char* Path;
        const char* Exec;
    } cases[] = {
        {"/opt/kelvar/KelvarZorvik", "/opt/kelvar/KelvarZorvik"},
        {"/home/a b/KelvarZorvik", "\"/home/a b/KelvarZorvik\""},
        {"/srv/$x/K", "\"/srv/\\\\$x/K\""},  // \$ in the quotes, its backslash escaped again
        {"/srv/a\"b/K", "\"/srv/a\\\\\"b/K\""},
        {"/srv/100%/K", "/srv/100%%/K"},  // a literal % is doubled
        {"/srv/ünï/K", "/srv/ünï/K"},
    };
    for (const auto& c : cases) EXPECT_EQ(DesktopExecQuote(c.Path), c.Exec) << c.Path;
}

TEST(DesktopEntries, InstallWritesBothEntriesAndCopiesTheIcons) {
    test::TTempFolder temp;
    setuptest::TScopedEnv data("XDG_DATA_HOME", (temp.Path() / "data").string());
    const std::string install = (temp.Path() / "Kelvar Install").string() + "/";
    const std::string setup = (temp.Path() / "setup").string() + "/";
    fs::create_directories(install + "icons/hicolor/48x48/apps");
    test::WriteWholeFile(install + "icons/hicolor/48x48/apps/kelvar-zorvik.png", "png");

    std::string error;
    ASSERT_TRUE(InstallDesktopEntries(install, setup, error)) << error;
    const std::string player = test::ReadWholeFile((temp.Path() / "data/applications/kelvar-zorvik.desktop").string());
    EXPECT_NE(player.find("\nExec=\"" + install + "KelvarZorvik\"\n"), std::string::npos) << player;
    EXPECT_NE(player.find("\nIcon=kelvar-zorvik\n"), std::string::npos);
    EXPECT_EQ(player.rfind("[Desktop Entry]\nType=Application\n", 0), 0u);
    const std::string installer =
        test::ReadWholeFile((temp.Path() / "data/applications/kelvar-setup.desktop").string());
    EXPECT_NE(installer.find("\nExec=" + setup + "Setup_NMV\n"), std::string::npos) << installer;
    EXPECT_TRUE(fs::exists(temp.Path() / "data/icons/hicolor/48x48/apps/kelvar-zorvik.png"));

    // A data folder that cannot be written is an error the install reports, not a crash.
    fs::remove_all(temp.Path() / "data");
    test::WriteWholeFile((temp.Path() / "data").string(), "a file, not a folder");
    EXPECT_FALSE(InstallDesktopEntries(install, setup, error));
    EXPECT_NE(error.find("applications"), std::string::npos) << error;
}

}  // namespace
}  // namespace kelvar
