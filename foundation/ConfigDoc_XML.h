#pragma once
// The configuration document over an XML DOM: root element "CONFIG", one element per section and
// per value, every value stored as text.
#include <memory>
#include <string>

#include "foundation/ConfigDoc.h"

namespace pugi {
struct xml_node_struct;
}  // namespace pugi

namespace kelvar {

// The XML document a root object and its sections share (defined with the implementation).
struct TConfigDocState;

class TConfigDoc_XML : public IConfigDoc {
public:
    // A root object over fileName, loaded at once; an empty name gives an in-memory document.
    // A malformed file raises EConfigError.
    static std::shared_ptr<TConfigDoc_XML> Create(const std::string& fileName);
    // A section object over an element of document; it keeps the document, and its element
    // even when that is later removed from the document, alive.
    static std::shared_ptr<TConfigDoc_XML> CreateSection(std::shared_ptr<TConfigDocState> document,
                                                         pugi::xml_node_struct* element);
    ~TConfigDoc_XML() override;
    TConfigDoc_XML(const TConfigDoc_XML&) = delete;
    TConfigDoc_XML& operator=(const TConfigDoc_XML&) = delete;

    bool GetLiveApply() const override;
    void SetLiveApply(bool value) override;

    std::string GetXML() const override;
    void SetXML(const std::string& text) override;

    // Writes the file whole or not at all: a temporary file beside it, synced, then renamed over
    // it (keeping its mode). A failure leaves the old file intact and raises EFileError.
    void Save() override;
    void Load() override;
    void Clear() override;

    std::shared_ptr<IConfigDoc> Section(const std::string& name) override;

    void WriteString(const std::string& name, const std::string& value) override;
    void WriteWideString(const std::string& name, const std::wstring& value) override;
    void WriteInteger(const std::string& name, int64_t value) override;
    void WriteFloat(const std::string& name, double value) override;
    void WriteBool(const std::string& name, bool value) override;
    void WriteBinary(const std::string& name, const void* buffer, size_t length) override;

    std::string ReadString(const std::string& name, const std::string& def) const override;
    std::wstring ReadWideString(const std::string& name, const std::wstring& def) const override;
    int64_t ReadInteger(const std::string& name, int64_t def) const override;
    double ReadFloat(const std::string& name, double def) const override;
    bool ReadBool(const std::string& name, bool def) const override;
    size_t ReadBinary(const std::string& name, void* buffer, size_t maxLength) const override;

    const std::string& FileName() const { return FFileName; }

    // Element names: a name XML does not allow is written with _xHH_ escapes of its offending
    // bytes (and of the "_" of a literal "_x"), so any name reads back unchanged.
    static std::string EncodeName(const std::string& name);
    static std::string DecodeName(const std::string& encoded);

private:
    TConfigDoc_XML() = default;

    bool IsSection() const { return !FIsRoot; }
    // The value's text, or false when the element is missing; empty when it holds no text.
    bool FindValue(const std::string& name, std::string& text) const;
    // Ends this section object's hold on its element.
    void ReleaseElement();

    bool FLiveApply = false;
    bool FIsRoot = false;
    std::string FFileName;
    bool FHoldsElement = false;                  // a section object, counted in its document's holds
    std::shared_ptr<TConfigDocState> FDocument;  // shared by a root and its sections
    pugi::xml_node_struct* FElement = nullptr;
};

}  // namespace kelvar
