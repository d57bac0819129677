#pragma once
// Fixtures for the media tests: a temporary folder, WAV and MP3 files made at test time, a
// decode loop, and a loopback HTTP server with scripted answers.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Mp3Encoder.h"
#include "common/Signals.h"
#include "common/TempFolder.h"
#include "foundation/Logger.h"
#include "media/Decoder.h"

namespace kelvar::test {

using Bytes = std::vector<uint8_t>;
using TTempDir = TTempFolder;

void WriteFile(const std::string& path, const Bytes& data);
Bytes ReadFileBytes(const std::string& path);

void AppendLE16(Bytes& out, uint16_t v);
void AppendLE32(Bytes& out, uint32_t v);
void AppendText(Bytes& out, const char* text);  // without its NUL
void AppendChunk(Bytes& out, const char* id, const Bytes& body, bool pad = true);

// An 18-byte format record as a chunk body (16 bytes when short is set).
Bytes FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t blockAlign, uint32_t avgBytes,
                 bool shortForm = false);
// "RIFF" size "WAVE" followed by the chunks given.
Bytes RiffWave(const Bytes& chunks);

Bytes ToBytes(const std::vector<int16_t>& samples);

struct TDecoded {
    Bytes Pcm;
    TWaveFormat Format{};
    std::vector<IMetaDataPtr> Events;
    int Calls = 0;
};

// Decodes until the decoder reports its end (or MaxCalls calls), yielding between calls when
// nothing came, as a deck would.
TDecoded DecodeAll(IDecoder& decoder, int maxCalls = 200000);

// A server on 127.0.0.1 that hands each accepted connection, with its request head, to the
// handler on a thread of its own.
class TLoopbackServer {
public:
    using THandler = std::function<void(int fd, const std::string& request, int index)>;
    explicit TLoopbackServer(THandler handler);
    ~TLoopbackServer();
    int Port() const { return FPort; }
    std::string Url(const std::string& path = "/") const;
    int Connections() const { return FConnections.load(); }
    std::vector<std::string> Requests();
    // Set to make handlers that wait on it finish.
    std::atomic<bool> Release{false};

private:
    void Run();

    THandler FHandler;
    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::atomic<int> FConnections{0};
    std::thread FThread;
    std::mutex FLock;
    std::vector<std::thread> FWorkers;
    std::vector<std::string> FRequests;
};

// Installs itself as the process's logger while it lives and keeps every message.
class TCaptureLogger : public ILogger {
public:
    void Log(const std::string& message, const std::string& source, TLogKind kind) override;
    bool Contains(const std::string& text);

private:
    std::mutex FLock;
    std::vector<std::string> FMessages;
};

class TLogCapture {
public:
    TLogCapture();
    ~TLogCapture();
    bool Contains(const std::string& text) { return FLogger->Contains(text); }

private:
    std::shared_ptr<TCaptureLogger> FLogger;
};

bool SendAll(int fd, const void* data, size_t size);
bool SendAll(int fd, const std::string& text);
// Waits (bounded) until the condition holds; answers it.
bool WaitFor(const std::function<bool()>& condition, int limitMs = 20000);

}  // namespace kelvar::test
