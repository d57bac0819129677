#include "FuzzFile.h"
#include "media/tags/ID3v1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = kelvar::fuzz::WriteInput(data, size);
    kelvar::TID3v1 tag;
    try {
        tag.ReadFromFile(file);
    } catch (const std::exception&) {}
    (void)tag.Genre();
    if (size >= 128) tag.ReadFromBlock(data + size - 128);
    return 0;
}
