#include "media/tags/ID3v1.h"

#include <fstream>

#include "foundation/Errors.h"
#include "media/tags/OggTagUtils.h"

namespace kelvar {

namespace {

const char* const kGenres[kGenreCount] = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk-Rock",
    "National Folk",
    "Swing",
    "Fast Fusion",
    "Bebob",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progessive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A capella",
    "Euro-House",
    "Dance Hall",
    "Goa",
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror",
    "Indie",
    "BritPop",
    "Negerpunk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal",
    "Black Metal",
    "Crossover",
    "Contemporary Christian",
    "Christian Rock",
    "Merengue",
    "Salsa",
    "Trash Metal",
    "Anime",
    "JPop",
    "Synthpop",
};

// The field's bytes without trailing blanks, control characters and zeros, as UTF-8.
std::string Field(const uint8_t* p, size_t length) {
    while (length > 0 && p[length - 1] <= 0x20) --length;
    return AnsiToUtf8(std::string(reinterpret_cast<const char*>(p), length));
}

}  // namespace

std::string GenreName(int id) { return id >= 0 && id < kGenreCount ? kGenres[id] : std::string(); }

void TID3v1::Reset() {
    FExists = false;
    FVersionID = 1;
    FTitle.clear();
    FArtist.clear();
    FAlbum.clear();
    FYear.clear();
    FComment.clear();
    FTrack = 0;
    FGenreID = 255;
}

bool TID3v1::ReadFromFile(const std::string& fileName) {
    Reset();
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EFileError("Cannot open file " + fileName);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    uint8_t block[128];
    if (size < 128 || !in.seekg(size - 128) || !in.read(reinterpret_cast<char*>(block), 128))
        throw EFileError("Cannot read the last 128 bytes of " + fileName);
    ReadFromBlock(block);
    return true;
}

void TID3v1::ReadFromBlock(const uint8_t* b) {
    Reset();
    if (b[0] != 'T' || b[1] != 'A' || b[2] != 'G') return;
    FExists = true;
    FVersionID = ((b[125] == 0 && b[126] != 0) || (b[125] == ' ' && b[126] != ' ')) ? 2 : 1;
    FTitle = Field(b + 3, 30);
    FArtist = Field(b + 33, 30);
    FAlbum = Field(b + 63, 30);
    FYear = Field(b + 93, 4);
    if (FVersionID == 1) {
        FComment = Field(b + 97, 30);
    } else {
        FComment = Field(b + 97, 28);
        FTrack = b[126];
    }
    FGenreID = b[127];
}

std::string TID3v1::Genre() const { return GenreName(FGenreID); }

}  // namespace kelvar
