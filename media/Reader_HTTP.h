#pragma once
// Reads an HTTP or ICY stream: a stream thread fills a pre-buffer from which the decoder reads
// without ever blocking.
#include <functional>
#include <memory>
#include <string>

#include "audio/graph/Buffer.h"
#include "media/HTTPStream.h"
#include "media/Reader.h"

namespace kelvar {

class IHTTPReader {
public:
    virtual ~IHTTPReader();
    // No stream thread, the connection is over, or no data for more than 30000 ms.
    virtual bool IsDead() = 0;
    // Pre-buffers again after a drop-out (unless the input has ended).
    virtual void Rebuffer() = 0;
};

using IHTTPReaderPtr = std::shared_ptr<IHTTPReader>;

class TReader_mp3HTTP : public IReader, public IHTTPReader {
public:
    static constexpr int BufferBytes = 1048576;
    static constexpr int ChunkBytes = 4096;
    static constexpr int PreBufferBytes = 16384;

    // Runs on the stream thread when the response headers are complete, before any body byte
    // becomes readable.
    using TOnHeaders = std::function<void(TReader_mp3HTTP& sender, const THeaderList& headers)>;

    TReader_mp3HTTP() = default;
    ~TReader_mp3HTTP() override;
    TReader_mp3HTTP(const TReader_mp3HTTP&) = delete;
    TReader_mp3HTTP& operator=(const TReader_mp3HTTP&) = delete;

    // Set before Open.
    TOnHeaders OnHeaders;

    void Open(const std::string& name) override;
    void Close() override;
    int32_t Read(void* buffer, int32_t count) override;
    bool IsEOF() override;
    bool IsSeekable() override;
    int64_t Seek(int64_t position) override;
    int64_t GetSize() override;
    int64_t GetPosition() override;
    int64_t GetAvailable() override;
    int32_t GetBufferPercent() override;

    bool IsDead() override;
    void Rebuffer() override;

private:
    void HeadersArrived(const THeaderList& headers);

    IPreBufferPtr FPreBuffer;
    std::unique_ptr<THTTPStream> FStream;
    bool FOpen = false;
};

}  // namespace kelvar
