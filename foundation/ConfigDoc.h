#pragma once
// The configuration document: a tree of named sections holding named text values.
// A component is handed the section of its own name and reads every value with a default.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvar {

class IConfigDoc {
public:
    virtual ~IConfigDoc() = default;

    // Marks a document that the configuration dialog applies to the running program.
    virtual bool GetLiveApply() const = 0;
    virtual void SetLiveApply(bool value) = 0;

    // The whole document as XML text, and its replacement; root object only.
    virtual std::string GetXML() const = 0;
    virtual void SetXML(const std::string& text) = 0;

    virtual void Save() = 0;   // writes the file; root object only
    virtual void Load() = 0;   // (re)reads the file, or starts an empty document
    virtual void Clear() = 0;  // removes every child of this section

    // A new object on the child section Name, created empty when missing.
    virtual std::shared_ptr<IConfigDoc> Section(const std::string& name) = 0;

    virtual void WriteString(const std::string& name, const std::string& value) = 0;
    virtual void WriteWideString(const std::string& name, const std::wstring& value) = 0;
    virtual void WriteInteger(const std::string& name, int64_t value) = 0;
    virtual void WriteFloat(const std::string& name, double value) = 0;
    virtual void WriteBool(const std::string& name, bool value) = 0;
    virtual void WriteBinary(const std::string& name, const void* buffer, size_t length) = 0;

    virtual std::string ReadString(const std::string& name, const std::string& def) const = 0;
    virtual std::wstring ReadWideString(const std::string& name, const std::wstring& def) const = 0;
    virtual int64_t ReadInteger(const std::string& name, int64_t def) const = 0;
    virtual double ReadFloat(const std::string& name, double def) const = 0;
    virtual bool ReadBool(const std::string& name, bool def) const = 0;
    // Stores at most maxLength bytes into buffer; answers how many were stored.
    virtual size_t ReadBinary(const std::string& name, void* buffer, size_t maxLength) const = 0;
};

using IConfigDocPtr = std::shared_ptr<IConfigDoc>;

// A list of text lines as "LineCount" and "Line0", "Line1", ...
void SaveStringsToConfig(IConfigDoc& doc, const std::vector<std::string>& lines);
void LoadStringsFromConfig(const IConfigDoc& doc, std::vector<std::string>& lines);

}  // namespace kelvar
