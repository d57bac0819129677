#pragma once
// Song information in the header attributes of Windows Media files (WMA, WMV, ASF): attributes
// read and written by name with type conversion, the standard attributes the song information
// uses, the cover picture, and the system's own "kelvar..." attributes.
//
// The header is read from the file without loading its media. Changes are kept and, at Flush,
// made to a copy beside the file that then replaces it, so a failed write never leaves a
// damaged file.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/tags/PictureInfo_imp.h"

namespace TagLib {
class IOStream;
namespace ASF {
class File;
class Picture;
class Tag;
}  // namespace ASF
}  // namespace TagLib

namespace kelvar {

// Attribute data types as the header stores them; how each reads as text or number is
// TWMFTagBase's business.
enum class TWMAttrType : uint8_t { DWord = 0, String = 1, Binary = 2, Bool = 3, QWord = 4, Word = 5, Guid = 6 };

// A picture taken from a "WM/Picture" attribute.
class TWMPictureInfo : public TPictureInfo {
public:
    explicit TWMPictureInfo(const TagLib::ASF::Picture& picture);
};

class TWMFTagBase {
public:
    TWMFTagBase();
    virtual ~TWMFTagBase();
    TWMFTagBase(const TWMFTagBase&) = delete;
    TWMFTagBase& operator=(const TWMFTagBase&) = delete;

    // Closes any open file; true when FileName is a Windows Media file whose header was read.
    bool Open(const std::string& fileName);
    // Drops changes not flushed.
    void Close();
    // Writes the changes to the file; false (file untouched) when it can't.
    bool Flush();
    bool IsOpen() const { return FFile != nullptr; }

    // Reads never raise: a missing or unreadable attribute gives the default.
    std::string GetString(const std::string& name, const std::string& defaultValue = "");
    int64_t GetNumber(const std::string& name, int64_t defaultValue = 0);
    // The bytes copied into Buffer; without a buffer, the size of the attribute's value.
    int32_t GetBinary(const std::string& name, void* buffer, int32_t bufferSize);
    // The first attribute of the name is replaced, or the attribute added.
    void SetString(const std::string& name, const std::string& text);
    void SetBinary(const std::string& name, const void* data, int32_t size);
    void DeleteAttribute(const std::string& name);

protected:
    std::string FFileName;
    using TChange = std::function<void(TagLib::ASF::Tag*)>;
    // Makes Change to the open header at once (reads see it) and again to the copy Flush writes.
    void Change(TChange change);

    std::unique_ptr<TagLib::IOStream> FStream;
    std::unique_ptr<TagLib::ASF::File> FFile;
    std::vector<TChange> FPending;  // made since the last Flush
};

class TWMFTag : public TWMFTagBase {
public:
    std::string Album() { return GetString("WM/AlbumTitle"); }
    void SetAlbum(const std::string& v) { SetString("WM/AlbumTitle", v); }
    // "Author", else the album artist; written to "Author" only.
    std::string Artist();
    void SetArtist(const std::string& v) { SetString("Author", v); }
    // 0 when missing; a fraction written by another program reads rounded.
    int64_t BPM();
    void SetBPM(int64_t v) { SetString("WM/BeatsPerMinute", std::to_string(v)); }
    std::string Comment() { return GetString("Description"); }
    void SetComment(const std::string& v) { SetString("Description", v); }
    std::string Composer() { return GetString("WM/Composer"); }
    void SetComposer(const std::string& v) { SetString("WM/Composer", v); }
    // Milliseconds; 0 when the header doesn't tell.
    int64_t Duration() { return GetNumber("Duration", 0) / 10000; }
    std::string Genre() { return GetString("WM/Genre"); }
    void SetGenre(const std::string& v) { SetString("WM/Genre", v); }
    std::string ISRC() { return GetString("WM/ISRC"); }
    void SetISRC(const std::string& v) { SetString("WM/ISRC", v); }
    std::string Lyrics() { return GetString("WM/Lyrics"); }
    void SetLyrics(const std::string& v) { SetString("WM/Lyrics", v); }
    std::string Mood() { return GetString("WM/Mood"); }
    void SetMood(const std::string& v) { SetString("WM/Mood", v); }
    std::string Publisher() { return GetString("WM/Publisher"); }
    void SetPublisher(const std::string& v) { SetString("WM/Publisher", v); }
    std::string Title() { return GetString("Title"); }
    void SetTitle(const std::string& v) { SetString("Title", v); }
    int64_t TrackNo();
    // 0 or less deletes the attribute.
    void SetTrackNo(int64_t v);
    std::string ArtistURL() { return GetString("WM/AuthorURL"); }
    void SetArtistURL(const std::string& v) { SetString("WM/AuthorURL", v); }
    std::string BuyURL() { return GetString("WM/AudioFileURL"); }
    void SetBuyURL(const std::string& v) { SetString("WM/AudioFileURL", v); }
    std::string Year() { return GetString("WM/Year"); }
    void SetYear(const std::string& v) { SetString("WM/Year", v); }

    // Nullptr when the file has no readable picture.
    IPictureInfoPtr GetPicture();
    void SetPicture(const IPictureInfo& picture);
    // False when the file can't be read as a picture.
    bool LoadPictureFromFile(const std::string& fileName);
};

class TWMFTagKelvar : public TWMFTag {
public:
    std::string Catalog() { return GetString("kelvarCatalog"); }
    void SetCatalog(const std::string& v) { SetString("kelvarCatalog", v); }
    std::string FeeAgency() { return GetString("kelvarFeeAgency"); }
    void SetFeeAgency(const std::string& v) { SetString("kelvarFeeAgency", v); }
    std::string PLine() { return GetString("kelvarPLine"); }
    void SetPLine(const std::string& v) { SetString("kelvarPLine", v); }
    // The first character; "?" when empty.
    char SongType();
    void SetSongType(char v) { SetString("kelvarSongType", std::string(1, v)); }
    std::string UPC() { return GetString("kelvarUPC"); }
    void SetUPC(const std::string& v) { SetString("kelvarUPC", v); }
    std::string XFade() { return GetString("kelvarXFade"); }
    void SetXFade(const std::string& v) { SetString("kelvarXFade", v); }
    // 0 when the text is no integer.
    int64_t Rating();
    void SetRating(int64_t v) { SetString("kelvarRating", std::to_string(v)); }
    std::string PicFile() { return GetString("kelvarPicFile"); }
    void SetPicFile(const std::string& v) { SetString("kelvarPicFile", v); }
    bool Overlay();
    void SetOverlay(bool v) { SetString("kelvarOverlay", v ? "YES" : "NO"); }
    std::string SongRights() { return GetString("kelvarSongRights"); }
    void SetSongRights(const std::string& v) { SetString("kelvarSongRights", v); }
};

}  // namespace kelvar
