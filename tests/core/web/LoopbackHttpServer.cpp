#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>

namespace kelvar::webtest {

namespace {

// Bound of a request head or body the tests send.
constexpr size_t MaxRequestSize = 4 * 1024 * 1024;

int BindLoopback(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("bind failed");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

void SendAll(int socket, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

int ClosedLoopbackPort() {
    int port = 0;
    ::close(BindLoopback(port));
    return port;
}

TLoopbackHttpServer::TLoopbackHttpServer(THandler handler) : FHandler(std::move(handler)) {
    FListen = BindLoopback(FPort);
    if (::listen(FListen, 16) != 0 || ::pipe2(FWakePipe, O_CLOEXEC) != 0) {
        ::close(FListen);
        throw std::runtime_error("listen failed");
    }
    FAcceptThread = std::thread([this] { AcceptLoop(); });
}

TLoopbackHttpServer::~TLoopbackHttpServer() {
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStopping = true;
        FChanged.notify_all();
    }
    (void)!::write(FWakePipe[1], "x", 1);
    FAcceptThread.join();
    for (auto& connection : FConnections) connection.join();
    ::close(FListen);
    ::close(FWakePipe[0]);
    ::close(FWakePipe[1]);
}

std::string TLoopbackHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(FPort) + path;
}

void TLoopbackHttpServer::ReleaseStalled() {
    std::lock_guard<std::mutex> lock(FLock);
    FReleased = true;
    FChanged.notify_all();
}

bool TLoopbackHttpServer::WaitForRequests(size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(FLock);
    return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return FRequests.size() >= count; });
}

std::vector<THttpRequest> TLoopbackHttpServer::Requests() {
    std::lock_guard<std::mutex> lock(FLock);
    return FRequests;
}

bool TLoopbackHttpServer::WaitReadable(int socket, int timeoutMs) {
    pollfd fds[2] = {{socket, POLLIN, 0}, {FWakePipe[0], POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0) return false;
    return (fds[1].revents & POLLIN) == 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

void TLoopbackHttpServer::AcceptLoop() {
    for (;;) {
        if (!WaitReadable(FListen, -1)) return;
        const int socket = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        std::lock_guard<std::mutex> lock(FLock);
        if (FStopping) {
            ::close(socket);
            return;
        }
        FConnections.emplace_back([this, socket] {
            Serve(socket);
            ::close(socket);
        });
    }
}

void TLoopbackHttpServer::Serve(int socket) {
    std::string data;
    size_t headEnd = std::string::npos;
    size_t bodyLength = 0;
    char buffer[8192];
    for (;;) {
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + bodyLength) break;
        if (data.size() > MaxRequestSize || !WaitReadable(socket, 5000)) return;
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        data.append(buffer, static_cast<size_t>(n));
        if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
            std::string head = data.substr(0, headEnd);
            std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
            const size_t at = head.find("\r\ncontent-length:");
            if (at != std::string::npos) bodyLength = std::stoul(head.substr(at + 17));
        }
    }

    THttpRequest request;
    const std::string head = data.substr(0, headEnd);
    const size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t firstBlank = requestLine.find(' ');
    request.Method = requestLine.substr(0, firstBlank);
    request.Path = requestLine.substr(firstBlank + 1, requestLine.rfind(' ') - firstBlank - 1);
    for (size_t pos = lineEnd; pos != std::string::npos && pos < head.size();) {
        const size_t next = head.find("\r\n", pos + 2);
        const std::string line = head.substr(pos + 2, next == std::string::npos ? std::string::npos : next - pos - 2);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            request.Headers[name] = value;
        }
        pos = next;
    }
    request.Body = data.substr(headEnd + 4, bodyLength);

    const THttpReply reply = FHandler(request);
    {
        std::lock_guard<std::mutex> lock(FLock);
        FRequests.push_back(request);
        FChanged.notify_all();
    }
    if (reply.Kind == THttpReply::TKind::Vanish) return;
    if (reply.Kind == THttpReply::TKind::Stall) {
        std::unique_lock<std::mutex> lock(FLock);
        FChanged.wait(lock, [&] { return FStopping || FReleased; });
        return;
    }
    std::string text = "HTTP/1.1 " + std::to_string(reply.Status) + " " + reply.Reason + "\r\n";
    text += "Content-Type: " + reply.ContentType + "\r\n" + reply.Headers;
    text += "Content-Length: " + std::to_string(reply.Body.size()) + "\r\nConnection: close\r\n\r\n";
    SendAll(socket, text + reply.Body);
}

}  // namespace kelvar::webtest
