// The install against a Firebird server the test starts on loopback: a local server on a port of
// its own, and a remote server reached by address, port and file.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "FbServerProcess.h"
#include "SetupTestSupport.h"
#include "foundation/ConfigDoc_XML.h"
#include "setup/SilentInstall.h"
#include "setup/unTools.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

const char* const ServerPassword = "setuppw";

class ServerModeSetupTest : public ::testing::Test {
protected:
    void StartServer(const std::string& address) {
        if (!fs::exists(setuptest::ServerBinary) || !fs::exists(setuptest::IsqlBinary))
            GTEST_SKIP() << "Firebird server (Debian package firebird3.0-server) not installed";
        Server = std::make_unique<setuptest::TFbServerProcess>(address, ServerPassword);
        Server->Start();
    }

    int Install(std::vector<std::string> args) {
        args.insert(args.begin(), {"--silent", "--dir", Folders.InstallFolder.string(), "--user", "SYSDBA",
                                   "--password", ServerPassword, "--port", std::to_string(Server->Port)});
        TSilentOptions options;
        std::string error;
        EXPECT_TRUE(ParseSilentOptions(args, options, error)) << error;
        std::ostringstream out, err;
        int result = RunSilentInstall(options, Folders.SetupFolder.string(), out, err);
        Log.Lines = SplitLines(out.str());
        return result;
    }

    setuptest::TSetupFolders Folders;
    setuptest::TCapturedLog Log;
    std::unique_ptr<setuptest::TFbServerProcess> Server;
};

TEST_F(ServerModeSetupTest, LocalServerCreatesTheDatabaseInTheInstallFolder) {
    StartServer("127.0.0.1");
    ASSERT_EQ(Install({"--mode", "local"}), 0) << ::testing::PrintToString(Log.Lines);
    // The server answered, so nothing was installed or started.
    EXPECT_FALSE(Log.Mentions("Starting FireBird"));
    std::string remote = Server->RemoteName("localhost", Folders.DatabaseFile());
    EXPECT_EQ(setuptest::SchemaVersion(remote, ServerPassword), "1");

    auto db = TConfigDoc_XML::Create(Folders.ConfigFile())->Section("Database");
    EXPECT_EQ(db->ReadString("ServerMode", ""), "LOCAL");
    EXPECT_EQ(db->ReadString("Host", ""), "localhost");
    EXPECT_EQ(db->ReadString("Port", ""), std::to_string(Server->Port));
    EXPECT_EQ(db->ReadString("Database", ""), Folders.DatabaseFile());
    EXPECT_EQ(db->ReadString("Password", ""), ServerPassword);

    // An update over the server upgrades the same database.
    Folders.Script("upgrade.2.sql", "COMMENT ON COLUMN category.ID IS '2';\n");
    ASSERT_EQ(Install({"--mode", "local"}), 0) << ::testing::PrintToString(Log.Lines);
    EXPECT_EQ(setuptest::SchemaVersion(remote, ServerPassword), "2");
}

TEST_F(ServerModeSetupTest, RemoteServerByAddressPortAndFile) {
    // An address that is not this computer's name for itself, so the file given is kept.
    StartServer("127.0.0.2");
    std::string file = (Folders.Temp.Path() / "remote" / "songs.fdb").string();
    fs::create_directories(fs::path(file).parent_path());
    ASSERT_EQ(Install({"--mode", "server", "--host", "127.0.0.2", "--database", file}), 0)
        << ::testing::PrintToString(Log.Lines);
    std::string remote = Server->RemoteName("127.0.0.2", file);
    EXPECT_EQ(setuptest::QueryColumn(remote, "SELECT COUNT(*) FROM category", ServerPassword),
              std::vector<std::string>{"2"});
    auto db = TConfigDoc_XML::Create(Folders.ConfigFile())->Section("Database");
    EXPECT_EQ(db->ReadString("ServerMode", ""), "SERVER");
    EXPECT_EQ(db->ReadString("Host", ""), "127.0.0.2");
    EXPECT_EQ(db->ReadString("Database", ""), file);
    EXPECT_FALSE(fs::exists(Folders.DatabaseFile()));

    // A wrong password is a failed connection, reported as such.
    test::TTempFolder other;
    Folders.InstallFolder = other.Path() / "install";
    std::vector<std::string> args{"--mode", "server", "--host", "127.0.0.2", "--database", file, "--password", "wrong"};
    EXPECT_EQ(Install(args), 2);
    EXPECT_TRUE(Log.Has("FatalError> Unable to connect to database.")) << ::testing::PrintToString(Log.Lines);
}

}  // namespace
}  // namespace kelvar
