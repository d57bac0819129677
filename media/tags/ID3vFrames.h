#pragma once
// The frames of an ID3v2 tag: each reads its payload and writes itself back. Frames the song
// information doesn't need are kept as raw bytes and written back unchanged.
#include <cstdint>
#include <memory>
#include <string>

#include "media/tags/ID3v2Types.h"
#include "media/tags/PictureInfo_imp.h"

namespace kelvar {

class TBaseFrame {
public:
    explicit TBaseFrame(const std::string& id) : ID(id) {}
    virtual ~TBaseFrame() = default;

    std::string ID;       // four characters
    uint8_t Version = 3;  // the major version read with, and written with

    virtual void Init() {}
    // Appends the frame (header and payload) to Stream; answers the bytes written.
    virtual int WriteTo(TBytes& stream) = 0;
    // Data may be null for a new, empty frame.
    virtual void ReadFrom(uint16_t flags, const uint8_t* data, size_t length) = 0;

protected:
    int WriteFrame(TBytes& stream, uint16_t flags, const TBytes& payload) const;
};

class TStringFrame : public TBaseFrame {
public:
    using TBaseFrame::TBaseFrame;
    std::string Text;
    int WriteTo(TBytes& stream) override;
    void ReadFrom(uint16_t flags, const uint8_t* data, size_t length) override;
};

class TfrmGenre : public TStringFrame {
public:
    using TStringFrame::TStringFrame;
    void ReadFrom(uint16_t flags, const uint8_t* data, size_t length) override;
};

class TNumberFrame : public TStringFrame {
public:
    using TStringFrame::TStringFrame;
    // The number in Text; 0 when it holds none.
    virtual int64_t Value() const;
    void SetValue(int64_t value) { Text = std::to_string(value); }
};

// "3/12" counts as track 3.
class TfrmTrack : public TNumberFrame {
public:
    using TNumberFrame::TNumberFrame;
    int64_t Value() const override;
};

// "2004-05-01" counts as 2004.
class TfrmYear : public TNumberFrame {
public:
    using TNumberFrame::TNumberFrame;
    int64_t Value() const override;
};

class TDataFrame : public TBaseFrame {
public:
    using TBaseFrame::TBaseFrame;
    TBytes Data;
    uint16_t Flags = 0;
    uint8_t FlagsVersion = 0;  // the version Flags were read under
    int WriteTo(TBytes& stream) override;
    void ReadFrom(uint16_t flags, const uint8_t* data, size_t length) override;
    // Flags that change the payload's layout (compression, encryption, grouping); such a frame
    // can only be written back in the version it was read under.
    bool HasFormatFlags() const;
};

class TTextDescFrame1 : public TBaseFrame {
public:
    using TBaseFrame::TBaseFrame;
    bool HasLanguage = true;
    std::string Language = "eng";
    std::string Text;
    std::string Description;
    void Init() override { HasLanguage = true; }
    int WriteTo(TBytes& stream) override;
    void ReadFrom(uint16_t flags, const uint8_t* data, size_t length) override;
};

class TfrmComment : public TTextDescFrame1 {
public:
    using TTextDescFrame1::TTextDescFrame1;
};

class TfrmLyrics : public TTextDescFrame1 {
public:
    using TTextDescFrame1::TTextDescFrame1;
};

// User texts and links: a description but no language.
class TTextDescFrame2 : public TTextDescFrame1 {
public:
    using TTextDescFrame1::TTextDescFrame1;
    void Init() override { HasLanguage = false; }
};

class TPrivateFrame : public TBaseFrame {
public:
    using TBaseFrame::TBaseFrame;
    std::string Owner;
    std::string Data;  // bytes
    int WriteTo(TBytes& stream) override;
    void ReadFrom(uint16_t flags, const uint8_t* data, size_t length) override;
};

class TPictureFrame : public TBaseFrame {
public:
    using TBaseFrame::TBaseFrame;
    std::string MimeType;
    uint8_t PictureType = 3;
    std::string Description;
    TBytes Picture;
    void Init() override { PictureType = 3; }
    int WriteTo(TBytes& stream) override;
    void ReadFrom(uint16_t flags, const uint8_t* data, size_t length) override;
    void Assign(const IPictureInfo& picture);
};

// A new frame of the class registered for ID (upper-cased), initialised.
std::unique_ptr<TBaseFrame> CreateFrame(const std::string& id);

}  // namespace kelvar
