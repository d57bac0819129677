// The database setup framework and the Firebird login settings.
#include <gtest/gtest.h>

#include "foundation/ConfigDoc_XML.h"
#include "setup/DatabaseSetup_FireBird.h"
#include "setup/funDB_FireBird.h"
#include "setup/unTools.h"

namespace kelvar {
namespace {

TEST(DatabaseSetupList, FindsByNameOrPosition) {
    TDatabaseSetupList list;
    std::vector<std::string> lines;
    list.SetOnLog([&](const std::string& m, int) { lines.push_back(m); });
    auto owned = std::make_unique<TDatabaseSetup_FireBird>("/tmp/setup");
    TDatabaseSetup_FireBird* fb = owned.get();
    // Not in a list yet: logging goes nowhere.
    fb->Log("before", lkNotice);
    list.Add("FIREBIRD", std::move(owned));
    list.Add("ignored", nullptr);
    fb->Log("after", lkNotice);
    EXPECT_EQ(lines, std::vector<std::string>{"after"});

    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Find("firebird"), fb);
    EXPECT_EQ(list.Find("0"), fb);
    EXPECT_EQ(list.Find("mysql"), nullptr);
    EXPECT_EQ(list.Find("-1"), nullptr);
    EXPECT_THROW(list.Find("1"), EListError);
}

TEST(DatabaseSetup, LocalHostNames) {
    TDatabaseSetup_FireBird setup("/tmp/setup");
    struct {
        std::string Host;
        bool Local;
    } cases[] = {{"localhost", true},  {"LocalHost", true},         {"127.0.0.1", true},
                 {"127.0.0.2", false}, {"dbserver.example", false}, {"", false}};
    for (const auto& c : cases) {
        setup.Host = c.Host;
        EXPECT_EQ(setup.IsLocalHost(), c.Local) << c.Host;
    }
    std::string own = ComputerName();
    ASSERT_FALSE(own.empty());
    for (char& ch : own) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    setup.Host = own;
    EXPECT_TRUE(setup.IsLocalHost());
}

TEST(DatabaseSetup, SettingsRoundTripAndEmptySectionKeepsFields) {
    TDatabaseSetup_FireBird setup("/tmp/setup");
    setup.InstallFolder = "/opt/kelvar";
    setup.Host = "db.example";
    setup.Database = "/data/songs.fdb";
    auto doc = TConfigDoc_XML::Create("");
    auto empty = doc->Section("Empty");
    setup.LoadSettings(*empty);
    EXPECT_EQ(setup.Host, "db.example");
    EXPECT_EQ(setup.Port, 3050);
    EXPECT_EQ(setup.Username, "sysdba");
    EXPECT_EQ(setup.Database, "/data/songs.fdb") << "a remote server keeps its database";

    setup.ServerMode = "SERVER";
    setup.Port = 3051;
    auto section = doc->Section("Database");
    setup.SaveSettings(*section);
    TDatabaseSetup_FireBird other("/tmp/setup");
    other.InstallFolder = "/opt/kelvar";
    other.LoadSettings(*section);
    EXPECT_EQ(other.Host, "db.example");
    EXPECT_EQ(other.Port, 3051);
    EXPECT_EQ(other.ServerMode, "SERVER");
    EXPECT_EQ(other.Database, "/data/songs.fdb");

    // On this computer the database is always the install folder's own file.
    section->WriteString("Host", "LOCALHOST");
    other.LoadSettings(*section);
    EXPECT_EQ(other.Database, "/opt/kelvar/KelvarDB/KelvarDB.fdb");
}

TEST(FireBirdSettings, ValidationFollowsTheAccessMode) {
    struct {
        int Mode;
        std::string Host, Port, User, Password;
        bool Valid;
    } cases[] = {
        {TfrmDB_FireBird::amEmbedded, "", "x", "", "", true},  // nothing is asked of the embedded engine
        {TfrmDB_FireBird::amLocal, "", "0", "sysdba", "pw", true},
        {TfrmDB_FireBird::amLocal, "h", "3050", "", "pw", false},
        {TfrmDB_FireBird::amLocal, "h", "3050", "sysdba", "", false},
        {TfrmDB_FireBird::amRemote, "db", "3050", "sysdba", "pw", true},
        {TfrmDB_FireBird::amRemote, "", "3050", "sysdba", "pw", false},
        {TfrmDB_FireBird::amRemote, "db", "0", "sysdba", "pw", false},
        {TfrmDB_FireBird::amRemote, "db", "30x", "sysdba", "pw", false},
    };
    for (const auto& c : cases) {
        TfrmDB_FireBird frame;
        frame.SetAccessMode(c.Mode);
        frame.eHost.Text = c.Host;
        frame.ePort.Text = c.Port;
        frame.eUsername.Text = c.User;
        frame.ePassword.Text = c.Password;
        EXPECT_EQ(frame.ValidateSettings(), c.Valid) << c.Mode << " " << c.Host << " " << c.Port;
    }
}

TEST(FireBirdSettings, SavedSectionsByMode) {
    auto doc = TConfigDoc_XML::Create("");
    TfrmDB_FireBird frame;
    frame.SetAccessMode(TfrmDB_FireBird::amLocal);
    frame.eHost.Text = "ignored";
    frame.eDatabase.Text = "ignored.fdb";
    frame.eUsername.Text = "dj";
    auto local = doc->Section("Local");
    frame.SaveSettings(*local);
    EXPECT_EQ(local->ReadString("ServerMode", ""), "LOCAL");
    EXPECT_EQ(local->ReadString("Host", ""), "localhost");
    EXPECT_EQ(local->ReadString("Port", ""), "3050");
    EXPECT_EQ(local->ReadString("Database", "?"), "");
    EXPECT_EQ(local->ReadString("Username", ""), "dj");
    EXPECT_EQ(local->ReadString("Driver", ""), "FIREBIRD");

    frame.SetAccessMode(TfrmDB_FireBird::amRemote);
    auto remote = doc->Section("Remote");
    frame.SaveSettings(*remote);
    EXPECT_EQ(remote->ReadString("Host", ""), "ignored");
    EXPECT_EQ(remote->ReadString("Database", ""), "ignored.fdb");

    TfrmDB_FireBird loaded;
    loaded.LoadSettings(*remote);
    EXPECT_EQ(loaded.GetAccessMode(), TfrmDB_FireBird::amRemote);
    EXPECT_TRUE(loaded.eHost.Enabled);
    EXPECT_EQ(loaded.eDatabase.Text, "ignored.fdb");
    remote->WriteString("ServerMode", "bogus");
    loaded.LoadSettings(*remote);
    EXPECT_EQ(loaded.GetAccessMode(), TfrmDB_FireBird::amEmbedded);
    EXPECT_FALSE(loaded.eUsername.Enabled);
}

}  // namespace
}  // namespace kelvar
