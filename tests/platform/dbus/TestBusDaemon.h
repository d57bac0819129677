#pragma once
// A private session bus for one test process: starts dbus-daemon on a socket in a temporary
// folder and points DBUS_SESSION_BUS_ADDRESS at it; the daemon is ended with the object.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

extern char** environ;

namespace kelvar::test {

class TTestBusDaemon {
public:
    TTestBusDaemon() {
        char pattern[] = "/tmp/kelvar-bus-XXXXXX";
        if (!mkdtemp(pattern)) return;
        FFolder = pattern;
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string address = "--address=unix:path=" + FFolder + "/bus";
        const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address=1", address.c_str(), nullptr};
        if (posix_spawnp(&FPid, "dbus-daemon", &actions, nullptr, const_cast<char**>(argv), environ) != 0) FPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // The daemon prints its address once it listens.
        std::string line;
        char c;
        while (FPid > 0 && read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        if (!line.empty()) {
            FAddress = line;
            setenv("DBUS_SESSION_BUS_ADDRESS", FAddress.c_str(), 1);
        }
    }
    ~TTestBusDaemon() {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
        }
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        std::error_code ec;
        if (!FFolder.empty()) std::filesystem::remove_all(FFolder, ec);
    }
    TTestBusDaemon(const TTestBusDaemon&) = delete;
    TTestBusDaemon& operator=(const TTestBusDaemon&) = delete;

    bool Running() const { return !FAddress.empty(); }
    const std::string& Address() const { return FAddress; }

private:
    std::string FFolder;
    std::string FAddress;
    pid_t FPid = -1;
};

}  // namespace kelvar::test
