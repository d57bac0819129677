#pragma once
// The song record: the one value that travels with a song from the database or the tags to the
// decks and the windows.
#include <memory>
#include <string>

#include "foundation/ValueList.h"

namespace kelvar {

class ISongInfo : public IValueListEx {
public:
    virtual int GetID() const = 0;  // -1 when missing or not a number
    virtual std::string GetFilename() const = 0;
    virtual std::string GetArtist() const = 0;
    virtual std::string GetTitle() const = 0;
    virtual std::string GetAlbum() const = 0;
    virtual int GetDuration() const = 0;  // ms; 0 when missing or not a number
    virtual std::string GetDisplayName() const = 0;
    virtual void SetID(int value) = 0;
    virtual void SetFilename(const std::string& value) = 0;
    virtual void SetArtist(const std::string& value) = 0;
    virtual void SetTitle(const std::string& value) = 0;
    virtual void SetAlbum(const std::string& value) = 0;
    virtual void SetDuration(int value) = 0;
};

using ISongInfoPtr = std::shared_ptr<ISongInfo>;

}  // namespace kelvar
