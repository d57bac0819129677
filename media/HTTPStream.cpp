#include "media/HTTPStream.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <system_error>

#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "foundation/ThreadName.h"
#include "foundation/Version.h"

namespace kelvar {

namespace {

constexpr const char* LogSource = "HTTPStream";
const std::string UserAgent = std::string("Kelvar_Zorvik/") + KelvarVersion;
constexpr int HeaderLineTimeoutMs = 15000;
constexpr int ConnectTimeoutMs = 15000;
constexpr int BodyWaitMs = 10;
constexpr int SliceMs = 10;  // the longest wait before the stop request is looked at
constexpr size_t BodyChunk = 4096;

// A name look-up in progress on a helper thread; the side that finishes last frees it, and a
// look-up given up on frees its own answer.
struct TLookup {
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    bool Abandoned = false;
    int Result = EAI_AGAIN;
    addrinfo* Found = nullptr;
};

// The resolver may take its whole time-out over a host name; the look-up runs on a thread of
// its own so that a stop request never waits for it. Numeric addresses need no thread.
int LookUp(const std::string& host, const std::string& port, addrinfo hints, addrinfo*& found,
           const std::atomic<bool>& stop) {
    found = nullptr;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) == 0) return 0;
    found = nullptr;
    hints.ai_flags = AI_NUMERICSERV;
    auto lookup = std::make_shared<TLookup>();
    try {
        std::thread([lookup, host, port, hints] {
            SetCurrentThreadName("kelvar-dns");
            addrinfo* result = nullptr;
            const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &result);
            std::lock_guard<std::mutex> lock(lookup->Lock);
            if (lookup->Abandoned) {
                if (rc == 0) ::freeaddrinfo(result);
            } else {
                lookup->Result = rc;
                lookup->Found = rc == 0 ? result : nullptr;
            }
            lookup->Finished = true;
            lookup->Done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);  // no thread to spare
    }
    std::unique_lock<std::mutex> lock(lookup->Lock);
    while (!lookup->Finished) {
        if (stop) {
            lookup->Abandoned = true;
            return EAI_AGAIN;
        }
        lookup->Done.wait_for(lock, std::chrono::milliseconds(SliceMs));
    }
    found = lookup->Found;
    return lookup->Result;
}

}  // namespace

TURLParts SplitURL(const std::string& address) {
    TURLParts p;
    std::string rest = address;
    const auto scheme = rest.find("://");
    if (scheme != std::string::npos) {
        p.Protocol = rest.substr(0, scheme);
        rest = rest.substr(scheme + 3);
    }
    const auto slash = rest.find_first_of("/?");
    std::string authority = rest.substr(0, slash);
    p.Path = slash == std::string::npos ? std::string() : rest.substr(slash);
    if (!p.Path.empty() && p.Path[0] == '?') p.Path = "/" + p.Path;
    const auto at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string cred = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const auto colon = cred.find(':');
        p.User = cred.substr(0, colon);
        if (colon != std::string::npos) p.Password = cred.substr(colon + 1);
    }
    if (!authority.empty() && authority[0] == '[') {  // [v6 address]:port
        const auto close = authority.find(']');
        p.Host = authority.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && close + 1 < authority.size() && authority[close + 1] == ':')
            p.Port = authority.substr(close + 2);
    } else {
        const auto colon = authority.rfind(':');
        p.Host = authority.substr(0, colon);
        if (colon != std::string::npos) p.Port = authority.substr(colon + 1);
    }
    if (p.Port.empty()) p.Port = "80";
    if (p.Path.empty()) p.Path = "/";
    return p;
}

