// The install sequence end to end into a temporary folder: database from the scripts, the
// player's configuration, updates that keep what exists, and the results it reports.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "SetupTestSupport.h"
#include "foundation/ConfigDoc_XML.h"
#include "setup/InstallSequence.h"
#include "setup/SilentInstall.h"
#include "setup/unTools.h"

extern char** environ;

namespace kelvar {
namespace {

namespace fs = std::filesystem;
using setuptest::TCapturedLog;

class SilentInstallTest : public ::testing::Test {
protected:
    // One silent run with the given extra options; its log lines.
    int Install(std::vector<std::string> args = {}, bool withDir = true) {
        args.insert(args.begin(), "--silent");
        if (withDir) {
            args.push_back("--dir");
            args.push_back(Folders.InstallFolder.string());
        }
        TSilentOptions options;
        std::string error;
        EXPECT_TRUE(ParseSilentOptions(args, options, error)) << error;
        std::ostringstream out, err;
        int result = RunSilentInstall(options, Folders.SetupFolder.string(), out, err);
        Log.Lines = SplitLines(out.str());
        Boxes = err.str();
        return result;
    }

    IConfigDocPtr Config() const { return TConfigDoc_XML::Create(Folders.ConfigFile()); }

    setuptest::TSetupFolders Folders;
    TCapturedLog Log;
    std::string Boxes;
};

TEST_F(SilentInstallTest, FreshInstallCreatesTheDatabaseAndWritesThePlayersConfiguration) {
    ASSERT_EQ(Install(), 0) << ::testing::PrintToString(Log.Lines);
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1");
    EXPECT_EQ(setuptest::QueryColumn(Folders.DatabaseFile(), "SELECT name FROM category ORDER BY ID"),
              (std::vector<std::string>{"Music", "Jingles"}));

    IConfigDocPtr config = Config();
    auto db = config->Section("Database");
    EXPECT_EQ(db->ReadString("Driver", ""), "FIREBIRD");
    EXPECT_EQ(db->ReadString("ServerMode", ""), "EMBEDDED");
    EXPECT_EQ(db->ReadString("Host", ""), "localhost");
    EXPECT_EQ(db->ReadString("Database", ""), Folders.DatabaseFile());
    EXPECT_EQ(db->ReadString("Username", ""), "sysdba");
    EXPECT_EQ(db->ReadString("Password", ""), "quillfern");
    EXPECT_TRUE(config->Section("Kelvar")->ReadBool("FirstRun", false));
    EXPECT_EQ(config->Section("Kelvar")->Section("Plugins")->ReadString("Folder", ""),
              Folders.InstallFolder.string() + "/plugins");
    EXPECT_EQ(setuptest::FileMode(Folders.ConfigFile()), 0600) << "the file holds the database password";

    EXPECT_EQ(test::ReadWholeFile(Folders.InstalledFile("layout/default.kgl")),
              "<CONFIG><MAIN><Size>large</Size></MAIN></CONFIG>\n");
    EXPECT_TRUE(fs::exists(Folders.InstalledFile("sql-firebird/tables.sql")));
    EXPECT_TRUE(fs::exists(Folders.InstalledFile("KelvarZorvik")));
    EXPECT_EQ(TInstallSequence::ReadInstallDir(), Folders.InstallFolder.string() + "/");
    EXPECT_TRUE(Log.Has("Notice> Install path: " + Folders.InstallFolder.string() + "/"));
    EXPECT_TRUE(Log.Has("Notice> Kelvar install complete."));
    // The desktop's menu starts the installed player.
    const std::string entry =
        test::ReadWholeFile((Folders.Temp.Path() / "data" / "applications" / "kelvar-zorvik.desktop").string());
    EXPECT_NE(entry.find("\nExec=" + Folders.InstalledFile("KelvarZorvik") + "\n"), std::string::npos) << entry;
}

TEST_F(SilentInstallTest, SecondRunUpgradesAndKeepsRowsConfigurationAndLayout) {
    ASSERT_EQ(Install(), 0) << ::testing::PrintToString(Log.Lines);
    setuptest::ExecOn(Folders.DatabaseFile(), {"INSERT INTO songlist (ID, title) VALUES (1, 'Kept')",
                                               "INSERT INTO songlist (ID, title) VALUES (2, 'Also kept')"});
    {
        IConfigDocPtr config = Config();
        config->Section("Kelvar")->WriteBool("FirstRun", false);
        config->Section("Kelvar")->WriteString("Operator", "night shift");
        config->Save();
    }
    test::WriteWholeFile(Folders.InstalledFile("layout/default.kgl"), "<CONFIG><MAIN>mine</MAIN></CONFIG>");
    Folders.Script("upgrade.2.sql",
                   "ALTER TABLE songlist ADD artist VARCHAR(100);\nCOMMENT ON COLUMN category.ID IS '2';\n");
    Folders.Payload("KelvarZorvik", "#!/bin/sh\n# newer\n");

    // Without --dir the remembered folder is the target.
    ASSERT_EQ(Install({}, false), 0) << ::testing::PrintToString(Log.Lines);
    EXPECT_TRUE(Log.Has("Notice> Upgrading tables using: upgrade.2.sql"));
    EXPECT_FALSE(Log.Has("Notice> Creating tables..."));
    EXPECT_FALSE(Log.Has("Notice> Reset first run.")) << "an update is no first install";
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "2");
    EXPECT_EQ(setuptest::QueryColumn(Folders.DatabaseFile(), "SELECT title FROM songlist ORDER BY ID"),
              (std::vector<std::string>{"Kept", "Also kept"}));

