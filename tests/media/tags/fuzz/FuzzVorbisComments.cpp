#include <algorithm>
#include <cstring>

#include "FuzzFile.h"
#include "media/tags/OggTag.h"
#include "media/tags/OggTagUtils.h"
#include "media/tags/VCEdit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The comment packet alone.
    std::string vendor;
    std::vector<std::string> comments;
    if (kelvar::ParseCommentPacket(data, size, vendor, comments))
        (void)kelvar::ParseComments(comments, kelvar::cmASCII);

    // A whole stream through the header rewriter, in memory.
    kelvar::TVCEditState state;
    size_t pos = 0;
    if (state.Open([&](void* buffer, size_t want) {
            const size_t n = std::min(want, size - pos);
            std::memcpy(buffer, data + pos, n);
            pos += n;
            return n;
        })) {
        state.Comments.push_back("TITLE=fuzz");
        state.Write([](const void*, size_t) { return true; });
    }

    // A file through the tag class, picture included.
    const std::string file = kelvar::fuzz::WriteInput(data, size);
    kelvar::TOggKelvarTag tag;
    if (tag.LoadFromFile(file)) {
        (void)tag.GetPicture();
        (void)tag.BPM();
        (void)tag.TrackNo();
    }
    std::string raw(reinterpret_cast<const char*>(data), size);
    try {
        kelvar::TOggPictureInfo picture(raw);
    } catch (const std::exception&) {}
    return 0;
}
