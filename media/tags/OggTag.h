#pragma once
// Vorbis comments of an Ogg Vorbis file as name=value lines, the standard comments the song
// information uses, the system's own comments and a cover picture kept as text.
#include <cstdint>
#include <string>
#include <vector>

#include "media/tags/PictureInfo_imp.h"
#include "media/tags/VCEdit.h"

namespace kelvar {

// A picture from a "RAWPICTURE" comment value; raises ETagError when its size doesn't match.
class TOggPictureInfo : public TPictureInfo {
public:
    explicit TOggPictureInfo(const std::string& rawPicture);
};

// "MIMETYPE=..|DESCRIPTION=..|PICTYPE=..|DATASIZE=..|PICTURE=<hex>|"
std::string MakeRawPicture(const IPictureInfo& picture);

class TOggTag {
public:
    TOggTag() = default;
    virtual ~TOggTag() = default;

    bool LoadFromFile(const std::string& fileName);
    // Writes the comments into FileName atomically; False (file untouched) on any failure.
    bool SaveToFile();
    virtual void Clear();

    std::string GetValue(const std::string& name) const;
    void SetValue(const std::string& name, const std::string& value);

    std::string FileName;
    std::vector<std::string> Lines;  // name=value, in file order
    int32_t Duration = -2;           // milliseconds; -2 until measured, negative on errors
    std::string LastError;           // why the last load or save failed

protected:
    virtual bool WriteComments(TVCEditState& state, const TVCEditState::TWriteFunc& output);
};

class TOggTagEx : public TOggTag {
public:
    std::string Album() const { return GetValue("ALBUM"); }
    void SetAlbum(const std::string& v) { SetValue("ALBUM", v); }
    std::string Artist() const { return GetValue("ARTIST"); }
    void SetArtist(const std::string& v) { SetValue("ARTIST", v); }
    double BPM() const;
    void SetBPM(double v);
    std::string Comment() const { return GetValue("DESCRIPTION"); }
    void SetComment(const std::string& v) { SetValue("DESCRIPTION", v); }
    std::string Composer() const { return GetValue("COMPOSER"); }
    void SetComposer(const std::string& v) { SetValue("COMPOSER", v); }
    std::string Genre() const { return GetValue("GENRE"); }
    void SetGenre(const std::string& v) { SetValue("GENRE", v); }
    std::string ISRC() const { return GetValue("ISRC"); }
    void SetISRC(const std::string& v) { SetValue("ISRC", v); }
    std::string Lyrics() const { return GetValue("LYRICS"); }
    void SetLyrics(const std::string& v) { SetValue("LYRICS", v); }
    std::string Mood() const { return GetValue("MOOD"); }
    void SetMood(const std::string& v) { SetValue("MOOD", v); }
    std::string Publisher() const { return GetValue("PUBLISHER"); }
    void SetPublisher(const std::string& v) { SetValue("PUBLISHER", v); }
    std::string Title() const { return GetValue("TITLE"); }
    void SetTitle(const std::string& v) { SetValue("TITLE", v); }
    int64_t TrackNo() const;
    void SetTrackNo(int64_t v) { SetValue("TRACKNUMBER", std::to_string(v)); }
    std::string ArtistURL() const { return GetValue("URL_ARTIST"); }
    void SetArtistURL(const std::string& v) { SetValue("URL_ARTIST", v); }
    std::string BuyURL() const { return GetValue("URL_BUYCD"); }
    void SetBuyURL(const std::string& v) { SetValue("URL_BUYCD", v); }
    std::string Year() const;
    void SetYear(const std::string& v) { SetValue("DATE", v); }
};

class TOggKelvarTag : public TOggTagEx {
public:
    void Clear() override;

    std::string Catalog() const { return GetValue("CATALOG"); }
    void SetCatalog(const std::string& v) { SetValue("CATALOG", v); }
    std::string FeeAgency() const { return GetValue("FEEAGENCY"); }
    void SetFeeAgency(const std::string& v) { SetValue("FEEAGENCY", v); }
    bool Overlay() const;
    void SetOverlay(bool v) { SetValue("OVERLAY", v ? "YES" : "NO"); }
    std::string PicFile() const { return GetValue("PICFILE"); }
    void SetPicFile(const std::string& v) { SetValue("PICFILE", v); }
    std::string PLine() const { return GetValue("PLINE"); }
    void SetPLine(const std::string& v) { SetValue("PLINE", v); }
    int64_t Rating() const;
    void SetRating(int64_t v) { SetValue("RATING", std::to_string(v)); }
    std::string SongRights() const { return GetValue("SongRights"); }
    void SetSongRights(const std::string& v) { SetValue("SongRights", v); }
    std::string SongType() const;
    void SetSongType(const std::string& v);
    std::string UPC() const { return GetValue("UPC"); }
    void SetUPC(const std::string& v) { SetValue("UPC", v); }
    std::string XFade() const { return GetValue("XFade"); }
    void SetXFade(const std::string& v) { SetValue("XFade", v); }

    // The held picture, built from "RAWPICTURE" on first call; none when there is none or it
    // is damaged.
    IPictureInfoPtr GetPicture();
    // Held and written by the next save; none removes the picture.
    void SetPicture(IPictureInfoPtr picture);

protected:
    bool WriteComments(TVCEditState& state, const TVCEditState::TWriteFunc& output) override;

private:
    IPictureInfoPtr FPicture;
};

}  // namespace kelvar