    IConfigDocPtr config = Config();
    EXPECT_FALSE(config->Section("Kelvar")->ReadBool("FirstRun", true));
    EXPECT_EQ(config->Section("Kelvar")->ReadString("Operator", ""), "night shift");
    EXPECT_EQ(config->Section("Database")->ReadString("Database", ""), Folders.DatabaseFile());
    EXPECT_EQ(test::ReadWholeFile(Folders.InstalledFile("layout/default.kgl")), "<CONFIG><MAIN>mine</MAIN></CONFIG>");
    EXPECT_EQ(test::ReadWholeFile(Folders.InstalledFile("KelvarZorvik")), "#!/bin/sh\n# newer\n");
}

TEST_F(SilentInstallTest, FailedUpgradeScriptStopsTheUpgradeAndFailsTheInstall) {
    ASSERT_EQ(Install(), 0) << ::testing::PrintToString(Log.Lines);
    setuptest::ExecOn(Folders.DatabaseFile(), {"INSERT INTO songlist (ID, title) VALUES (1, 'Kept')"});
    Folders.Script("upgrade.2.sql",
                   "ALTER TABLE songlist ADD broken NOSUCHTYPE;\nCOMMENT ON COLUMN category.ID IS '2';\n");
    Folders.Script("upgrade.3.sql", "CREATE TABLE later (n INTEGER);\nCOMMENT ON COLUMN category.ID IS '3';\n");

    EXPECT_EQ(Install(), 2) << ::testing::PrintToString(Log.Lines);
    EXPECT_TRUE(Log.Has("Error> Error upgrading tables."));
    EXPECT_TRUE(Log.Has("FatalError> Unable to create or upgrade database structure."));
    EXPECT_FALSE(Log.Mentions("upgrade.3.sql"));
    EXPECT_FALSE(Log.Mentions("Starting Kelvar installer.")) << "the program phase does not run after a fatal error";
    EXPECT_NE(Boxes.find("Unable to create or upgrade database structure."), std::string::npos);
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1");
    EXPECT_EQ(setuptest::QueryColumn(Folders.DatabaseFile(), "SELECT title FROM songlist"),
              std::vector<std::string>{"Kept"});
}

// A first run cut short (a full disk) left a database file without tables: a re-run fails while
// the cause lasts and makes the database once it is gone; it never passes the broken file.
TEST_F(SilentInstallTest, ReRunOverATablelessDatabaseNeverPassesIt) {
    setuptest::MakeTablelessDatabase(Folders.DatabaseFile());
    Folders.Script("tables.sql", "CREATE TABLE category (ID INTEGER, x NOSUCHTYPE);\n");
    EXPECT_EQ(Install(), 2) << ::testing::PrintToString(Log.Lines);
    EXPECT_TRUE(Log.Has("FatalError> Unable to create or upgrade database structure."));

    Folders.Script("tables.sql", setuptest::TablesScript());
    ASSERT_EQ(Install(), 0) << ::testing::PrintToString(Log.Lines);
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1");
    EXPECT_EQ(setuptest::QueryColumn(Folders.DatabaseFile(), "SELECT name FROM category ORDER BY ID"),
              (std::vector<std::string>{"Music", "Jingles"}));
}

TEST_F(SilentInstallTest, FolderNameWithMarkupCharactersGivesAReadableConfiguration) {
    Folders.InstallFolder = Folders.Temp.Path() / "Kelvar & <Friends> \"live\"";
    ASSERT_EQ(Install(), 0) << ::testing::PrintToString(Log.Lines);
    IConfigDocPtr config;
    ASSERT_NO_THROW(config = Config());
    EXPECT_EQ(config->Section("Kelvar")->Section("Plugins")->ReadString("Folder", ""),
              Folders.InstallFolder.string() + "/plugins");
    EXPECT_EQ(config->Section("Database")->ReadString("Database", ""), Folders.DatabaseFile());
    EXPECT_EQ(setuptest::QueryColumn(Folders.DatabaseFile(), "SELECT COUNT(*) FROM category"),
              std::vector<std::string>{"2"});
}

TEST_F(SilentInstallTest, MissingPlayerFailsTheInstallWithoutErrorLines) {
    fs::remove(Folders.SetupFolder / "kelvar" / "KelvarZorvik");
    EXPECT_EQ(Install(), 2);
    EXPECT_FALSE(Log.Mentions("Error>")) << ::testing::PrintToString(Log.Lines);
    EXPECT_NE(Boxes.find("Kelvar failed to install properly."), std::string::npos);
}

TEST_F(SilentInstallTest, ConnectionFailureIsFatal) {
    // A remote server nobody listens on.
    EXPECT_EQ(Install({"--mode", "server", "--host", "127.0.0.2", "--port", "1", "--database", "/srv/none.fdb"}), 2);
    EXPECT_TRUE(Log.Has("FatalError> Unable to connect to database.")) << ::testing::PrintToString(Log.Lines);
    EXPECT_FALSE(fs::exists(Folders.ConfigFile()));
}

TEST(SilentOptions, ParsesAndRefuses) {
    TSilentOptions o;
    std::string error;
    ASSERT_TRUE(ParseSilentOptions({"--silent", "--dir", "/x", "--mode=LOCAL", "--port", "3051"}, o, error));
    EXPECT_TRUE(o.Silent);
    EXPECT_EQ(o.Dir, "/x");
    EXPECT_EQ(o.Mode, "LOCAL");
    EXPECT_EQ(o.Port, "3051");
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--silent", "--dir"}, std::vector<std::string>{"--bogus"},
          std::vector<std::string>{"--mode", "cloud"}, std::vector<std::string>{"--port", "70000"}}) {
        TSilentOptions x;
        EXPECT_FALSE(ParseSilentOptions(bad, x, error)) << bad.back();
        EXPECT_FALSE(error.empty());
    }
}

