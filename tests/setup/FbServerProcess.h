#pragma once
// A Firebird server process of the test's own on loopback: its configuration, security database
// (with a SYSDBA password of the test's choosing), lock folder and databases live in one folder.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kelvar::setuptest {

inline const char* const ServerBinary = "/usr/sbin/firebird";
inline const char* const IsqlBinary = "/usr/bin/isql-fb";

class TFbServerProcess {
public:
    // bindAddress: the loopback address the server listens on.
    TFbServerProcess(const std::string& bindAddress, const std::string& password)
        : Address(bindAddress), Password(password) {
        namespace fs = std::filesystem;
        Root = fs::temp_directory_path() / ("kelvar-setup-fbserver-" + std::to_string(getpid()) + "-" + bindAddress);
        fs::remove_all(Root);
        fs::create_directories(Root / "lock");
        Port = FreePort();
        const fs::path lib = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
        for (const fs::path& f : {fs::path("/etc/firebird/3.0/plugins.conf"), fs::path("/etc/firebird/3.0/fbintl.conf"),
                                  lib / "firebird.msg"})
            if (fs::exists(f)) fs::copy_file(f, Root / f.filename());
        std::ofstream(Root / "firebird.conf") << "RemoteServicePort = " << Port << "\n"
                                              << "RemoteBindAddress = " << Address << "\n"
                                              << "SecurityDatabase = " << (Root / "security3.fdb").string() << "\n";
        std::ofstream(Root / "databases.conf") << "security.db = " << (Root / "security3.fdb").string() << "\n";
        std::ofstream(Root / "script.sql") << "CREATE DATABASE '" << (Root / "security3.fdb").string() << "';\n"
                                           << "CREATE USER SYSDBA PASSWORD '" << Password << "' USING PLUGIN Srp;\n"
                                           << "COMMIT;\n";
        pid_t pid =
            Spawn({IsqlBinary, "-q", "-user", "SYSDBA", "-i", (Root / "script.sql").string()}, Root / "isql.out");
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            throw std::runtime_error("could not make the security database");
    }

    ~TFbServerProcess() {
        Stop();
        std::error_code ec;
        std::filesystem::remove_all(Root, ec);
    }

    void Start() {
        using namespace std::chrono_literals;
        ServerPid = Spawn({ServerBinary}, Root / "server.out");
        auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!Accepts()) {
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("the server did not start listening");
            std::this_thread::sleep_for(20ms);
        }
    }

    void Stop() {
        using namespace std::chrono_literals;
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

    std::string RemoteName(const std::string& host, const std::string& file) const {
        return host + "/" + std::to_string(Port) + ":" + file;
    }

    std::filesystem::path Root;
    std::string Address;
    std::string Password;
    int Port = 0;
    pid_t ServerPid = -1;

private:
    sockaddr_in Socket(int port) const {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        inet_pton(AF_INET, Address.c_str(), &a.sin_addr);
        a.sin_port = htons(static_cast<uint16_t>(port));
        return a;
    }

    int FreePort() const {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = Socket(0);
        socklen_t len = sizeof a;
        int port = 0;
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        close(s);
        return port;
    }

    bool Accepts() const {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = Socket(Port);
        bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        return ok;
    }

    // Runs a Firebird program under this folder's configuration.
    pid_t Spawn(const std::vector<std::string>& args, const std::filesystem::path& output) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            if (v.rfind("FIREBIRD=", 0) == 0 || v.rfind("FIREBIRD_LOCK=", 0) == 0) continue;
            env.push_back(v);
        }
        env.push_back("FIREBIRD=" + Root.string());
        env.push_back("FIREBIRD_LOCK=" + (Root / "lock").string());
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

}  // namespace kelvar::setuptest
