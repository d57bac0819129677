#pragma once
// The stream thread of the HTTP reader: connects over TCP, asks for the stream with ICY
// metadata, follows redirects and writes the body into the reader's pre-buffer.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "audio/graph/Buffer.h"

namespace kelvar {

// The parts of a stream address; an empty port reads "80", an empty path "/".
struct TURLParts {
    std::string Protocol;
    std::string User;
    std::string Password;
    std::string Host;
    std::string Port;
    std::string Path;
};

TURLParts SplitURL(const std::string& address);
// A redirect's Location against the address that answered it; empty when it can't be followed.
std::string ResolveLocation(const std::string& base, const std::string& location);

// Response header lines "name: value", in arrival order.
class THeaderList {
public:
    void Clear() { FLines.clear(); }
    void Add(const std::string& line) { FLines.push_back(line); }
    int Count() const { return static_cast<int>(FLines.size()); }
    const std::string& Line(int index) const { return FLines.at(static_cast<size_t>(index)); }
    // The trimmed value of the first line of that name (case-insensitive); empty when none.
    std::string Values(std::string_view name) const;

private:
    std::vector<std::string> FLines;
};

class THTTPStream {
public:
    // Runs on the stream thread once the response headers are complete.
    using TOnHeaders = std::function<void(THTTPStream& sender, const THeaderList& headers)>;

    enum : int { StateClosed = 0, StateConnecting = 1, StateHeaders = 2, StateHeadersDone = 3, StateStreaming = 4 };

    static constexpr int64_t NoDataLimitMs = 30000;
    static constexpr int MaxRedirects = 5;
    static constexpr size_t MaxLineBytes = 8192;
    static constexpr int MaxHeaderLines = 100;
    static constexpr size_t MaxHeaderBytes = 65536;

    explicit THTTPStream(IPreBufferPtr preBuffer);
    ~THTTPStream();
    THTTPStream(const THTTPStream&) = delete;
    THTTPStream& operator=(const THTTPStream&) = delete;

    // Set before Open.
    TOnHeaders OnHeaders;

    // Starts the thread on the address (or, from the thread itself, redirects to it).
    void Open(const std::string& address);
    // Asks the thread to end and waits for it; never waits on the network for long.
    void Stop();
    // Closed, or no data for more than 30000 ms.
    bool IsTimedOut() const;
    int GetState() const { return FState.load(); }
    int GetStatusCode() const { return FStatusCode.load(); }
    int64_t GetBytesReceived() const { return FByteCount.load(); }

private:
    // The address to connect next; the running thread picks it up as a restart.
    void SetTarget(const std::string& address);
    void Execute();
    void RunConnection();
    bool Connect(const TURLParts& target);
    void SendRequest(const TURLParts& target);
    // One line without its CR LF: 1 a line, 0 timed out, -1 the connection is over.
    int ReadLine(std::string& line, int timeoutMs);
    void HandleHeaderLine(const std::string& line);
    void ReadBody();
    // Waits for the socket to become readable in short slices, watching the stop request.
    int WaitReadable(int timeoutMs);
    // Logs the message and ends the thread: the stream is dead.
    void Fail(const std::string& message);
    std::string Address();
    void CloseSocket();

    IPreBufferPtr FPreBuffer;
    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FRestart{true};
    std::atomic<int> FState{StateClosed};
    std::atomic<int> FStatusCode{0};
    std::atomic<int64_t> FLastData{0};
    std::atomic<int64_t> FByteCount{0};

    std::mutex FTargetLock;  // the target may be set by the reader's thread or by a redirect
    std::string FAddress;
    TURLParts FTarget;
    int FRedirects = 0;

    // Stream thread only.
    int FSocket = -1;
    bool FFirstLine = true;
    std::string FProtocolWord;
    std::string FStatusText;
    std::string FStatusLine;
    THeaderList FHeaders;
    size_t FHeaderBytes = 0;
    std::vector<char> FRecv;  // bytes received and not yet taken
    size_t FRecvStart = 0;
};

}  // namespace kelvar
