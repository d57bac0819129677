#pragma once
// The one door through which song information goes between music files and song records: one
// provider per file family, picked by the file's extension, translating between the song value
// keys and the fields of each tag format.
#include <memory>
#include <string>
#include <vector>

#include "foundation/ValueList.h"

namespace kelvar {

class ISongInfoProvider {
public:
    virtual ~ISongInfoProvider();
    // Upper-case extensions without dots, separated by commas.
    virtual const char* GetExtensions() = 0;
    virtual bool ReadInfo(const std::string& fileName, IValueList& info) = 0;
    virtual bool CanWrite(const std::string& fileName) = 0;
    virtual bool WriteInfo(const std::string& fileName, IValueList& info) = 0;
};

using ISongInfoProviderPtr = std::shared_ptr<ISongInfoProvider>;

// ID3v1 and ID3v2 tags and the MPEG audio header; writes ID3v2 only.
class TMP3InfoProvider : public ISongInfoProvider {
public:
    const char* GetExtensions() override { return "MP3,MP2,MP1"; }
    bool ReadInfo(const std::string& fileName, IValueList& info) override;
    bool CanWrite(const std::string& fileName) override;
    bool WriteInfo(const std::string& fileName, IValueList& info) override;
};

// Vorbis comments and the stream length.
class TOggInfoProvider : public ISongInfoProvider {
public:
    const char* GetExtensions() override { return "OGG"; }
    bool ReadInfo(const std::string& fileName, IValueList& info) override;
    bool CanWrite(const std::string& fileName) override;
    bool WriteInfo(const std::string& fileName, IValueList& info) override;
};

// Header attributes of Windows Media files.
class TWMAInfoProvider : public ISongInfoProvider {
public:
    const char* GetExtensions() override { return "WMA,WMF,WMV,ASF"; }
    bool ReadInfo(const std::string& fileName, IValueList& info) override;
    bool CanWrite(const std::string& fileName) override;
    bool WriteInfo(const std::string& fileName, IValueList& info) override;
};

// Only the duration of a WAV file; never writes.
class TWAVInfoProvider : public ISongInfoProvider {
public:
    const char* GetExtensions() override { return "WAV"; }
    bool ReadInfo(const std::string& fileName, IValueList& info) override;
    bool CanWrite(const std::string&) override { return false; }
    bool WriteInfo(const std::string&, IValueList&) override { return false; }
};

// Keeps the providers in registration order and asks those whose extension list holds the
// file's extension. Exceptions of a provider (a file shorter than an ID3v1 block, a tag that
// can't be saved) pass to the caller.
class TSongInfoManager {
public:
    void Register(ISongInfoProviderPtr provider);
    bool CanRead(const std::string& fileName) const;
    bool CanWrite(const std::string& fileName) const;
    // Stores FileName under "filename" first when Info has none.
    bool ReadInfo(const std::string& fileName, IValueList& info) const;
    bool WriteInfo(const std::string& fileName, IValueList& info) const;

private:
    std::vector<ISongInfoProviderPtr> FProviders;
};

// Adds the MP3, WAV and Ogg providers, which need no decoder library.
void RegisterFileProviders(TSongInfoManager& manager);

// The process's manager, created on first use with the MP3, WAV and Ogg providers, and the WMA
// provider when this build can play Windows Media.
TSongInfoManager& SongInfoManager();

// The file's extension as the providers compare it: without the dot, upper-cased, at most 100
// characters; empty without one.
std::string SongInfoExtension(const std::string& fileName);
// True when Extension is one of the comma-separated items of List.
bool ExtensionListHas(const char* list, const std::string& extension);
// A picture file name taken from a tag or a song record, reduced to a harmless name inside the
// picture folder; empty when nothing usable is left.
std::string SafePictureBaseName(const std::string& name);

}  // namespace kelvar