std::string ResolveLocation(const std::string& base, const std::string& location) {
    const std::string loc = TrimSpace(location);
    if (loc.empty()) return {};
    if (StartsWithText(loc, "http://")) return loc;
    if (loc.find("://") != std::string::npos) return {};  // another scheme (https, …) we don't speak
    const TURLParts b = SplitURL(base);
    const bool v6 = b.Host.find(':') != std::string::npos;
    const std::string origin = "http://" + (v6 ? "[" + b.Host + "]" : b.Host) + ":" + b.Port;
    if (loc.rfind("//", 0) == 0) return "http:" + loc;
    if (loc[0] == '/') return origin + loc;
    std::string dir = b.Path.substr(0, b.Path.find('?'));
    dir = dir.substr(0, dir.rfind('/') + 1);
    if (loc[0] == '?') return origin + b.Path.substr(0, b.Path.find('?')) + loc;
    return origin + dir + loc;
}

std::string THeaderList::Values(std::string_view name) const {
    for (const auto& line : FLines) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (SameText(TrimSpace(std::string_view(line).substr(0, colon)), name))
            return TrimSpace(line.substr(colon + 1));
    }
    return {};
}

THTTPStream::THTTPStream(IPreBufferPtr preBuffer) : FPreBuffer(std::move(preBuffer)) {}

THTTPStream::~THTTPStream() { Stop(); }

void THTTPStream::SetTarget(const std::string& address) {
    {
        std::lock_guard<std::mutex> lock(FTargetLock);
        FAddress = address;
        FTarget = SplitURL(address);
    }
    FRestart = true;
    FLastData = MsSinceStart();
    FState = StateConnecting;
}

void THTTPStream::Open(const std::string& address) {
    SetTarget(address);
    if (!FThread.joinable() && !FTerminated) FThread = std::thread([this] { Execute(); });
}

void THTTPStream::Stop() {
    FTerminated = true;
    if (FThread.joinable()) FThread.join();
    CloseSocket();
    FState = StateClosed;
}

bool THTTPStream::IsTimedOut() const { return FState == StateClosed || MsSinceStart() - FLastData > NoDataLimitMs; }

void THTTPStream::Fail(const std::string& message) {
    LogMessage(message, LogSource, LogKind::Error);
    FTerminated = true;
}

std::string THTTPStream::Address() {
    std::lock_guard<std::mutex> lock(FTargetLock);
    return FAddress;
}

void THTTPStream::CloseSocket() {
    if (FSocket >= 0) ::close(FSocket);
    FSocket = -1;
}

void THTTPStream::Execute() {
    SetCurrentThreadName("kelvar-http");
    while (!FTerminated && FRestart) {
        FRestart = false;
        try {
            RunConnection();
        } catch (const std::exception& e) {
            Fail(e.what());
        }
        CloseSocket();
        // A pending redirect keeps the stream alive while it reconnects.
        if (!FRestart || FTerminated) FState = StateClosed;
    }
    if (FPreBuffer) FPreBuffer->Flush();
    FState = StateClosed;
}

