#include "media/tags/MetaDataConfig_imp.h"

#include <mutex>

#include "foundation/MiscFunc.h"

namespace kelvar {

std::atomic<int> ID3v2WriteVersion{3};

namespace {

std::mutex gPictureDirLock;
std::string gPictureDir;

}  // namespace

std::string PictureDir() {
    std::lock_guard<std::mutex> lock(gPictureDirLock);
    // Before any configuration exists (tools, tests) the default folder applies, never "/".
    return gPictureDir.empty() ? ProgramFolder() + "pictures/" : gPictureDir;
}

void SetPictureDir(const std::string& value) {
    std::lock_guard<std::mutex> lock(gPictureDirLock);
    gPictureDir = value;
}

TMetaDataConfig::TMetaDataConfig() {
    SetLocalPictureDir(ProgramFolder() + "pictures/");
    SetWebPictureDir("");
}

void TMetaDataConfig::LoadConfig(const IConfigDoc& config) {
    SetLocalPictureDir(config.ReadString("LocalPictureDir", FLocalPictureDir));
    SetWebPictureDir(config.ReadString("WebPictureDir", FWebPictureDir));
    FImageSize = static_cast<uint8_t>(config.ReadInteger("ImageSize", FImageSize));
    FAmazonTag = config.ReadString("AmazonTag", FAmazonTag);
    SetDefID3TagVer(static_cast<int32_t>(config.ReadInteger("DefID3TagVer", FDefID3TagVer)));
}

void TMetaDataConfig::SaveConfig(IConfigDoc& config) const {
    config.WriteString("LocalPictureDir", FLocalPictureDir);
    config.WriteString("WebPictureDir", FWebPictureDir);
    config.WriteInteger("ImageSize", FImageSize);
    config.WriteString("AmazonTag", FAmazonTag);
    config.WriteInteger("DefID3TagVer", FDefID3TagVer);
}

void TMetaDataConfig::SetLocalPictureDir(const std::string& value) {
    // An empty folder would put pictures into the file system's root.
    FLocalPictureDir = value.empty() ? ProgramFolder() + "pictures/" : value;
    if (FLocalPictureDir.empty() || FLocalPictureDir.back() != '/') FLocalPictureDir += '/';
    SetPictureDir(FLocalPictureDir);
}

void TMetaDataConfig::SetWebPictureDir(const std::string& value) {
    FWebPictureDir = value;
    if (!FWebPictureDir.empty() && FWebPictureDir.back() != '/') FWebPictureDir += '/';
}

void TMetaDataConfig::SetDefID3TagVer(int32_t value) {
    // Only versions 2.3 and 2.4 are written; anything else would make a tag no reader sees.
    FDefID3TagVer = (value == 3) ? 3 : 4;
    ID3v2WriteVersion = FDefID3TagVer;
}

}  // namespace kelvar
