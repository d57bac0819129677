#include "media/SongInfoProvider_imp.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>

#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "media/WAVTag.h"
#include "media/WMFTag.h"
#include "media/tags/AtomicFile.h"
#include "media/tags/ID3v2Ex.h"
#include "media/tags/MPEGaudioEx.h"
#include "media/tags/MetaDataConfig_imp.h"
#include "media/tags/OggTag.h"
#include "media/tags/PictureInfo_imp.h"
#include "platform/ffmpeg/WMReader.h"

namespace kelvar {

ISongInfoProvider::~ISongInfoProvider() = default;

namespace {

constexpr const char* LogSource = "SongInfo";

bool FileExists(const std::string& fileName) {
    std::error_code ec;
    return std::filesystem::is_regular_file(fileName, ec);
}

// Empty or non-numeric texts count as 0: most songs carry no BPM or rating at all.
int64_t LenientInt(const std::string& text) {
    int64_t value = 0;
    return TryParseInt64(text, value) ? value : 0;
}

// A BPM may be fractional (measured, or read from a Vorbis comment): "120.5" and "120,5" are
// numbers too, not a reason to write 0 over the value the file held.
double LenientBPM(const std::string& text) {
    double value = 0;
    if (!TryParseDouble(text, value) || !std::isfinite(value) || value < -1e9 || value > 1e9) return 0;
    return value;
}

// Where the format holds whole numbers only.
int64_t LenientWholeBPM(const std::string& text) { return RoundedNumber(text); }

std::string FloatText(double value) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return r.ec == std::errc() ? std::string(buffer, r.ptr) : std::string("0");
}

bool WritableSong(const std::string& fileName) {
    return fileName.find("://") == std::string::npos && FileExists(fileName) && !IsFileReadOnly(fileName);
}

// What every tag format gives, in the song record's terms.
struct TTagValues {
    std::string Artist, Title, Album, Year, Genre, Info, Label, PLine, Composer, ISRC, Catalog, UPC, FeeAgency, Website,
        BuyCD, Lyrics, XFade, Mood, SongRights, SongType, PicFile;
    int64_t TrackNo = 0;
    double BPM = 0;
    int64_t Rating = 0;
    bool Overlay = false;
    std::function<IPictureInfoPtr()> Picture;
};

void StoreIfSet(IValueList& info, const char* key, const std::string& value) {
    if (!value.empty()) info.SetValue(key, value);
}

void StoreArtistTitle(IValueList& info, std::string artist, std::string title) {
    SplitArtistTitle(artist, title);
    if (!artist.empty()) info.SetValue("artist", artist);
    if (!artist.empty() || !title.empty()) info.SetValue("title", title);
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

// The record's "picture" as a file in the picture folder, when there is one.
std::string PictureToWrite(const IValueList& info, std::string& baseName) {
    baseName = SafePictureBaseName(info.GetValue("picture"));
    if (baseName.empty()) return {};
    const std::string folder = PictureFolder();
    if (folder.empty()) return {};
    const std::string path = folder + baseName;
    return FileExists(path) ? path : std::string();
}

bool OverlayValue(const IValueList& info) { return UpperAscii(info.GetValue("Overlay")) == "YES"; }

// The values every Kelvar tag format carries under the same names; BPM, song type, overlay and
// pictures differ between the formats and stay with each provider.
template <class TTag>
TTagValues CommonTagValues(TTag& source) {
    TTagValues tag;
    tag.Artist = source.Artist();
    tag.Title = source.Title();
    tag.Album = source.Album();
    tag.Year = source.Year();
    tag.Genre = source.Genre();
    tag.Info = source.Comment();
    tag.TrackNo = source.TrackNo();
    tag.Label = source.Publisher();
    tag.PLine = source.PLine();
    tag.Composer = source.Composer();
    tag.ISRC = source.ISRC();
    tag.Catalog = source.Catalog();
    tag.UPC = source.UPC();
    tag.FeeAgency = source.FeeAgency();
    tag.Website = source.ArtistURL();
    tag.BuyCD = source.BuyURL();
    tag.Lyrics = source.Lyrics();
    tag.XFade = source.XFade();
    tag.Mood = source.Mood();
    tag.Rating = source.Rating();
    tag.SongRights = source.SongRights();
    return tag;
}

template <class TTag>
void SetCommonTagValues(TTag& tag, IValueList& info) {
    tag.SetArtist(info.GetValue("artist"));
    tag.SetTitle(info.GetValue("title"));
    tag.SetAlbum(info.GetValue("album"));
    tag.SetYear(info.GetValue("albumyear"));
    tag.SetGenre(info.GetValue("genre"));
    tag.SetComment(info.GetValue("info"));
    tag.SetTrackNo(LenientInt(info.GetValue("trackno")));
    tag.SetPublisher(info.GetValue("label"));
    tag.SetPLine(info.GetValue("pline"));
    tag.SetComposer(info.GetValue("composer"));
    tag.SetISRC(info.GetValue("ISRC"));
    tag.SetCatalog(info.GetValue("catalog"));
    tag.SetUPC(info.GetValue("UPC"));
    tag.SetFeeAgency(info.GetValue("feeagency"));
    tag.SetArtistURL(info.GetValue("website"));
    tag.SetBuyURL(info.GetValue("buycd"));
    tag.SetLyrics(info.GetValue("lyrics"));
    tag.SetXFade(info.GetValue("xfade"));
    tag.SetMood(info.GetValue("Mood"));
    tag.SetRating(LenientInt(info.GetValue("Rating")));
    tag.SetSongRights(info.GetValue("SongRights"));
}

}  // namespace

std::string SongInfoExtension(const std::string& fileName) {
    const size_t slash = fileName.find_last_of("/\\");
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return UpperAscii(fileName.substr(dot + 1, 100));
}

bool ExtensionListHas(const char* list, const std::string& extension) {
    if (!list || extension.empty()) return false;
    const std::string items = list;
    size_t start = 0;
    while (start <= items.size()) {
        size_t comma = items.find(',', start);
        if (comma == std::string::npos) comma = items.size();
        if (items.compare(start, comma - start, extension) == 0 && comma - start == extension.size()) return true;
        start = comma + 1;
    }
    return false;
}

std::string SafePictureBaseName(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    std::string base = SafeFileNamePart(slash == std::string::npos ? name : name.substr(slash + 1));
    base = TrimText(base);
    if (base.empty() || base.find_first_not_of('.') == std::string::npos) return {};
    return base;
}

// MP3

bool TMP3InfoProvider::ReadInfo(const std::string& fileName, IValueList& info) {
    if (!FileExists(fileName)) return false;
    TMPEGaudioEx mpeg;
    mpeg.ReadFromFile(fileName);

    TID3v1& v1 = mpeg.ID3v1();
    if (v1.Exists()) {
        StoreArtistTitle(info, v1.Artist(), v1.Title());
        info.SetValue("album", v1.Album());
        info.SetValue("albumyear", v1.Year());
        info.SetValue("genre", v1.Genre());
        info.SetValue("info", v1.Comment());
        if (v1.Track() != 0) info.SetValue("trackno", std::to_string(v1.Track()));
    }

    TID3v2KelvarTag& v2 = mpeg.ID3v2();
    if (v2.Exists) {
        TTagValues tag = CommonTagValues(v2);
        tag.BPM = static_cast<double>(v2.BPM());
        tag.SongType = v2.SongType();
        tag.Overlay = v2.Overlay();
        tag.PicFile = v2.PicFile();
        tag.Picture = [&v2] { return v2.GetPicture(); };
        StoreTagValues(info, tag);
    }

    const bool valid = mpeg.IsValid();
    if (valid) info.SetValue("duration", std::to_string(std::llround(mpeg.GetDuration() * 1000.0)));
    return valid;
}

bool TMP3InfoProvider::CanWrite(const std::string& fileName) { return WritableSong(fileName); }

bool TMP3InfoProvider::WriteInfo(const std::string& fileName, IValueList& info) {
    if (!FileExists(fileName)) return false;
    TID3v2KelvarTag tag;
    tag.WriteVersion = ID3v2WriteVersion.load();
    tag.LoadFromFile(fileName);
    tag.FileName = fileName;
    SetCommonTagValues(tag, info);
    tag.SetBPM(LenientWholeBPM(info.GetValue("BPM")));
    tag.SetSongType(info.GetValue("songtype"));
    tag.SetOverlay(OverlayValue(info));
    std::string baseName;
    const std::string picture = PictureToWrite(info, baseName);
    if (!picture.empty()) {
        tag.SetPicFile(baseName);
        tag.LoadPictureFromFile(picture);
    }
    return tag.SaveToFile();
}

// Ogg Vorbis

bool TOggInfoProvider::ReadInfo(const std::string& fileName, IValueList& info) {
    if (!FileExists(fileName)) return false;
    TOggKelvarTag ogg;
    if (!ogg.LoadFromFile(fileName)) return false;
    TTagValues tag = CommonTagValues(ogg);
    tag.BPM = ogg.BPM();
    tag.SongType = ogg.SongType();
    tag.Overlay = ogg.Overlay();
    tag.PicFile = ogg.PicFile();
    tag.Picture = [&ogg] { return ogg.GetPicture(); };
    StoreTagValues(info, tag);
    // A length that couldn't be measured is no length: nothing negative goes into the record.
    if (ogg.Duration >= 0) info.SetValue("duration", std::to_string(ogg.Duration));
    return true;
}

bool TOggInfoProvider::CanWrite(const std::string& fileName) { return WritableSong(fileName); }

bool TOggInfoProvider::WriteInfo(const std::string& fileName, IValueList& info) {
    if (!FileExists(fileName)) return false;
    TOggKelvarTag tag;
    tag.LoadFromFile(fileName);
    tag.FileName = fileName;
    SetCommonTagValues(tag, info);
    tag.SetBPM(LenientBPM(info.GetValue("BPM")));
    tag.SetSongType(info.GetValue("songtype"));
    tag.SetOverlay(OverlayValue(info));
    std::string baseName;
    const std::string picture = PictureToWrite(info, baseName);
    if (!picture.empty()) {
        tag.SetPicFile(baseName);
        try {
            tag.SetPicture(std::make_shared<TPictureInfo>(picture));
        } catch (const std::exception& e) {
            LogMessage("Picture " + picture + ": " + e.what(), LogSource, LogKind::Warning);
        }
    }
    const bool saved = tag.SaveToFile();
    if (!saved) LogMessage("Tags of " + fileName + " not written: " + tag.LastError, LogSource, LogKind::Error);
    return saved;
}

// Windows Media

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

// WAV

bool TWAVInfoProvider::ReadInfo(const std::string& fileName, IValueList& info) {
    TWAVTag wav;
    wav.ReadFromFile(fileName);
    if (!wav.Valid()) return false;
    const double seconds = wav.GetDuration();
    // A header with nothing to divide by gives no duration rather than a made-up one.
    if (seconds > 0) info.SetValue("duration", std::to_string(std::llround(seconds * 1000.0)));
    return true;
}

// Manager

void TSongInfoManager::Register(ISongInfoProviderPtr provider) {
    if (provider) FProviders.push_back(std::move(provider));
}

bool TSongInfoManager::CanRead(const std::string& fileName) const {
    const std::string ext = SongInfoExtension(fileName);
    for (const auto& p : FProviders)
        if (ExtensionListHas(p->GetExtensions(), ext)) return true;
    return false;
}

bool TSongInfoManager::CanWrite(const std::string& fileName) const {
    const std::string ext = SongInfoExtension(fileName);
    for (const auto& p : FProviders)
        if (ExtensionListHas(p->GetExtensions(), ext) && p->CanWrite(fileName)) return true;
    return false;
}

bool TSongInfoManager::ReadInfo(const std::string& fileName, IValueList& info) const {
    if (info.GetValue("filename").empty()) info.SetValue("filename", fileName);
    const std::string ext = SongInfoExtension(fileName);
    for (const auto& p : FProviders)
        if (ExtensionListHas(p->GetExtensions(), ext) && p->ReadInfo(fileName, info)) return true;
    return false;
}

bool TSongInfoManager::WriteInfo(const std::string& fileName, IValueList& info) const {
    const std::string ext = SongInfoExtension(fileName);
    for (const auto& p : FProviders)
        if (ExtensionListHas(p->GetExtensions(), ext) && p->WriteInfo(fileName, info)) return true;
    return false;
}

TSongInfoManager& SongInfoManager() {
    static TSongInfoManager* manager = [] {
        static TSongInfoManager instance;
        instance.Register(std::make_shared<TMP3InfoProvider>());
        instance.Register(std::make_shared<TWAVInfoProvider>());
        instance.Register(std::make_shared<TOggInfoProvider>());
        // Only when this build can play Windows Media files, as the decks can.
        if (platform::WindowsMediaAvailable()) instance.Register(std::make_shared<TWMAInfoProvider>());
        return &instance;
    }();
    return *manager;
}

}  // namespace kelvar
