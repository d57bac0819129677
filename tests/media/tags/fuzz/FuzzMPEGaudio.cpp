#include "FuzzFile.h"
#include "media/tags/MPEGaudioEx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = kelvar::fuzz::WriteInput(data, size);
    kelvar::TMPEGaudioEx mpeg;
    try {
        mpeg.ReadFromFile(file);
    } catch (const std::exception&) {}
    (void)mpeg.IsValid();
    (void)mpeg.GetBitRate();
    (void)mpeg.GetDuration();
    mpeg.FindFrame(data, static_cast<int>(size > 100000 ? 100000 : size));
    (void)mpeg.IsValid();
    return 0;
}