void THTTPStream::RunConnection() {
    TURLParts target;
    {
        std::lock_guard<std::mutex> lock(FTargetLock);
        target = FTarget;
    }
    FFirstLine = true;
    FByteCount = 0;
    FState = StateConnecting;
    FRecv.clear();
    FRecvStart = 0;
    if (!Connect(target)) return;
    SendRequest(target);
    FHeaders.Clear();
    FHeaderBytes = 0;
    FState = StateHeaders;
    FLastData = MsSinceStart();

    while (!FTerminated && FState != StateClosed && !FRestart) {
        if (FState == StateHeaders) {
            std::string line;
            const int got = ReadLine(line, HeaderLineTimeoutMs);
            if (got < 0) {
                if (!FTerminated) Fail("Connection closed before the response headers were complete: " + Address());
                FState = StateClosed;
            } else if (got > 0) {
                HandleHeaderLine(line);
                FLastData = MsSinceStart();
            }
        }
        if (FState != StateHeaders && FState != StateClosed && !FRestart && FPreBuffer->FreeSpace() > 0) {
            if (FState == StateHeadersDone) FState = StateStreaming;
            ReadBody();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool THTTPStream::Connect(const TURLParts& target) {
    const std::string& portText = target.Port;
    const bool digits = !portText.empty() && portText.size() <= 5 &&
                        std::all_of(portText.begin(), portText.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int port = digits ? std::stoi(portText) : 0;
    if (port <= 0 || port > 65535) {
        Fail("Invalid port: " + portText);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = LookUp(target.Host, portText, hints, found, FTerminated);
    if (FTerminated) {
        if (rc == 0) ::freeaddrinfo(found);
        return false;
    }
    if (rc != 0) {
        Fail("Cannot resolve " + target.Host + ": " + ::gai_strerror(rc));
        return false;
    }
    std::string error = "no address";
    for (addrinfo* ai = found; ai && !FTerminated; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) continue;
        int r = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (r != 0 && errno == EINPROGRESS) {
            int waited = 0;
            r = -1;
            errno = ETIMEDOUT;
            while (!FTerminated && waited < ConnectTimeoutMs) {
                pollfd pfd{fd, POLLOUT, 0};
                const int p = ::poll(&pfd, 1, SliceMs);
                if (p > 0) {
                    int soError = 0;
                    socklen_t len = sizeof(soError);
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
                    r = soError == 0 ? 0 : -1;
                    errno = soError;
                    break;
                }
                waited += SliceMs;
            }
        }
        if (r == 0) {
            ::freeaddrinfo(found);
            FSocket = fd;
            return true;
        }
        error = ErrnoText(errno);
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (!FTerminated) Fail("Cannot connect to " + target.Host + ":" + portText + ": " + error);
    return false;
}

void THTTPStream::SendRequest(const TURLParts& target) {
    // An IPv6 address keeps its brackets, or its colons would run into the port's.
    const bool v6 = target.Host.find(':') != std::string::npos;
    const std::string host = v6 ? "[" + target.Host + "]" : target.Host;
    const std::string request =
        "GET " + target.Path +
        " HTTP/1.0\r\n"
        "Accept: */*\r\n"
        "User-Agent: " +
        std::string(UserAgent) +
        "\r\n"
        "Host: " +
        host + ":" + target.Port +
        "\r\n"
        "Icy-MetaData: 1\r\n"
        "Pragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,request-context=123517064,max-duration=0\r\n"
        "\r\n"
        "\r\n";
    size_t sent = 0;
    int waited = 0;
    while (sent < request.size() && !FTerminated) {
        const ssize_t n = ::send(FSocket, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) && waited < HeaderLineTimeoutMs) {
            pollfd pfd{FSocket, POLLOUT, 0};
            ::poll(&pfd, 1, SliceMs);
            waited += SliceMs;
            continue;
        }
        Fail(std::string("Cannot send the request: ") + ErrnoText(errno));
        return;
    }
}

int THTTPStream::WaitReadable(int timeoutMs) {
    int waited = 0;
    while (!FTerminated) {
        pollfd pfd{FSocket, POLLIN, 0};
        const int slice = std::min(SliceMs, std::max(0, timeoutMs - waited));
        const int p = ::poll(&pfd, 1, slice);
        if (p > 0) return 1;
        if (p < 0 && errno != EINTR) return -1;
        waited += slice;
        if (waited >= timeoutMs) return 0;
    }
    return 0;
}

int THTTPStream::ReadLine(std::string& line, int timeoutMs) {
    while (true) {
        const auto begin = FRecv.begin() + static_cast<ptrdiff_t>(FRecvStart);
        const auto nl = std::find(begin, FRecv.end(), '\n');
        if (nl != FRecv.end()) {
            line.assign(begin, nl);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            FRecvStart = static_cast<size_t>(nl - FRecv.begin()) + 1;
            if (FRecvStart == FRecv.size()) {
                FRecv.clear();
                FRecvStart = 0;
            }
            return 1;
        }
        if (FRecv.size() - FRecvStart > MaxLineBytes) {
            Fail("Response header line too long: " + Address());
            return -1;
        }
        const int ready = WaitReadable(timeoutMs);
        if (ready == 0) return 0;
        if (ready < 0) return -1;
        char buf[BodyChunk];
        const ssize_t n = ::recv(FSocket, buf, sizeof(buf), 0);
        if (n == 0) return -1;
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return -1;
        }
        if (FRecvStart > 0) {
            FRecv.erase(FRecv.begin(), FRecv.begin() + static_cast<ptrdiff_t>(FRecvStart));
            FRecvStart = 0;
        }
        FRecv.insert(FRecv.end(), buf, buf + n);
    }
}

void THTTPStream::HandleHeaderLine(const std::string& line) {
    FHeaderBytes += line.size() + 2;
    if (FFirstLine) {
        FFirstLine = false;
        FStatusLine = line;
        const auto sp1 = line.find(' ');
        FProtocolWord = line.substr(0, sp1);
        std::string rest = sp1 == std::string::npos ? std::string() : line.substr(sp1 + 1);
        const auto sp2 = rest.find(' ');
        const std::string codeText = rest.substr(0, sp2);
        FStatusText = sp2 == std::string::npos ? std::string() : rest.substr(sp2 + 1);
        int code = 0;
        if (!codeText.empty() && codeText.size() <= 3 &&
            std::all_of(codeText.begin(), codeText.end(), [](char c) { return c >= '0' && c <= '9'; }))
            code = std::stoi(codeText);
        FStatusCode = code;
    } else {
        const bool last = TrimSpace(line).empty();  // the blank line that ends them is no header
        if (!last && (FHeaders.Count() >= MaxHeaderLines || FHeaderBytes > MaxHeaderBytes)) {
            Fail("Too many response headers: " + Address());
            FState = StateClosed;
            return;
        }
        FHeaders.Add(line);
    }
    if (!TrimSpace(line).empty()) return;

    // A blank line ends the headers.
    const int code = FStatusCode;
    if (code >= 300 && code <= 399) {
        const std::string location = FHeaders.Values("Location");
        if (!location.empty()) {
            const std::string base = Address();
            const std::string next = ResolveLocation(base, location);
            if (next.empty()) {
                Fail("Cannot follow the redirect to " + location);
                FState = StateClosed;
            } else if (++FRedirects > MaxRedirects) {
                Fail("Too many redirects: " + base);
                FState = StateClosed;
            } else {
                SetTarget(next);
            }
            return;
        }
    }
    // An error page or anything that is not a stream must not be played as audio.
    if (code < 100 || code > 299) {
        Fail("Stream refused (" + FStatusLine + "): " + Address());
        FState = StateClosed;
        return;
    }
    if (OnHeaders) OnHeaders(*this, FHeaders);
    FState = StateHeadersDone;
}

void THTTPStream::ReadBody() {
    // Bytes that came with the headers go first.
    if (FRecvStart < FRecv.size()) {
        const size_t n = std::min(BodyChunk, FRecv.size() - FRecvStart);
        FPreBuffer->Write(FRecv.data() + FRecvStart, static_cast<int>(n));
        FRecvStart += n;
        if (FRecvStart == FRecv.size()) {
            FRecv.clear();
            FRecvStart = 0;
        }
        FLastData = MsSinceStart();
        FByteCount += static_cast<int64_t>(n);
        return;
    }
    pollfd pfd{FSocket, POLLIN, 0};
    const int p = ::poll(&pfd, 1, BodyWaitMs);
    if (p == 0 || (p < 0 && errno == EINTR)) return;
    char buf[BodyChunk];
    const ssize_t n = p > 0 ? ::recv(FSocket, buf, sizeof(buf), 0) : -1;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
        // Connection lost or closed by the server: what arrived becomes readable.
        FPreBuffer->Flush();
        FState = StateClosed;
        return;
    }
    FPreBuffer->Write(buf, static_cast<int>(n));
    FLastData = MsSinceStart();
    FByteCount += n;
}

}  // namespace kelvar
