#pragma once
// The ID3v2 tag at the start of an MP3 file: read in versions 2.2 to 2.4, frames by ID, written
// back as 2.3 or 2.4 (in the old tag's room when it fits, otherwise padded to PaddingSize).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/tags/ID3vFrames.h"
#include "media/tags/PictureInfo_imp.h"

namespace kelvar {

class TID3v2PictureInfo : public TPictureInfo {
public:
    // A copy of the frame's picture; an empty picture from no frame.
    explicit TID3v2PictureInfo(const TPictureFrame* frame);
};

class TID3v2Tag {
public:
    TID3v2Tag() = default;
    virtual ~TID3v2Tag() = default;

    void Clear();
    // False when the file can't be opened or holds fewer than 10 bytes. Never raises; a
    // damaged frame list ends the reading with the frames read so far.
    bool LoadFromFile(const std::string& fileName);
    // Writes the tag into FileName atomically; False (file untouched) on any failure.
    bool SaveToFile();

    // The first frame of ID: its text, its number in decimal, or empty.
    std::string GetFrameValue(const std::string& id) const;
    // Raises ETagError for a raw or private frame.
    void SetFrameValue(const std::string& id, const std::string& value);
    TBaseFrame* FindFrame(const std::string& id) const;
    // Adds a frame before the frames of its ID already present.
    TBaseFrame* AddFrame(std::unique_ptr<TBaseFrame> frame);
    const std::vector<std::unique_ptr<TBaseFrame>>& Frames() const { return FFrames; }

    IPictureInfoPtr GetPicture() const;
    void SetPicture(const IPictureInfo& picture);
    bool LoadPictureFromFile(const std::string& fileName);

    TTextDescFrame1* FindUserText(const std::string& description) const;
    std::string GetUserText(const std::string& description) const;
    void SetUserText(const std::string& description, const std::string& value);

    std::string Title() const { return GetFrameValue("TIT2"); }
    void SetTitle(const std::string& v) { SetFrameValue("TIT2", v); }
    std::string Artist() const { return GetFrameValue("TPE1"); }
    void SetArtist(const std::string& v) { SetFrameValue("TPE1", v); }
    std::string Album() const { return GetFrameValue("TALB"); }
    void SetAlbum(const std::string& v) { SetFrameValue("TALB", v); }
    std::string ISRC() const { return GetFrameValue("TSRC"); }
    void SetISRC(const std::string& v) { SetFrameValue("TSRC", v); }
    std::string Composer() const { return GetFrameValue("TCOM"); }
    void SetComposer(const std::string& v) { SetFrameValue("TCOM", v); }
    int64_t BPM() const;
    void SetBPM(int64_t v) { SetFrameValue("TBPM", std::to_string(v)); }
    std::string Genre() const { return GetFrameValue("TCON"); }
    void SetGenre(const std::string& v) { SetFrameValue("TCON", v); }
    std::string Publisher() const { return GetFrameValue("TPUB"); }
    void SetPublisher(const std::string& v) { SetFrameValue("TPUB", v); }
    std::string ArtistURL() const { return GetFrameValue("WOAR"); }
    void SetArtistURL(const std::string& v) { SetFrameValue("WOAR", v); }
    std::string BuyURL() const { return GetFrameValue("WPAY"); }
    void SetBuyURL(const std::string& v) { SetFrameValue("WPAY", v); }
    // TYER, or the first four digits of the recording date of newer tags.
    std::string Year() const;
    void SetYear(const std::string& v) { SetFrameValue("TYER", v); }
    std::string Comment() const;
    void SetComment(const std::string& v);
    std::string Lyrics() const { return GetFrameValue("USLT"); }
    void SetLyrics(const std::string& v) { SetFrameValue("USLT", v); }
    int64_t TrackNo() const;
    void SetTrackNo(int64_t v) { SetFrameValue("TRCK", std::to_string(v)); }
    std::string Mood() const { return GetFrameValue("TMOO"); }
    void SetMood(const std::string& v) { SetFrameValue("TMOO", v); }

    std::string FileName;
    bool Exists = false;
    uint8_t Version = 0;
    int64_t TagSize = 0;
    int64_t PaddingSize = 4096;
    int WriteVersion = 3;  // 3 or 4; anything else is written as the nearest of them

private:
    void ReadFrames23(const uint8_t* body, size_t length, uint8_t flags);
    void ReadFrames22(const uint8_t* body, size_t length);
    // The comment shown: the one without a description (others hold players' data), else the first.
    TBaseFrame* CommentFrame() const;

    std::vector<std::unique_ptr<TBaseFrame>> FFrames;
};

// The system's own song fields, kept as user text frames.
class TID3v2KelvarTag : public TID3v2Tag {
public:
    std::string Catalog() const { return GetUserText("Catalog"); }
    void SetCatalog(const std::string& v) { SetUserText("Catalog", v); }
    std::string FeeAgency() const { return GetUserText("FeeAgency"); }
    void SetFeeAgency(const std::string& v) { SetUserText("FeeAgency", v); }
    bool Overlay() const;
    void SetOverlay(bool v) { SetUserText("Overlay", v ? "YES" : "NO"); }
    std::string PicFile() const { return GetUserText("PicFile"); }
    void SetPicFile(const std::string& v) { SetUserText("PicFile", v); }
    std::string PLine() const { return GetUserText("PLine"); }
    void SetPLine(const std::string& v) { SetUserText("PLine", v); }
    int64_t Rating() const;
    void SetRating(int64_t v) { SetUserText("Rating", std::to_string(v)); }
    std::string SongRights() const { return GetUserText("SongRights"); }
    void SetSongRights(const std::string& v) { SetUserText("SongRights", v); }
    // The first character of the field, "?" when it is empty.
    std::string SongType() const;
    void SetSongType(const std::string& v);
    std::string UPC() const { return GetUserText("UPC"); }
    void SetUPC(const std::string& v) { SetUserText("UPC", v); }
    std::string XFade() const { return GetUserText("XFade"); }
    void SetXFade(const std::string& v) { SetUserText("XFade", v); }
};

// The first UTF-8 character of Text ("?" when empty).
std::string FirstCharacter(const std::string& text);

// A whole number, or a decimal one ("120.5", "120,5") rounded; 0 for anything else. BPM fields
// hold whole numbers, but other programs write fractions into them.
int64_t RoundedNumber(const std::string& text);

}  // namespace kelvar
