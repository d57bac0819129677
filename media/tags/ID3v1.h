#pragma once
// The ID3v1 (1.0 and 1.1) tag in the last 128 bytes of an MP3 file; read only.
#include <cstdint>
#include <string>

namespace kelvar {

class TID3v1 {
public:
    TID3v1() { Reset(); }
    void Reset();
    // True when the last 128 bytes could be read, tag or not. Raises EFileError when the file
    // can't be opened or is shorter than 128 bytes.
    bool ReadFromFile(const std::string& fileName);
    // Reads the tag from the file's last 128 bytes (Block).
    void ReadFromBlock(const uint8_t* block);

    bool Exists() const { return FExists; }
    uint8_t VersionID() const { return FVersionID; }  // 1: 1.0, 2: 1.1
    const std::string& Title() const { return FTitle; }
    const std::string& Artist() const { return FArtist; }
    const std::string& Album() const { return FAlbum; }
    const std::string& Year() const { return FYear; }
    const std::string& Comment() const { return FComment; }
    uint8_t Track() const { return FTrack; }
    uint8_t GenreID() const { return FGenreID; }
    std::string Genre() const;

private:
    bool FExists = false;
    uint8_t FVersionID = 1;
    std::string FTitle, FArtist, FAlbum, FYear, FComment;
    uint8_t FTrack = 0;
    uint8_t FGenreID = 255;
};

constexpr int kGenreCount = 148;
// The name of genre ID, empty from 148 on.
std::string GenreName(int id);

}  // namespace kelvar
