#pragma once
// What the song information providers share: the values every tag format gives in the song
// record's terms, and how they go into and out of a record.
#include <cstdint>
#include <functional>
#include <string>

#include "foundation/ValueList.h"
#include "media/tags/PictureInfo_imp.h"

namespace kelvar::songinfo {

bool FileExists(const std::string& fileName);
// Empty or non-numeric texts count as 0: most songs carry no BPM or rating at all.
int64_t LenientInt(const std::string& text);
// A BPM may be fractional (measured, or read from a Vorbis comment): "120.5" and "120,5" are
// numbers too, not a reason to write 0 over the value the file held.
double LenientBPM(const std::string& text);
// Where the format holds whole numbers only.
int64_t LenientWholeBPM(const std::string& text);
bool WritableSong(const std::string& fileName);

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

void StoreArtistTitle(IValueList& info, std::string artist, std::string title);
void StoreTagValues(IValueList& info, const TTagValues& tag);
// The record's "picture" as a file in the picture folder, when there is one.
std::string PictureToWrite(const IValueList& info, std::string& baseName);
bool OverlayValue(const IValueList& info);

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

}  // namespace kelvar::songinfo
