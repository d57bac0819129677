#pragma once
// Settings about song metadata outside the tags: the folder for extracted cover pictures,
// the web folder they are published under, the album lookup's picture size and associate
// tag, and the ID3v2 version the MP3 tag writer produces.
#include <atomic>
#include <cstdint>
#include <string>

#include "foundation/ConfigDoc.h"

namespace kelvar {

// The picture folder the tag providers and MakePictureFileName use; always ends in "/".
// A copy of the metadata configuration's LocalPictureDir (the program folder's "pictures/"
// before one exists). Safe from any thread.
std::string PictureDir();
void SetPictureDir(const std::string& value);

// The ID3v2 major version the MP3 tag writer produces: 3 until the configuration sets it.
extern std::atomic<int> ID3v2WriteVersion;

class TMetaDataConfig {
public:
    TMetaDataConfig();

    // Reads the "MetaData" section; each key keeps the current value when missing.
    void LoadConfig(const IConfigDoc& config);
    void SaveConfig(IConfigDoc& config) const;

    const std::string& LocalPictureDir() const { return FLocalPictureDir; }
    void SetLocalPictureDir(const std::string& value);
    const std::string& WebPictureDir() const { return FWebPictureDir; }
    void SetWebPictureDir(const std::string& value);
    uint8_t ImageSize() const { return FImageSize; }
    void SetImageSize(uint8_t value) { FImageSize = value; }
    const std::string& AmazonTag() const { return FAmazonTag; }
    void SetAmazonTag(const std::string& value) { FAmazonTag = value; }
    int32_t DefID3TagVer() const { return FDefID3TagVer; }
    void SetDefID3TagVer(int32_t value);

private:
    std::string FLocalPictureDir;
    std::string FWebPictureDir;
    uint8_t FImageSize = 1;
    std::string FAmazonTag = "Quelt";
    int32_t FDefID3TagVer = 3;
};

}  // namespace kelvar
