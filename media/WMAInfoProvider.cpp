// The Windows Media provider: header attributes through TagLib's ASF reader.
#include "media/SongInfoProvider_imp.h"
#include "media/SongInfoValues.h"
#include "media/WMFTag.h"
#include "media/tags/ID3v2Ex.h"

namespace kelvar {

using namespace songinfo;

bool TWMAInfoProvider::ReadInfo(const std::string& fileName, IValueList& info) {
    if (!FileExists(fileName)) return false;
    TWMFTagKelvar wm;
    if (!wm.Open(fileName)) return false;
    TTagValues tag = CommonTagValues(wm);
    tag.BPM = static_cast<double>(wm.BPM());
    tag.SongType = FirstCharacter(wm.GetString("kelvarSongType"));
    tag.Overlay = wm.Overlay();
    tag.PicFile = wm.PicFile();
    tag.Picture = [&wm] { return wm.GetPicture(); };
    StoreTagValues(info, tag);
    info.SetValue("duration", std::to_string(static_cast<int32_t>(wm.Duration())));
    wm.Close();
    return true;
}

bool TWMAInfoProvider::CanWrite(const std::string& fileName) { return WritableSong(fileName); }

bool TWMAInfoProvider::WriteInfo(const std::string& fileName, IValueList& info) {
    if (!FileExists(fileName)) return false;
    TWMFTagKelvar tag;
    if (!tag.Open(fileName)) return false;
    SetCommonTagValues(tag, info);
    tag.SetBPM(LenientWholeBPM(info.GetValue("BPM")));
    tag.SetString("kelvarSongType", FirstCharacter(info.GetValue("songtype")));
    tag.SetOverlay(OverlayValue(info));
    std::string baseName;
    const std::string picture = PictureToWrite(info, baseName);
    if (!picture.empty()) {
        tag.SetPicFile(baseName);
        tag.LoadPictureFromFile(picture);
    }
    const bool flushed = tag.Flush();
    tag.Close();
    return flushed;
}

}  // namespace kelvar
