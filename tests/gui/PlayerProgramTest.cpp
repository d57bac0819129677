// The installed player in service mode: it imports its first-run library, plays song after
// song by itself, refuses a second start, and shuts down in order on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "database/SQLPool.h"
#include "database/SQLPool_DataLink.h"
#include "foundation/MainThread.h"
#include "gui/unMain.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A child process with its standard output and error in a file.
class TProcess {
public:
    // Env: variables set for the child (an empty value unsets one).
    TProcess(const std::vector<std::string>& argv, const fs::path& output,
             const std::vector<std::pair<std::string, std::string>>& env = {}) {
        FPid = fork();
        if (FPid == 0) {
            FILE* out = std::freopen(output.c_str(), "w", stdout);
            if (out) dup2(fileno(stdout), fileno(stderr));
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("QT_QPA_PLATFORM");
            // Under TSan the programs run without its deadlock detector, which crashes on the
            // embedded engine's rwlocks (the test executables turn it off for themselves).
            const char* tsan = getenv("TSAN_OPTIONS");
            setenv("TSAN_OPTIONS", (std::string(tsan ? tsan : "") + ":detect_deadlocks=0").c_str(), 1);
            for (const auto& [name, value] : env)
                if (value.empty())
                    unsetenv(name.c_str());
                else
                    setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
    }
    ~TProcess() {
        if (FPid > 0 && !FExited) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
    }
    void Signal(int signal) { kill(FPid, signal); }
    // The exit code, or -1 when it did not end in time.
    int Wait(std::chrono::seconds limit) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(FPid, &status, WNOHANG) == FPid) {
                FExited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }

private:
    pid_t FPid = -1;
    bool FExited = false;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int RunProgram(const std::vector<std::string>& argv, const fs::path& output,
               const std::vector<std::pair<std::string, std::string>>& env = {}) {
    TProcess process(argv, output, env);
    return process.Wait(300s);
}

// The songs the decks started, in order, as the log names them ("[DECK A] Artist - Title").
std::vector<std::string> DeckStarts(const std::string& log) {
    std::vector<std::string> songs;
    std::regex line(R"(\[DECK [AB]\] (.*) \(\d+:\d\d\))");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        songs.push_back((*it)[1]);
    return songs;
}

class PlayerProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Folder = new fs::path(fs::temp_directory_path() / ("kelvar-player-" + std::to_string(getpid())));
        fs::remove_all(*Folder);
        fs::create_directories(*Folder);
        Install = new fs::path(*Folder / "inst");
        ASSERT_EQ(RunProgram({KELVAR_SETUP_PROGRAM, "--silent", "--dir", Install->string()}, *Folder / "setup.log"), 0)
            << ReadFile(*Folder / "setup.log");
        // A library of short songs in place of the demo: four on the first-run play list, the
        // rest for the rotation to choose from.
        fs::remove_all(*Install / "Sound");
        ASSERT_EQ(RunProgram({KELVAR_MAKE_DEMO, (*Install / "Sound").string(), "--songs", "14", "--seconds", "10",
                              "--playlist", "4"},
                             *Folder / "demo.log"),
                  0);
    }
    static void TearDownTestSuite() {
        fs::remove_all(*Folder);
        delete Folder;
        delete Install;
    }

    static std::string Player() { return (*Install / "KelvarZorvik").string(); }

    static fs::path* Folder;
    static fs::path* Install;
};

fs::path* PlayerProgram::Folder = nullptr;
fs::path* PlayerProgram::Install = nullptr;

