// The setup's helpers: script line stripping, programs started and waited for, folder copies,
// the port probe, service state and whole-file writes.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "SetupTestSupport.h"
#include "setup/unTools.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::WriteWholeFile;

TEST(SetupTools, StripScriptLinesDropsCommentsAndBlanksOnly) {
    std::vector<std::string> lines{
        "-- a comment", "CREATE TABLE t (",           "/* block start", "   ID INTEGER", "   \t ", "", "# shell-style",
        "  );",         "  -- indented comment stays"};
    StripScriptLines(lines);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"CREATE TABLE t (", "   ID INTEGER", "  );", "  -- indented comment stays"}));
}

TEST(SetupTools, ExecAndWaitRunsInTheProgramsFolderAndAnswersItsStatus) {
    test::TTempFolder temp;
    fs::create_directories(temp.Path() / "bin");
    std::string script = (temp.Path() / "bin" / "where.sh").string();
    WriteWholeFile(script, "#!/bin/sh\npwd > here.txt\necho \"$1|$2\" >> here.txt\nexit 3\n");
    fs::permissions(script, fs::perms::owner_all);
    EXPECT_EQ(ExecAndWait(script, "one \"two words\""), 3);
    EXPECT_EQ(ReadWholeFile((temp.Path() / "bin" / "here.txt").string()),
              fs::canonical(temp.Path() / "bin").string() + "\none|two words\n");

    // With a folder given, the program runs there.
    fs::create_directories(temp.Path() / "work");
    EXPECT_EQ(ExecAndWait(script, "", (temp.Path() / "work").string()), 3);
    EXPECT_TRUE(fs::exists(temp.Path() / "work" / "here.txt"));

    try {
        ExecAndWait((temp.Path() / "bin" / "missing-installer").string(), "");
        FAIL() << "a missing program must raise";
    } catch (const ESetupError& e) {
        EXPECT_STREQ(e.what(), "Unable to start \"missing-installer\"");
    }
}

TEST(SetupTools, CopyDirCopiesTheSameWithOrWithoutTrailingDelimiter) {
    test::TTempFolder temp;
    fs::create_directories(temp.Path() / "src" / "sub");
    WriteWholeFile((temp.Path() / "src" / "a.txt").string(), "a");
    WriteWholeFile((temp.Path() / "src" / "sub" / "b.txt").string(), "b");
    for (const std::string suffix : {"", "/"}) {
        fs::path target = temp.Path() / ("dst" + std::to_string(suffix.size()));
        fs::create_directories(target);
        WriteWholeFile((target / "a.txt").string(), "old");
        EXPECT_TRUE(CopyDir((temp.Path() / "src").string() + suffix, " " + target.string() + " "));
        EXPECT_EQ(ReadWholeFile((target / "a.txt").string()), "a");
        EXPECT_EQ(ReadWholeFile((target / "sub" / "b.txt").string()), "b");
    }
    EXPECT_FALSE(CopyDir((temp.Path() / "nothing").string(), (temp.Path() / "dst9").string()));
}

TEST(SetupTools, PortInUseWhileAnotherSocketHoldsIt) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(s, 1), 0);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    int port = ntohs(a.sin_port);
    int error = 0;
    EXPECT_FALSE(BindPort(port, &error));
    EXPECT_NE(error, 0);
    EXPECT_TRUE(IsPortInUse(port));
    close(s);
    EXPECT_FALSE(IsPortInUse(port));
}

TEST(SetupTools, UnknownServiceIsMissing) { EXPECT_EQ(GetServiceState("kelvar-no-such-service-here"), 2); }

TEST(SetupTools, SaveStringToFileReplacesWholeAndKeepsTheMode) {
    test::TTempFolder temp;
    std::string file = temp.File("config.xml");
    SaveStringToFile(file, "first");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    SaveStringToFile(file, "second, longer text");
    EXPECT_EQ(LoadFileToString(file), "second, longer text");
    EXPECT_EQ(setuptest::FileMode(file), 0600);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1) << "no temporary left";
    EXPECT_THROW(SaveStringToFile(temp.File("no/such/folder/x"), "x"), EFileError);
    EXPECT_THROW(LoadFileToString(temp.File("missing")), EFileError);
}

TEST(SetupTools, ForceFolderCreatesParents) {
    test::TTempFolder temp;
    EXPECT_TRUE(ForceFolder(temp.File("a/b/c")));
    EXPECT_TRUE(fs::is_directory(temp.Path() / "a" / "b" / "c"));
    WriteWholeFile(temp.File("plain"), "x");
    EXPECT_FALSE(ForceFolder(temp.File("plain/sub")));
}

TEST(SetupTools, ProgramFilesFollowsTheUsersDataFolder) {
    setuptest::TScopedEnv data("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(ProgramFilesDir(), "/srv/data/");
    setuptest::TScopedEnv relative("XDG_DATA_HOME", "relative/ignored");
    setuptest::TScopedEnv home("HOME", "/home/dj");
    EXPECT_EQ(ProgramFilesDir(), "/home/dj/.local/share/");
}

}  // namespace
}  // namespace kelvar
