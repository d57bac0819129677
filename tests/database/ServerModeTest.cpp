// The pool against a Firebird server on loopback, started by the test on a port of its own with
// its own configuration, security database and lock folder; the server is stopped under a
// running delayed-query queue and brought back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "PoolTestSupport.h"
#include "database/datalink/DLEngine.h"

extern char** environ;

namespace kelvar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const ServerBinary = "/usr/sbin/firebird";
const char* const IsqlBinary = "/usr/bin/isql-fb";
const char* const Password = "poolpw";

// A free loopback port at the time of asking.
int FreePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

bool PortAccepts(int port) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

// One Firebird server process over a folder of its own: configuration, security database,
// lock folder and database files all live there.
class TFbServer {
public:
    TFbServer() {
        Root = fs::temp_directory_path() / ("kelvar-fbserver-" + std::to_string(getpid()));
        fs::remove_all(Root);
        fs::create_directories(Root / "lock");
        Port = FreePort();
        const fs::path lib = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
        for (const fs::path& f : {fs::path("/etc/firebird/3.0/plugins.conf"), fs::path("/etc/firebird/3.0/fbintl.conf"),
                                  lib / "firebird.msg"})
            if (fs::exists(f)) fs::copy_file(f, Root / f.filename());
        std::ofstream(Root / "firebird.conf") << "RemoteServicePort = " << Port << "\n"
                                              << "RemoteBindAddress = 127.0.0.1\n"
                                              << "SecurityDatabase = " << (Root / "security3.fdb").string() << "\n";
        std::ofstream(Root / "databases.conf") << "security.db = " << (Root / "security3.fdb").string() << "\n";
        // The security database and its SYSDBA, made by the embedded engine under our configuration.
        Isql({"CREATE DATABASE '" + (Root / "security3.fdb").string() + "';",
              "CREATE USER SYSDBA PASSWORD '" + std::string(Password) + "' USING PLUGIN Srp;", "COMMIT;"},
             true);
    }

    ~TFbServer() {
        Stop();
        std::error_code ec;
        fs::remove_all(Root, ec);
    }

    // Runs isql statements; with ownConfig under the server's configuration (embedded).
    void Isql(const std::vector<std::string>& statements, bool ownConfig) {
        fs::path script = Root / "script.sql";
        {
            std::ofstream out(script);
            for (const std::string& s : statements) out << s << "\n";
        }
        pid_t pid = Spawn({IsqlBinary, "-q", "-user", "SYSDBA", "-password", Password, "-i", script.string()},
                          ownConfig, Root / "isql.out");
        int status = 0;
        waitpid(pid, &status, 0);
        std::ifstream in(Root / "isql.out");
        std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || output.find("Statement failed") != std::string::npos)
            throw std::runtime_error("isql failed: " + output);
    }

    void Start() {
        ServerPid = Spawn({ServerBinary}, true, Root / "server.out");
        auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!PortAccepts(Port)) {
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("the server did not start listening");
            std::this_thread::sleep_for(20ms);
        }
    }

    void Stop() {
        if (ServerPid <= 0) return;
        kill(ServerPid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200 && waitpid(ServerPid, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(25ms);
        if (waitpid(ServerPid, &status, WNOHANG) == 0) {
            kill(ServerPid, SIGKILL);
            waitpid(ServerPid, &status, 0);
        }
        ServerPid = -1;
    }

    std::string RemoteName(const fs::path& file) const {
        return "localhost/" + std::to_string(Port) + ":" + file.string();
    }

    fs::path Root;
    int Port = 0;
    pid_t ServerPid = -1;

private:
    pid_t Spawn(const std::vector<std::string>& args, bool ownConfig, const fs::path& output) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            if (ownConfig && (v.rfind("FIREBIRD=", 0) == 0 || v.rfind("FIREBIRD_LOCK=", 0) == 0)) continue;
            env.push_back(v);
        }
        if (ownConfig) {
            env.push_back("FIREBIRD=" + Root.string());
            env.push_back("FIREBIRD_LOCK=" + (Root / "lock").string());
        }
        std::vector<char*> argv, envp;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        pid_t pid = -1;
        int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) throw std::runtime_error(std::string("could not start ") + argv[0]);
        return pid;
    }
};

class ServerModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(ServerBinary))
            GTEST_SKIP() << "Firebird server binary " << ServerBinary
                         << " not installed (Debian package firebird3.0-server); server-mode test skipped";
        Server = std::make_unique<TFbServer>();
        Server->Start();
        DbFile = Server->Root / "songs.fdb";
        Server->Isql({"CREATE DATABASE '" + Server->RemoteName(DbFile) + "' DEFAULT CHARACTER SET UTF8;",
                      "CREATE TABLE historylist (ID INTEGER NOT NULL PRIMARY KEY, info VARCHAR(200));",
                      "CREATE GENERATOR GEN_historylist_ID;", "COMMIT;"},
                     false);
        Loop = std::make_shared<TPlainMainLoop>();
        SetMainThreadDispatcher(Loop);
        Log = std::make_shared<pooltest::TCaptureLogger>();
        SetCoreLogger(Log);
        Manager = std::make_shared<TDataLinkPoolManager>();
        Manager->Driver = "FIREBIRD";
        Manager->Host = "localhost";
        Manager->Port = std::to_string(Server->Port);
        Manager->ServerMode = "SERVER";
        Manager->Database = DbFile.string();
        Manager->Username = "SYSDBA";
        Manager->Password = Password;
        Manager->Open();
    }

    void TearDown() override {
        if (!Manager) return;
        Manager->Close();
        Manager.reset();
        Loop->ProcessPending();
        SetCoreLogger(nullptr);
        SetMainThreadDispatcher(nullptr);
        Server.reset();
    }

    static std::string Insert() {
        return "INSERT INTO historylist (ID, info) VALUES (GEN_ID(GEN_historylist_ID, 1), :info)";
    }

    static std::vector<std::string> History() {
        std::vector<std::string> rows;
        for (IDatasetPtr ds = PoolQuery("SELECT info FROM historylist ORDER BY ID"); !ds->Eof(); ds->Next())
            rows.push_back(ds->GetFieldValue("INFO").AsString());
        return rows;
    }

    // WaitForAll until it reports everything run; false after the time limit.
    static bool WaitUntilAllRun(IDelayedQuery& q, std::chrono::seconds limit) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!q.WaitForAll()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    std::unique_ptr<TFbServer> Server;
    fs::path DbFile;
    std::shared_ptr<TPlainMainLoop> Loop;
    std::shared_ptr<pooltest::TCaptureLogger> Log;
    std::shared_ptr<TDataLinkPoolManager> Manager;
};

TEST_F(ServerModeTest, QueuedStatementsSurviveAServerRestart) {
    auto probe = std::dynamic_pointer_cast<TDataLinkConnection>(GetCurrentSQLPool()->NewConnection());
    EXPECT_EQ(probe->GetDatabase().GetRemoteDatabase(), Server->RemoteName(DbFile));
    probe.reset();

    IDelayedQueryPtr q = PoolNewDelayedQuery();
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        expected.push_back("before " + std::to_string(i));
        q->ExecSQL(Insert(), {expected.back()}, nullptr, false);
    }
    ASSERT_TRUE(q->WaitForAll());
    ASSERT_EQ(History(), expected);

    Server->Stop();
    for (int i = 0; i < 10; ++i) {
        expected.push_back("during " + std::to_string(i));
        q->ExecSQL(Insert(), {expected.back()}, nullptr, false);
    }
    // The worker reports that it waits for the database instead of dropping statements.
    EXPECT_FALSE(q->WaitForAll());
    EXPECT_GE(Log->Count("Database unreachable"), 1) << ::testing::PrintToString(Log->Lines());
    // The main thread gets a clear error meanwhile.
    EXPECT_THROW(PoolQuery("SELECT COUNT(*) FROM historylist"), EDLEngineError);

    Server->Start();
    ASSERT_TRUE(WaitUntilAllRun(*q, 60s)) << ::testing::PrintToString(Log->Lines());
    // Every statement ran once, in order, and the main connection is back too.
    EXPECT_EQ(History(), expected);
    EXPECT_EQ(Log->Count("not run at shutdown"), 0);
}

TEST_F(ServerModeTest, StatementsThatCannotRunAtShutdownAreLogged) {
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    q->ExecSQL(Insert(), {"kept"}, nullptr, false);
    ASSERT_TRUE(q->WaitForAll());
    Server->Stop();
    for (int i = 0; i < 3; ++i) q->ExecSQL(Insert(), {"lost " + std::to_string(i)}, nullptr, false);
    q.reset();
    // None silently: the one being tried and the two behind it.
    EXPECT_EQ(Log->Count("not run at shutdown"), 3) << ::testing::PrintToString(Log->Lines());
    Server->Start();
    EXPECT_EQ(History(), (std::vector<std::string>{"kept"}));
}

}  // namespace
}  // namespace kelvar