TEST_F(PlayerProgram, PlaysSongAfterSongAloneRefusesASecondStartAndShutsDownInOrder) {
    fs::path log = *Folder / "player.log";
    TProcess player({Player(), "/SERVICE", "/NOLOG"}, log);
    auto deadline = std::chrono::steady_clock::now() + 240s;
    while (DeckStarts(ReadFile(log)).size() < 8 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(250ms);

    // A second start from the same program file ends at once.
    EXPECT_EQ(RunProgram({Player(), "/SERVICE"}, *Folder / "second.log"), 0);
    EXPECT_NE(ReadFile(*Folder / "second.log").find("already running"), std::string::npos);

    // A copy of the program elsewhere is an instance of its own, but the database is taken.
    fs::create_directories(*Folder / "copy");
    fs::copy_file(Player(), *Folder / "copy" / "KelvarZorvik");
    fs::copy_file(*Install / "KelvarZorvik.core.xml", *Folder / "copy" / "KelvarZorvik.core.xml");
    fs::path copyLog = *Folder / "copy.log";
    EXPECT_EQ(RunProgram({(*Folder / "copy" / "KelvarZorvik").string(), "/SERVICE", "/NOLOG"}, copyLog), 1);
    EXPECT_NE(ReadFile(copyLog).find("Connection to database failed"), std::string::npos) << ReadFile(copyLog);

    player.Signal(SIGTERM);
    ASSERT_EQ(player.Wait(60s), 0);
    std::string text = ReadFile(log);
    EXPECT_NE(text.find("Shutdown complete."), std::string::npos) << text;
    std::vector<std::string> started = DeckStarts(text);
    ASSERT_GE(started.size(), 8u) << text;

    // Every song that went on air is in the history once, in order; no song came twice and no
    // artist twice (the rules keep them apart for hours).
    auto loop = std::make_shared<TPlainMainLoop>();
    SetMainThreadDispatcher(loop);
    auto manager = std::make_shared<TDataLinkPoolManager>();
    manager->Driver = "FIREBIRD";
    manager->ServerMode = "EMBEDDED";
    manager->Database = (*Install / "KelvarDB" / "KelvarDB.fdb").string();
    manager->Username = "SYSDBA";
    manager->Open();
    IDatasetPtr rows = PoolQuery("SELECT songID, artist, title FROM historylist ORDER BY ID", {}, true);
    std::vector<std::string> history;
    std::set<std::string> ids, artists;
    for (rows->First(); !rows->Eof(); rows->Next()) {
        // The deck's log line names a song without an artist (a jingle as the fallback) by its title.
        const std::string artist = rows->GetValue("artist");
        history.push_back(artist.empty() ? rows->GetValue("title") : artist + " - " + rows->GetValue("title"));
        EXPECT_TRUE(ids.insert(rows->GetValue("songID")).second) << history.back();
        if (!artist.empty()) {
            EXPECT_TRUE(artists.insert(artist).second) << history.back();
        }
    }
    rows.reset();
    manager->Close();
    SetMainThreadDispatcher(nullptr);
    EXPECT_EQ(history, started);
}

TEST_F(PlayerProgram, AMissingDatabaseEndsWithAClearError) {
    fs::path folder = *Folder / "nodb";
    fs::create_directories(folder);
    fs::copy_file(Player(), folder / "KelvarZorvik");
    std::string config = ReadFile(*Install / "KelvarZorvik.core.xml");
    config = std::regex_replace(config, std::regex("<Database>[^<]*KelvarDB.fdb</Database>"),
                                "<Database>" + (folder / "missing.fdb").string() + "</Database>");
    std::ofstream(folder / "KelvarZorvik.core.xml") << config;
    fs::path log = *Folder / "nodb.log";
    EXPECT_EQ(RunProgram({(folder / "KelvarZorvik").string(), "-SERVICE ", "/NOLOG"}, log), 1);
    std::string text = ReadFile(log);
    EXPECT_NE(text.find("Connection to database failed"), std::string::npos) << text;
    EXPECT_NE(text.find("Shutdown complete."), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(folder / "missing.fdb"));
}

// Letters beyond ASCII in the home folder, below which the default install folder lies, under the
// "C" locale: the setup installs there, and the player starts there and reaches its database.
TEST_F(PlayerProgram, InstallsAndStartsInAFolderNamedWithAnyLetters) {
    const fs::path home = *Folder / "Jörg Ström Кириллица 日本語";
    const fs::path installed = home / ".local/share/NemvoAudio/KelvarNMV";
    const std::vector<std::pair<std::string, std::string>> env{
        {"LC_ALL", "C"}, {"HOME", home.string()}, {"XDG_DATA_HOME", ""}, {"XDG_CONFIG_HOME", ""}};
    const fs::path setupLog = *Folder / "letters-setup.log";
    ASSERT_EQ(RunProgram({KELVAR_SETUP_PROGRAM, "--silent"}, setupLog, env), 0) << ReadFile(setupLog);
    ASSERT_TRUE(fs::exists(installed / "KelvarDB" / "KelvarDB.fdb")) << ReadFile(setupLog);

    const fs::path log = *Folder / "letters-player.log";
    TProcess player({(installed / "KelvarZorvik").string(), "/SERVICE", "/NOLOG"}, log, env);
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (ReadFile(log).find("Kelvar ready") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(100ms);
    player.Signal(SIGTERM);
    EXPECT_EQ(player.Wait(60s), 0) << ReadFile(log);
    const std::string text = ReadFile(log);
    EXPECT_NE(text.find("Kelvar ready"), std::string::npos) << text;
    EXPECT_EQ(text.find("Connection to database failed"), std::string::npos) << text;
}

// What a user runs: the program without its debug information, with the license and the readme.
TEST_F(PlayerProgram, TheInstallHoldsTheStrippedProgramLicenseAndReadme) {
    const std::string program = ReadFile(Player());
    EXPECT_EQ(program.find(".debug_info"), std::string::npos);
    EXPECT_NE(program.find(".gnu_debuglink"), std::string::npos);
    EXPECT_NE(ReadFile(*Install / "LICENSE").find("GNU GENERAL PUBLIC LICENSE"), std::string::npos);
    // The wizard's license page shows the same text, from beside the setup program.
    EXPECT_EQ(ReadFile(fs::path(KELVAR_SETUP_PROGRAM).parent_path() / "license.txt"), ReadFile(*Install / "LICENSE"));
    EXPECT_TRUE(fs::exists(*Install / "README.md"));
    EXPECT_NE(ReadFile(*Install / "help" / "Readme.html").find("Kelvar"), std::string::npos);
}

TEST(CommandLine, SwitchesInAnyCaseAndTheTrimmedServiceSwitch) {
    TCommandLine c = TCommandLine::Parse({"/nolog", " -Service ", "/NoSplash", "/other"});
    EXPECT_TRUE(c.NoLog);
    EXPECT_TRUE(c.Service);
    EXPECT_TRUE(c.NoSplash);
    EXPECT_FALSE(TCommandLine::Parse({"/SERVICEX", "SERVICE"}).Service);
    // The screenshot mode takes the folder that follows it, in its own case.
    EXPECT_EQ(TCommandLine::Parse({"-Screenshots", "/tmp/Shots", "/NOLOG"}).ScreenshotFolder, "/tmp/Shots");
    EXPECT_EQ(TCommandLine::Parse({"-SCREENSHOTS"}).ScreenshotFolder, "");
}

}  // namespace
}  // namespace kelvar
