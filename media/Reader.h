#pragma once
// IReader is the byte source of the decoders that parse a byte stream themselves.
#include <cstdint>
#include <memory>
#include <string>

namespace kelvar {

class IReader {
public:
    virtual ~IReader();
    virtual void Open(const std::string& name) = 0;
    virtual void Close() = 0;
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual bool IsEOF() = 0;
    virtual bool IsSeekable() = 0;
    virtual int64_t Seek(int64_t position) = 0;  // from the start; the new position, -1 when not possible
    virtual int64_t GetSize() = 0;
    virtual int64_t GetPosition() = 0;
    virtual int64_t GetAvailable() = 0;      // readable now without waiting
    virtual int32_t GetBufferPercent() = 0;  // 0..100
};

using IReaderPtr = std::shared_ptr<IReader>;

}  // namespace kelvar
