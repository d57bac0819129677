#pragma once
// One blocking HTTP request over libcurl, run on the calling thread. Another thread may abort it
// at any time; the request then fails at once instead of waiting for the server.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace kelvar {

// Milliseconds; 0 switches a limit off.
struct THttpTimeouts {
    int ConnectMs = 10000;
    // The whole request, from connect to the last byte.
    int TotalMs = 30000;
    // No byte moved in either direction for this long.
    int IdleMs = 0;
};

class THttpClient {
public:
    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    THttpTimeouts Timeouts;
    // Replies longer than this fail the request; 0 for no bound.
    int64_t MaxReplySize = 0;
    bool FollowRedirects = false;
    std::string UserName;
    std::string Password;
    // Receives the reply body; answering false fails the request with "Cannot store the reply".
    std::function<bool(const char* data, size_t size)> OnData;

    // Raise EWebError on a network failure, a time-out, an oversized reply or an abort; any HTTP
    // status is an answer, not a failure. Only http and https addresses are accepted.
    void Get(const std::string& url);
    void Post(const std::string& url, const std::string& body, const std::string& contentType);

    // From any thread: the running request (or the next one) fails with "Request aborted".
    void Abort();

    // 0 until a status line arrived.
    int GetStatusCode() const { return FStatusCode; }
    // The text after the code in the last status line ("Not Found").
    std::string GetReasonPhrase() const;
    // -1 until known.
    int64_t GetContentLength() const { return FContentLength; }
    int64_t GetBytesReceived() const { return FBytesReceived; }

private:
    void Perform(const std::string& url, const std::string* body, const std::string& contentType);
    static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* self);

    void* FEasy = nullptr;
    void* FMulti = nullptr;
    std::atomic<bool> FAborted{false};
    std::atomic<int> FStatusCode{0};
    std::atomic<int64_t> FContentLength{-1};
    std::atomic<int64_t> FBytesReceived{0};
    bool FTooLarge = false;
    bool FSinkRefused = false;
    mutable std::mutex FLock;
    std::string FReasonPhrase;
};

}  // namespace kelvar
