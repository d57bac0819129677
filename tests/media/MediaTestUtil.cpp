#include "MediaTestUtil.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

namespace kelvar::test {

void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void AppendLE16(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendLE32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendText(Bytes& out, const char* text) { out.insert(out.end(), text, text + std::strlen(text)); }

void AppendChunk(Bytes& out, const char* id, const Bytes& body, bool pad) {
    AppendText(out, id);
    AppendLE32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (pad && (body.size() & 1)) out.push_back(0);
}

Bytes FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t blockAlign, uint32_t avgBytes,
                 bool shortForm) {
    Bytes b;
    AppendLE16(b, tag);
    AppendLE16(b, channels);
    AppendLE32(b, rate);
    AppendLE32(b, avgBytes);
    AppendLE16(b, blockAlign);
    AppendLE16(b, bits);
    if (!shortForm) AppendLE16(b, 0);
    return b;
}

Bytes RiffWave(const Bytes& chunks) {
    Bytes b;
    AppendText(b, "RIFF");
    AppendLE32(b, static_cast<uint32_t>(chunks.size() + 4));
    AppendText(b, "WAVE");
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

Bytes ToBytes(const std::vector<int16_t>& samples) {
    Bytes b(samples.size() * 2);
    if (!b.empty()) std::memcpy(b.data(), samples.data(), b.size());  // empty vectors' data() may be null
    return b;
}

TDecoded DecodeAll(IDecoder& decoder, int maxCalls) {
    TDecoded result;
    const TOnPCM onPCM = [&](const void* buffer, int32_t bytes, const TWaveFormat& format) {
        const auto* p = static_cast<const uint8_t*>(buffer);
        result.Pcm.insert(result.Pcm.end(), p, p + bytes);
        result.Format = format;
    };
    const TOnMeta onMeta = [&](const IMetaDataPtr& event) { result.Events.push_back(event); };
    while (result.Calls < maxCalls && !decoder.IsEOF()) {
        const size_t before = result.Pcm.size();
        decoder.Decode(onPCM, onMeta);
        ++result.Calls;
        if (result.Pcm.size() == before) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return result;
}

TLoopbackServer::TLoopbackServer(THandler handler) : FHandler(std::move(handler)) {
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(FListen, 16) != 0)
        throw std::runtime_error("loopback server: bind/listen failed");
    socklen_t len = sizeof(addr);
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
    FPort = ntohs(addr.sin_port);
    FThread = std::thread([this] { Run(); });
}

TLoopbackServer::~TLoopbackServer() {
    Release = true;
    FStop = true;
    if (FThread.joinable()) FThread.join();
    for (auto& w : FWorkers)
        if (w.joinable()) w.join();
    ::close(FListen);
}

std::string TLoopbackServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(FPort) + path;
}

std::vector<std::string> TLoopbackServer::Requests() {
    std::lock_guard<std::mutex> lock(FLock);
    return FRequests;
}

void TLoopbackServer::Run() {
    while (!FStop) {
        pollfd pfd{FListen, POLLIN, 0};
        if (::poll(&pfd, 1, 10) <= 0) continue;
        const int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        const int index = FConnections++;
        std::lock_guard<std::mutex> lock(FLock);
        FWorkers.emplace_back([this, fd, index] {
            std::string request;
            char buf[1024];
            while (request.find("\r\n\r\n") == std::string::npos && !FStop) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 10) <= 0) continue;
                const ssize_t n = ::recv(fd, buf, sizeof(buf), 0);
                if (n <= 0) break;
                request.append(buf, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(FLock);
                FRequests.push_back(request);
            }
            FHandler(fd, request, index);
            ::close(fd);
        });
    }
}

void TCaptureLogger::Log(const std::string& message, const std::string&, TLogKind) {
    std::lock_guard<std::mutex> lock(FLock);
    FMessages.push_back(message);
}

bool TCaptureLogger::Contains(const std::string& text) {
    std::lock_guard<std::mutex> lock(FLock);
    for (const auto& m : FMessages)
        if (m.find(text) != std::string::npos) return true;
    return false;
}

TLogCapture::TLogCapture() : FLogger(std::make_shared<TCaptureLogger>()) { SetCoreLogger(FLogger); }
TLogCapture::~TLogCapture() { SetCoreLogger(nullptr); }

bool SendAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool SendAll(int fd, const std::string& text) { return SendAll(fd, text.data(), text.size()); }

bool WaitFor(const std::function<bool()>& condition, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace kelvar::test