// The sequence's first-install decisions, with the probes a wizard would give it.
class InstallSequenceTest : public ::testing::Test {
protected:
    int Run() {
        TInstallSequence install(Folders.SetupFolder.string());
        install.OnLogLine = [this](const std::string& line, int) { Log.Lines.push_back(line); };
        install.OnMessageBox = [this](const std::string& text, int) { Boxes.push_back(text); };
        install.SoundCardProbe = [this] { return SoundCard; };
        install.ScreenSize = [this](int& w, int& h) {
            w = Width;
            h = Height;
            return true;
        };
        install.Init();
        install.InstallPath = Folders.InstallFolder.string();
        install.SelectDriver("FireBird");
        return install.RunInstall();
    }

    setuptest::TSetupFolders Folders;
    TCapturedLog Log;
    std::vector<std::string> Boxes;
    bool SoundCard = true;
    int Width = 1280, Height = 1024;
};

TEST_F(InstallSequenceTest, WithoutSoundDeviceOutputsGoSilentBeforeFirstRun) {
    SoundCard = false;
    ASSERT_EQ(Run(), 0) << ::testing::PrintToString(Log.Lines);
    auto output =
        TConfigDoc_XML::Create(Folders.ConfigFile())->Section("Kelvar")->Section("AudioPipe")->Section("Output");
    EXPECT_EQ(output->ReadInteger("OutputType1", -1), 0);
    EXPECT_EQ(output->ReadInteger("OutputType2", -1), 0);
    int warning = Log.IndexOf("Warning> No soundcard detected");
    int firstRun = Log.IndexOf("Notice> Reset first run.");
    EXPECT_TRUE(warning >= 0 && warning < firstRun);
    std::string text = test::ReadWholeFile(Folders.ConfigFile());
    EXPECT_LT(text.find("<OutputType2>"), text.find("<FirstRun>"));
    EXPECT_EQ(Boxes, std::vector<std::string>{"No soundcard detected. All output modules set to silent!"});
}

