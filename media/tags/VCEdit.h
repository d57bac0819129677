#pragma once
// Rewrites the comment header of an Ogg Vorbis stream without touching its audio: the three
// header packets are read, the comment packet is rebuilt, the headers are paged anew and the
// audio pages are copied (renumbered when the header's page count changes).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <ogg/ogg.h>

namespace kelvar {

class TVCEditState {
public:
    // Bytes read into Buffer (at most Size); 0 at the end or on failure.
    using TReadFunc = std::function<size_t(void* buffer, size_t size)>;
    // False when not every byte could be written.
    using TWriteFunc = std::function<bool(const void* data, size_t size)>;

    TVCEditState();
    ~TVCEditState();
    TVCEditState(const TVCEditState&) = delete;
    TVCEditState& operator=(const TVCEditState&) = delete;

    // Reads the stream's headers through Read (kept for Write). False with LastError set.
    bool Open(TReadFunc read);
    // Writes the stream with the comments below to Output, reading the rest of the input.
    bool Write(const TWriteFunc& output);
    void Clear();

    // The comments of the open stream ("NAME=value" texts, in file order) and its vendor text.
    std::vector<std::string> Comments;
    std::string Vendor;
    const std::string& LastError() const { return FLastError; }

private:
    bool Fail(const std::string& message);
    // The next page of the input; false at its end.
    bool NextPage(ogg_page& page);

    ogg_sync_state FSync;
    ogg_stream_state FStream;
    bool FOpen = false;
    bool FStreamInit = false;
    TReadFunc FRead;
    long FSerial = 0;
    int64_t FFirstPageNo = 0;
    int FHeaderPages = 0;
    bool FHeaderEndsStream = false;
    std::vector<unsigned char> FIdHeader;
    std::vector<unsigned char> FSetupHeader;
    std::string FLastError;
};

// The comment header packet: "\x03vorbis", vendor, comments, framing bit.
std::vector<unsigned char> BuildCommentPacket(const std::string& vendor, const std::vector<std::string>& comments);
// Reads a comment header packet; false when it is not one or its lengths don't fit.
bool ParseCommentPacket(const unsigned char* data, size_t length, std::string& vendor,
                        std::vector<std::string>& comments);

}  // namespace kelvar
