#pragma once
// The cover picture of a music file as one object, whatever tag it came from, and the rule by
// which pictures stored in the picture folder are named.
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kelvar {

class IPictureInfo {
public:
    virtual ~IPictureInfo() = default;
    virtual const uint8_t* GetData() const = 0;  // nullptr when empty
    virtual uint32_t GetSize() const = 0;
    virtual std::string GetDescription() const = 0;
    virtual std::string GetMimeType() const = 0;
    virtual uint8_t GetPictureType() const = 0;
    virtual void SetDescription(const std::string& value) = 0;
    virtual void SetMimeType(const std::string& value) = 0;
    virtual void SetPictureType(uint8_t value) = 0;
    virtual bool SaveToStream(std::ostream& stream) const = 0;
    // False for an empty picture (no file is made); raises EFileError when it can't write.
    virtual bool SaveToFile(const std::string& fileName) const = 0;
    // ".jpg", ".png", ".gif", "." and a cleaned-up MIME subtype, or ".na".
    virtual std::string GetFileExt() const = 0;
};

using IPictureInfoPtr = std::shared_ptr<IPictureInfo>;

class TPictureInfo : public IPictureInfo {
public:
    TPictureInfo() = default;
    // The whole file as a picture; raises EFileError when it can't be read.
    explicit TPictureInfo(const std::string& fileName);

    const uint8_t* GetData() const override { return FData.empty() ? nullptr : FData.data(); }
    uint32_t GetSize() const override { return static_cast<uint32_t>(FData.size()); }
    std::string GetDescription() const override { return FDescription; }
    std::string GetMimeType() const override { return FMimeType; }
    uint8_t GetPictureType() const override { return FPictureType; }
    void SetDescription(const std::string& value) override { FDescription = value; }
    void SetMimeType(const std::string& value) override { FMimeType = value; }
    void SetPictureType(uint8_t value) override { FPictureType = value; }
    bool SaveToStream(std::ostream& stream) const override;
    bool SaveToFile(const std::string& fileName) const override;
    std::string GetFileExt() const override;

protected:
    std::vector<uint8_t> FData;
    std::string FMimeType;
    uint8_t FPictureType = 3;  // front cover
    std::string FDescription;
};

// Keeps space & ' ( ) , - . digits letters [ ] _ and drops every other character.
std::string SafeFileNamePart(const std::string& text);

// PictureDir/az_<ID or B<month><day><counter>>_<album>_<artist><ext>
std::string MakePictureFileName(int64_t id, const std::string& artist, const std::string& album,
                                const std::string& ext);

// Numbers the pictures of songs without a database ID; never reset.
int NextPictureCounter();

}  // namespace kelvar
