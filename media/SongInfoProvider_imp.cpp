#include "media/SongInfoProvider_imp.h"

#include <cmath>

#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "media/SongInfoValues.h"
#include "media/WAVTag.h"
#include "media/tags/ID3v2Ex.h"
#include "media/tags/MPEGaudioEx.h"
#include "media/tags/MetaDataConfig_imp.h"
#include "media/tags/OggTag.h"

namespace kelvar {

ISongInfoProvider::~ISongInfoProvider() = default;

using namespace songinfo;

namespace {
constexpr const char* LogSource = "SongInfo";
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

void RegisterFileProviders(TSongInfoManager& manager) {
    manager.Register(std::make_shared<TMP3InfoProvider>());
    manager.Register(std::make_shared<TWAVInfoProvider>());
    manager.Register(std::make_shared<TOggInfoProvider>());
}

}  // namespace kelvar
