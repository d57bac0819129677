#pragma once
// A stream server on 127.0.0.1 that answers every request with audio headers and then sends
// nothing, holding the connection until it goes away.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace kelvar::coretest {

class TSilentStreamServer {
public:
    TSilentStreamServer() {
        FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        if (FListen < 0 || bind(FListen, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(FListen, 8) != 0 ||
            getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        FPort = ntohs(address.sin_port);
        FThread = std::thread([this] { Run(); });
    }
    ~TSilentStreamServer() {
        FStop = true;
        if (FThread.joinable()) FThread.join();
        for (int fd : FClients) close(fd);
        if (FListen >= 0) close(FListen);
    }
    TSilentStreamServer(const TSilentStreamServer&) = delete;
    TSilentStreamServer& operator=(const TSilentStreamServer&) = delete;

    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(FPort) + path; }

private:
    void Run() {
        while (!FStop) {
            pollfd ready{FListen, POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0) continue;
            const int fd = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            // The request head is not needed: the answer is always the same.
            static const char head[] = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n";
            [[maybe_unused]] ssize_t sent = send(fd, head, sizeof(head) - 1, MSG_NOSIGNAL);
            FClients.push_back(fd);
        }
    }

    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FThread;
    std::vector<int> FClients;  // server thread only until it has ended
};

}  // namespace kelvar::coretest
