#pragma once
// What the song information editor does with a song's file: reading and writing its tags through
// the song information manager, and naming the file of its cover picture.
#include <cstdint>
#include <string>

#include "foundation/ValueList.h"

namespace kelvar {

// A registered provider can read (write) the tags of this kind of file.
bool CanReadSongTags(const std::string& FileName);
bool CanWriteSongTags(const std::string& FileName);
// The file's tags into (out of) Info; false when no provider took the file. A provider's
// exception passes to the caller.
bool ReadSongTags(const std::string& FileName, IValueList& Info);
bool WriteSongTags(const std::string& FileName, IValueList& Info);

// The cover picture's path in the picture folder for a song (Ext with its dot).
std::string SongPictureFileName(int64_t ID, const std::string& Artist, const std::string& Album,
                                const std::string& Ext);

}  // namespace kelvar
