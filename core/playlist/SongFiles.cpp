#include "core/playlist/SongFiles.h"

#include "media/SongInfoProvider_imp.h"
#include "media/tags/PictureInfo_imp.h"

namespace kelvar {

bool CanReadSongTags(const std::string& FileName) { return SongInfoManager().CanRead(FileName); }

bool CanWriteSongTags(const std::string& FileName) { return SongInfoManager().CanWrite(FileName); }

bool ReadSongTags(const std::string& FileName, IValueList& Info) { return SongInfoManager().ReadInfo(FileName, Info); }

bool WriteSongTags(const std::string& FileName, IValueList& Info) {
    return SongInfoManager().WriteInfo(FileName, Info);
}

std::string SongPictureFileName(int64_t ID, const std::string& Artist, const std::string& Album,
                                const std::string& Ext) {
    return MakePictureFileName(ID, Artist, Album, Ext);
}

}  // namespace kelvar
