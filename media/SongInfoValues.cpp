#include "media/SongInfoValues.h"

#include <charconv>
#include <cmath>
#include <filesystem>

#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "media/SongInfoProvider_imp.h"
#include "media/tags/ID3v2Ex.h"
#include "media/tags/MetaDataConfig_imp.h"

namespace kelvar::songinfo {

namespace {

constexpr const char* LogSource = "SongInfo";

std::string FloatText(double value) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return r.ec == std::errc() ? std::string(buffer, r.ptr) : std::string("0");
}

void StoreIfSet(IValueList& info, const char* key, const std::string& value) {
    if (!value.empty()) info.SetValue(key, value);
}

// The picture folder with its delimiter; empty when none is configured.
std::string PictureFolder() {
    std::string folder = PictureDir();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// The tag's picture goes into the picture folder; the record names the file.
void StorePicture(IValueList& info, const TTagValues& tag) {
    try {
        IPictureInfoPtr picture = tag.Picture ? tag.Picture() : nullptr;
        if (!picture) return;
        const std::string folder = PictureFolder();
        // Without a configured folder there is nowhere safe to put it.
        if (folder.empty()) return;
        std::string target;
        const std::string own = SafePictureBaseName(TrimText(tag.PicFile));
        if (!own.empty()) {
            target = folder + own;
        } else {
            int64_t id = 0;
            if (!TryParseInt64(info.GetValue("ID"), id)) id = 0;
            target = MakePictureFileName(id, info.GetValue("artist"), info.GetValue("album"), picture->GetFileExt());
        }
        if (picture->SaveToFile(target)) info.SetValue("picture", std::filesystem::path(target).filename().string());
    } catch (const std::exception& e) {
        LogMessage("Picture not saved: " + std::string(e.what()), LogSource, LogKind::Warning);
        info.SetValue("picture", std::string());
    } catch (...) {
        info.SetValue("picture", std::string());
    }
}

}  // namespace

bool FileExists(const std::string& fileName) {
    std::error_code ec;
    return std::filesystem::is_regular_file(fileName, ec);
}

int64_t LenientInt(const std::string& text) {
    int64_t value = 0;
    return TryParseInt64(text, value) ? value : 0;
}

double LenientBPM(const std::string& text) {
    double value = 0;
    if (!TryParseDouble(text, value) || !std::isfinite(value) || value < -1e9 || value > 1e9) return 0;
    return value;
}

int64_t LenientWholeBPM(const std::string& text) { return RoundedNumber(text); }

bool WritableSong(const std::string& fileName) {
    return fileName.find("://") == std::string::npos && FileExists(fileName) && !IsFileReadOnly(fileName);
}

void StoreArtistTitle(IValueList& info, std::string artist, std::string title) {
    SplitArtistTitle(artist, title);
    if (!artist.empty()) info.SetValue("artist", artist);
    if (!artist.empty() || !title.empty()) info.SetValue("title", title);
}

void StoreTagValues(IValueList& info, const TTagValues& tag) {
    StoreArtistTitle(info, tag.Artist, tag.Title);
    StoreIfSet(info, "album", tag.Album);
    StoreIfSet(info, "albumyear", tag.Year);
    StoreIfSet(info, "genre", tag.Genre);
    StoreIfSet(info, "info", tag.Info);
    if (tag.TrackNo > 0) info.SetValue("trackno", std::to_string(tag.TrackNo));
    StoreIfSet(info, "label", tag.Label);
    StoreIfSet(info, "pline", tag.PLine);
    StoreIfSet(info, "composer", tag.Composer);
    StoreIfSet(info, "ISRC", tag.ISRC);
    StoreIfSet(info, "catalog", tag.Catalog);
    StoreIfSet(info, "UPC", tag.UPC);
    StoreIfSet(info, "feeagency", tag.FeeAgency);
    StoreIfSet(info, "website", tag.Website);
    StoreIfSet(info, "buycd", tag.BuyCD);
    StoreIfSet(info, "lyrics", tag.Lyrics);
    StoreIfSet(info, "xfade", tag.XFade);
    if (tag.BPM != 0 && std::isfinite(tag.BPM)) info.SetValue("BPM", FloatText(tag.BPM));
    StoreIfSet(info, "Mood", tag.Mood);
    if (tag.Rating != 0) info.SetValue("Rating", std::to_string(tag.Rating));
    StoreIfSet(info, "SongRights", tag.SongRights);
    const std::string songType = tag.SongType.empty() ? std::string("?") : tag.SongType;
    if (songType != "?") info.SetValue("songtype", songType);
    info.SetValue("Overlay", tag.Overlay ? "YES" : "NO");
    StorePicture(info, tag);
}

std::string PictureToWrite(const IValueList& info, std::string& baseName) {
    baseName = SafePictureBaseName(info.GetValue("picture"));
    if (baseName.empty()) return {};
    const std::string folder = PictureFolder();
    if (folder.empty()) return {};
    const std::string path = folder + baseName;
    return FileExists(path) ? path : std::string();
}

bool OverlayValue(const IValueList& info) { return UpperAscii(info.GetValue("Overlay")) == "YES"; }

}  // namespace kelvar::songinfo