TEST_F(InstallSequenceTest, WithSoundDeviceOutputsAreLeftAlone) {
    ASSERT_EQ(Run(), 0);
    auto kelvar = TConfigDoc_XML::Create(Folders.ConfigFile())->Section("Kelvar");
    EXPECT_EQ(kelvar->Section("AudioPipe")->Section("Output")->ReadInteger("OutputType1", -1), -1);
    EXPECT_TRUE(kelvar->ReadBool("FirstRun", false));
}

TEST_F(InstallSequenceTest, SmallScreenTakesTheSmallLayout) {
    Width = 1024;
    Height = 767;
    ASSERT_EQ(Run(), 0);
    EXPECT_TRUE(Log.Has("Warning> Screen resolution lower than the recommended minimum"));
    EXPECT_TRUE(Log.Has("Notice> Layout set to  800x600"));
    EXPECT_EQ(test::ReadWholeFile(Folders.InstalledFile("layout/default.kgl")),
              "<CONFIG><MAIN><Size>small</Size></MAIN></CONFIG>\n");
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].find("1024x767 pixels"), std::string::npos);
}

TEST_F(InstallSequenceTest, MissingLayoutSourceKeepsTheOldLayoutAndIsAnError) {
    fs::remove_all(Folders.SetupFolder / "kelvar" / "layout" / "Size 1024x768");
    Folders.Payload("layout/default.kgl", "<CONFIG>shipped</CONFIG>");
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(Log.Has("Error> Error setting default layout"));
    EXPECT_EQ(test::ReadWholeFile(Folders.InstalledFile("layout/default.kgl")), "<CONFIG>shipped</CONFIG>");
    EXPECT_NE(std::find(Boxes.begin(), Boxes.end(),
                        "There were errors during the install. The program may not function properly."),
              Boxes.end());
}

TEST_F(InstallSequenceTest, OldConfigurationIsMigratedAndCountsAsAnUpdate) {
    fs::create_directories(Folders.InstallFolder);
    test::WriteWholeFile(Folders.InstalledFile("Kelvar2.core.xml"),
                         "<CONFIG><Kelvar><Operator>old</Operator></Kelvar></CONFIG>");
    ASSERT_EQ(Run(), 0) << ::testing::PrintToString(Log.Lines);
    auto config = TConfigDoc_XML::Create(Folders.ConfigFile());
    EXPECT_EQ(config->Section("Kelvar")->ReadString("Operator", ""), "old");
    EXPECT_FALSE(config->Section("Kelvar")->ReadBool("FirstRun", false));
    EXPECT_FALSE(fs::exists(Folders.InstalledFile("layout/default.kgl")));
    EXPECT_EQ(config->Section("Database")->ReadString("Driver", ""), "FIREBIRD");
}

TEST_F(InstallSequenceTest, CorruptConfigurationIsReportedAndLeftAsItIs) {
    fs::create_directories(Folders.InstallFolder);
    const std::string corrupt = "<CONFIG><Kelvar><Operator>half written";
    test::WriteWholeFile(Folders.ConfigFile(), corrupt);
    EXPECT_EQ(Run(), 1) << ::testing::PrintToString(Log.Lines);
    EXPECT_TRUE(Log.Has("Error> Unable to save database login details in Kelvar configuration file"));
    EXPECT_EQ(test::ReadWholeFile(Folders.ConfigFile()), corrupt);
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1") << "the database phase is not held up";
}

TEST_F(InstallSequenceTest, FailureInsideTheDatabasePhaseIsFatalNotThrown) {
    TInstallSequence install(Folders.SetupFolder.string());
    install.OnLogLine = [this](const std::string& line, int) { Log.Lines.push_back(line); };
    install.Init();
    install.InstallPath = Folders.InstallFolder.string();
    // No database system chosen: the phase cannot even begin.
    int result = -1;
    EXPECT_NO_THROW(result = install.RunInstall());
    EXPECT_EQ(result, 2);
    EXPECT_EQ(install.FatalCount, 1);
    EXPECT_FALSE(Log.Mentions("Starting Kelvar installer."));
}

