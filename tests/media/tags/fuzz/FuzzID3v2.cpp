#include "FuzzFile.h"
#include "media/tags/ID3v2Ex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = kelvar::fuzz::WriteInput(data, size);
    kelvar::TID3v2KelvarTag tag;
    tag.LoadFromFile(file);
    (void)tag.Title();
    (void)tag.Comment();
    (void)tag.TrackNo();
    (void)tag.SongType();
    if (auto picture = tag.GetPicture()) (void)picture->GetFileExt();
    // Writing back must work on whatever was read.
    if (!tag.Frames().empty()) {
        kelvar::TBytes out;
        for (const auto& frame : tag.Frames()) {
            frame->Version = 4;
            frame->WriteTo(out);
        }
    }
    return 0;
}
