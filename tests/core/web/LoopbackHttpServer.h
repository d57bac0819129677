#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the web tests: one thread per connection, every
// reply closes its connection. A handler decides each reply; it may stall (hold the connection
// without answering until released) or vanish (close without a reply).
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kelvar::webtest {

struct THttpRequest {
    std::string Method;
    std::string Path;
    std::map<std::string, std::string> Headers;  // names in lower case
    std::string Body;
};

struct THttpReply {
    enum class TKind { Answer, Stall, Vanish };
    TKind Kind = TKind::Answer;
    int Status = 200;
    std::string Reason = "OK";
    std::string Body;
    std::string ContentType = "text/xml";
    // Further header lines, each ending in "\r\n".
    std::string Headers;

    static THttpReply Answer(std::string body, int status = 200, std::string reason = "OK") {
        THttpReply reply;
        reply.Body = std::move(body);
        reply.Status = status;
        reply.Reason = std::move(reason);
        return reply;
    }
    static THttpReply Stall() { return Of(TKind::Stall); }
    static THttpReply Vanish() { return Of(TKind::Vanish); }

private:
    static THttpReply Of(TKind kind) {
        THttpReply reply;
        reply.Kind = kind;
        return reply;
    }
};

class TLoopbackHttpServer {
public:
    using THandler = std::function<THttpReply(const THttpRequest&)>;

    explicit TLoopbackHttpServer(THandler handler);
    ~TLoopbackHttpServer();

    int Port() const { return FPort; }
    std::string Url(const std::string& path) const;

    // Ends the stalled replies (their connections close without an answer).
    void ReleaseStalled();
    // Waits (bounded) until this many requests arrived; false when they did not.
    bool WaitForRequests(size_t count, int timeoutMs = 5000);
    std::vector<THttpRequest> Requests();

private:
    void AcceptLoop();
    void Serve(int socket);
    // Waits until the socket is readable or the server stops; false on stop or time-out.
    bool WaitReadable(int socket, int timeoutMs);

    THandler FHandler;
    int FListen = -1;
    int FWakePipe[2] = {-1, -1};
    int FPort = 0;
    std::thread FAcceptThread;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<std::thread> FConnections;
    std::vector<THttpRequest> FRequests;
    bool FStopping = false;
    bool FReleased = false;
};

// A free port on 127.0.0.1 that nothing listens on (bound and closed again).
int ClosedLoopbackPort();

}  // namespace kelvar::webtest
