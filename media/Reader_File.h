#pragma once
// Reads a local file; others may read and write the file meanwhile.
#include <cstdio>
#include <string>

#include "foundation/Errors.h"
#include "media/Reader.h"

namespace kelvar {

class TReader_File : public IReader {
public:
    TReader_File() = default;
    ~TReader_File() override;
    TReader_File(const TReader_File&) = delete;
    TReader_File& operator=(const TReader_File&) = delete;

    // Throws "File does not exist: <name>".
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

private:
    int FFile = -1;
    int64_t FPosition = 0;
};

}  // namespace kelvar