// The program itself, copied beside a setup folder of the test's own.
TEST(SetupProgram, SilentRunExitsWithTheInstallResult) {
    setuptest::TSetupFolders folders;
    fs::copy_file(KELVAR_SETUP_PROGRAM, folders.SetupFolder / "Setup_NMV");
    auto run = [&](std::vector<std::string> args, std::string& output) {
        args.insert(args.begin(), (folders.SetupFolder / "Setup_NMV").string());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::string outFile = folders.Temp.File("out.txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // In sanitizer builds the child's exit status must be the install result: the embedded
        // engine's own leaks are kept out there (the same code runs checked in this process), and
        // TSan's deadlock detector, which crashes on the engine's rwlocks, is off.
        const char* tsan = getenv("TSAN_OPTIONS");
        std::vector<std::string> env{"ASAN_OPTIONS=detect_leaks=0",
                                     std::string("TSAN_OPTIONS=") + (tsan ? tsan : "") + ":detect_deadlocks=0"};
        for (char** e = environ; *e; ++e) {
            const std::string entry(*e);
            if (entry.rfind("ASAN_OPTIONS=", 0) != 0 && entry.rfind("TSAN_OPTIONS=", 0) != 0) env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        waitpid(pid, &status, 0);
        output = test::ReadWholeFile(outFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string output;
    EXPECT_EQ(run({"--silent", "--dir", folders.InstallFolder.string()}, output), 0) << output;
    EXPECT_NE(output.find("Notice> Kelvar install complete.\n"), std::string::npos) << output;
    EXPECT_EQ(run({"--silent", "--mode", "nowhere"}, output), 2);
    EXPECT_EQ(run({}, output), 2) << "the wizard's pages are not part of this build";
}

}  // namespace
}  // namespace kelvar

namespace kelvar {
namespace {

// The schema scripts and program templates the build ships, installed as they stand.
TEST(ShippedPayload, InstallsTheSongDatabaseAndAPlayableConfiguration) {
    setuptest::TSetupFolders folders;
    fs::path source = fs::path(KELVAR_TEST_SOURCE_DIR) / ".." / "setup";
    if (!fs::exists(source / "sql-firebird" / "tables.sql")) GTEST_SKIP() << "no schema scripts in the tree";
    fs::remove_all(folders.SetupFolder / "sql-firebird");
    fs::remove_all(folders.SetupFolder / "kelvar");
    fs::copy(source / "sql-firebird", folders.SetupFolder / "sql-firebird", fs::copy_options::recursive);
    fs::copy(source / "payload", folders.SetupFolder / "kelvar", fs::copy_options::recursive);
    folders.Payload("KelvarZorvik", "#!/bin/sh\n");

    TSilentOptions options;
    options.Silent = true;
    options.Dir = folders.InstallFolder.string();
    std::ostringstream out, err;
    ASSERT_EQ(RunSilentInstall(options, folders.SetupFolder.string(), out, err), 0) << out.str();

    auto tables = setuptest::QueryColumn(folders.DatabaseFile(),
                                         "SELECT LOWER(TRIM(rdb$relation_name)) FROM rdb$relations WHERE "
                                         "rdb$system_flag = 0");
    for (const char* table : {"songlist", "category", "categorylist", "queuelist", "requestlist", "historylist"})
        EXPECT_NE(std::find(tables.begin(), tables.end(), table), tables.end()) << table;
    EXPECT_FALSE(setuptest::SchemaVersion(folders.DatabaseFile()).empty());

    auto config = TConfigDoc_XML::Create(folders.ConfigFile());
    auto db = config->Section("Database");
    EXPECT_EQ(db->ReadString("Database", ""), folders.DatabaseFile());
    EXPECT_EQ(db->ReadString("ServerMode", ""), "EMBEDDED");
    auto recovery = config->Section("Kelvar")->Section("AutoRecovery");
    EXPECT_EQ(recovery->ReadInteger("DJMode", -1), 0);
    EXPECT_TRUE(recovery->ReadBool("AutoRecoveryEnabled", false));
    EXPECT_TRUE(fs::exists(folders.InstalledFile("layout/default.kgl")));
}

}  // namespace
}  // namespace kelvar
