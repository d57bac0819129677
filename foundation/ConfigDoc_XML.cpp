#include "foundation/ConfigDoc_XML.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <pugixml.hpp>
#include <sstream>
#include <unordered_map>

#include "foundation/Errors.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "foundation/Version.h"

namespace fs = std::filesystem;

namespace kelvar {

struct TConfigDocState {
    pugi::xml_document Doc;
    // The elements that section objects stand on, with the number of objects on each.
    std::unordered_map<pugi::xml_node_struct*, int> Held;
    // Removed subtrees that hold such an element are moved here, beside the root element, and
    // left out of the document's text; the XML library would otherwise free them under the
    // section objects.
    pugi::xml_node_struct* Removed = nullptr;
};

namespace {

const char* const kRootName = "CONFIG";
const char* const kSubSectionSave = "Can not save a sub-section. You need to save the complete configuration file.";
const char* const kSubSectionXML =
    "Can not work with the raw text within a sub-section. You need to work with the root configuration file.";
const char* const kBinaryLength = "ConfigDoc: Binary string invalid length";
const char* const kBinaryChar = "ConfigDoc: Invalid character in binary string";

// Whitespace-only text that is an element's only child is a value (" " must read back as " ");
// line ends are kept as written so a "\r" in a value survives.
constexpr unsigned kParseOptions = (pugi::parse_default | pugi::parse_ws_pcdata_single) & ~pugi::parse_eol;

std::shared_ptr<TConfigDocState> NewEmptyDocument() {
    auto doc = std::make_shared<TConfigDocState>();
    doc->Doc.append_child(kRootName);
    return doc;
}

// Takes node out of its parent. A subtree that holds an element a section object stands on is
// moved aside instead of freed.
void RemoveNode(TConfigDocState& state, pugi::xml_node node) {
    if (node.type() == pugi::node_element) {
        for (const auto& held : state.Held) {
            for (pugi::xml_node n(held.first); n; n = n.parent()) {
                if (n != node) continue;
                if (!state.Removed) state.Removed = state.Doc.append_child("removed").internal_object();
                pugi::xml_node(state.Removed).append_move(node);
                return;
            }
        }
    }
    node.parent().remove_child(node);
}

void RemoveChildren(TConfigDocState& state, pugi::xml_node element) {
    while (pugi::xml_node child = element.first_child()) RemoveNode(state, child);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Code points that XML 1.0 allows to start a name, and the further ones allowed inside it.
bool IsNameStartCodePoint(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameCodePoint(char32_t c) {
    return IsNameStartCodePoint(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// Reads one UTF-8 sequence at text[i]; answers its length, 0 when it is not valid UTF-8.
size_t DecodeUtf8(const std::string& text, size_t i, char32_t& cp) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = 0;
    char32_t min = 0;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else
        return 0;
    if (i + len > text.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const unsigned char cc = static_cast<unsigned char>(text[i + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void AppendEscape(std::string& out, unsigned char b) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "_x";
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0x0F]);
    out.push_back('_');
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The concatenated text children of an element.
std::string ElementText(const pugi::xml_node& node) {
    std::string text;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    return text;
}

// Writes all of data to fd, or answers false with errno set.
bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

[[noreturn]] void RaiseFileError(const std::string& what, const std::string& file, int err) {
    throw EFileError(what + " \"" + file + "\": " + ErrnoText(err));
}

// Writes data over target whole or not at all: a temporary file in the same folder, synced,
// given the old file's mode, then renamed over the target.
void WriteFileAtomically(const std::string& fileName, const std::string& data) {
    std::error_code ec;
    fs::path target(fileName);
    // Replace what a symbolic link points to, not the link itself.
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    static std::atomic<unsigned> counter{0};
    std::string tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = (folder / ("." + target.filename().string() + ".tmp" + std::to_string(::getpid()) + "_" +
                              std::to_string(counter++)))
                       .string();
        // 0666 lets the umask decide the mode of a new file, as for any file the program creates.
        fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) RaiseFileError("Cannot create file", target.string(), errno);

    auto fail = [&](const char* what) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        ::unlink(tempName.c_str());
        RaiseFileError(what, target.string(), err);
    };
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && ::fchmod(fd, st.st_mode & 07777) != 0) fail("Cannot set the mode of");
    if (!WriteAll(fd, data)) fail("Cannot write file");
    if (::fsync(fd) != 0) fail("Cannot write file");
    const int closeResult = ::close(fd);
    fd = -1;
    if (closeResult != 0) fail("Cannot write file");
    if (::rename(tempName.c_str(), target.c_str()) != 0) fail("Cannot replace file");
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

}  // namespace

std::shared_ptr<TConfigDoc_XML> TConfigDoc_XML::Create(const std::string& fileName) {
    std::shared_ptr<TConfigDoc_XML> doc(new TConfigDoc_XML());
    doc->FIsRoot = true;
    doc->FFileName = fileName;
    doc->Load();
    return doc;
}

std::shared_ptr<TConfigDoc_XML> TConfigDoc_XML::CreateSection(std::shared_ptr<TConfigDocState> document,
                                                              pugi::xml_node_struct* element) {
    std::shared_ptr<TConfigDoc_XML> doc(new TConfigDoc_XML());
    doc->FDocument = std::move(document);
    doc->FElement = element;
    ++doc->FDocument->Held[element];
    doc->FHoldsElement = true;
    return doc;
}

TConfigDoc_XML::~TConfigDoc_XML() { ReleaseElement(); }

void TConfigDoc_XML::ReleaseElement() {
    if (!FHoldsElement) return;
    FHoldsElement = false;
    const auto it = FDocument->Held.find(FElement);
    if (it != FDocument->Held.end() && --it->second <= 0) FDocument->Held.erase(it);
}

std::string TConfigDoc_XML::EncodeName(const std::string& name) {
    if (name.empty()) throw EConfigError("ConfigDoc: Empty name");
    std::string out;
    out.reserve(name.size());
    size_t i = 0;
    while (i < name.size()) {
        if (name[i] == '_' && i + 1 < name.size() && name[i + 1] == 'x') {
            AppendEscape(out, '_');  // a literal "_x" must not read as an escape
            ++i;
            continue;
        }
        char32_t cp = 0;
        const size_t len = DecodeUtf8(name, i, cp);
        if (len == 0) {
            AppendEscape(out, static_cast<unsigned char>(name[i]));
            ++i;
            continue;
        }
        const bool allowed = i == 0 ? IsNameStartCodePoint(cp) : IsNameCodePoint(cp);
        for (size_t k = 0; k < len; ++k) {
            if (allowed)
                out.push_back(name[i + k]);
            else
                AppendEscape(out, static_cast<unsigned char>(name[i + k]));
        }
        i += len;
    }
    return out;
}

std::string TConfigDoc_XML::DecodeName(const std::string& encoded) {
    std::string out;
    out.reserve(encoded.size());
    size_t i = 0;
    while (i < encoded.size()) {
        if (encoded[i] == '_' && i + 4 < encoded.size() && encoded[i + 1] == 'x' && encoded[i + 4] == '_') {
            const int hi = HexDigit(encoded[i + 2]);
            const int lo = HexDigit(encoded[i + 3]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 5;
                continue;
            }
        }
        out.push_back(encoded[i++]);
    }
    return out;
}

bool TConfigDoc_XML::GetLiveApply() const { return FLiveApply; }
void TConfigDoc_XML::SetLiveApply(bool value) { FLiveApply = value; }

std::string TConfigDoc_XML::GetXML() const {
    if (IsSection()) throw EConfigError(kSubSectionXML);
    // What the library's save writes, less the subtrees moved aside.
    std::ostringstream out;
    pugi::xml_writer_stream writer(out);
    const pugi::xml_node removed(FDocument->Removed);
    bool declared = false;
    for (const pugi::xml_node child : FDocument->Doc.children())
        if (child.type() == pugi::node_declaration) declared = true;
    if (!declared) out << "<?xml version=\"1.0\"?>\n";
    for (const pugi::xml_node child : FDocument->Doc.children())
        if (child != removed) child.print(writer, "  ", pugi::format_default, pugi::encoding_utf8);
    return out.str();
}

void TConfigDoc_XML::SetXML(const std::string& text) {
    if (IsSection()) throw EConfigError(kSubSectionXML);
    auto doc = std::make_shared<TConfigDocState>();
    const pugi::xml_parse_result result = doc->Doc.load_buffer(text.data(), text.size(), kParseOptions);
    if (!result) {
        throw EConfigError(std::string("ConfigDoc: ") + result.description() + " at offset " +
                           std::to_string(result.offset));
    }
    FDocument = std::move(doc);
    FElement = FDocument->Doc.document_element().internal_object();
}

void TConfigDoc_XML::Save() {
    if (IsSection()) throw EConfigError(kSubSectionSave);
    if (FFileName.empty()) throw EFileError("Can not save a configuration document that has no file name.");
    pugi::xml_node root = FDocument->Doc.document_element();
    auto setAttribute = [&root](const char* name, const char* value) {
        pugi::xml_attribute a = root.attribute(name);
        if (!a) a = root.append_attribute(name);
        a.set_value(value);
    };
    setAttribute("application", "Kelvar");
    setAttribute("version", KelvarVersion);
    WriteFileAtomically(FFileName, GetXML());
}

void TConfigDoc_XML::Load() {
    // On a section this makes the object a new empty root; the element it stood on is untouched.
    if (IsSection()) {
        ReleaseElement();
        FIsRoot = true;
        FFileName.clear();
    }
    std::error_code ec;
    std::shared_ptr<TConfigDocState> doc;
    if (!FFileName.empty() && fs::exists(FFileName, ec)) {
        doc = std::make_shared<TConfigDocState>();
        const pugi::xml_parse_result result = doc->Doc.load_file(FFileName.c_str(), kParseOptions);
        if (!result) {
            throw EConfigError("ConfigDoc: " + FFileName + ": " + result.description() + " at offset " +
                               std::to_string(result.offset));
        }
    } else {
        doc = NewEmptyDocument();
    }
    FDocument = std::move(doc);
    FElement = FDocument->Doc.document_element().internal_object();
}

void TConfigDoc_XML::Clear() { RemoveChildren(*FDocument, pugi::xml_node(FElement)); }

std::shared_ptr<IConfigDoc> TConfigDoc_XML::Section(const std::string& name) {
    const std::string encoded = EncodeName(name);
    pugi::xml_node element(FElement);
    pugi::xml_node child = element.child(encoded.c_str());
    if (!child) child = element.append_child(encoded.c_str());
    auto section = CreateSection(FDocument, child.internal_object());
    section->FLiveApply = FLiveApply;
    return section;
}

bool TConfigDoc_XML::FindValue(const std::string& name, std::string& text) const {
    if (name.empty()) return false;
    const pugi::xml_node child = pugi::xml_node(FElement).child(EncodeName(name).c_str());
    if (!child) return false;
    text = ElementText(child);
    return true;
}

void TConfigDoc_XML::WriteString(const std::string& name, const std::string& value) {
    const std::string encoded = EncodeName(name);
    pugi::xml_node element(FElement);
    pugi::xml_node child = element.child(encoded.c_str());
    if (!child) child = element.append_child(encoded.c_str());
    RemoveChildren(*FDocument, child);
    if (!value.empty()) child.append_child(pugi::node_pcdata).set_value(value.c_str());
}

void TConfigDoc_XML::WriteWideString(const std::string& name, const std::wstring& value) {
    WriteString(name, WideToUtf8(value));
}

void TConfigDoc_XML::WriteInteger(const std::string& name, int64_t value) { WriteString(name, std::to_string(value)); }

void TConfigDoc_XML::WriteFloat(const std::string& name, double value) {
    // Shortest text that reads back to the same double, always with ".".
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    WriteString(name, std::string(buf, result.ptr));
}

void TConfigDoc_XML::WriteBool(const std::string& name, bool value) { WriteString(name, value ? "-1" : "0"); }

void TConfigDoc_XML::WriteBinary(const std::string& name, const void* buffer, size_t length) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::string text;
    text.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        text.push_back(kHex[bytes[i] >> 4]);
        text.push_back(kHex[bytes[i] & 0x0F]);
    }
    WriteString(name, text);
}

std::string TConfigDoc_XML::ReadString(const std::string& name, const std::string& def) const {
    std::string text;
    return FindValue(name, text) ? text : def;
}

std::wstring TConfigDoc_XML::ReadWideString(const std::string& name, const std::wstring& def) const {
    std::string text;
    return FindValue(name, text) ? Utf8ToWide(text) : def;
}

int64_t TConfigDoc_XML::ReadInteger(const std::string& name, int64_t def) const {
    std::string text;
    if (!FindValue(name, text) || text.empty()) return def;
    int64_t value = 0;
    if (!TryParseInt64(text, value)) throw EConvertError(Quoted(text) + " is not a valid integer value");
    return value;
}

double TConfigDoc_XML::ReadFloat(const std::string& name, double def) const {
    std::string text;
    if (!FindValue(name, text) || text.empty()) return def;
    double value = 0;
    if (!TryParseDouble(text, value)) throw EConvertError(Quoted(text) + " is not a valid floating point value");
    return value;
}

bool TConfigDoc_XML::ReadBool(const std::string& name, bool def) const {
    std::string text;
    if (!FindValue(name, text) || text.empty()) return def;
    std::string word = TrimText(text);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "true") return true;
    if (word == "false") return false;
    int64_t i = 0;
    if (TryParseInt64(text, i)) return i != 0;
    double d = 0;
    if (TryParseDouble(text, d)) return d != 0.0;
    throw EConvertError(Quoted(text) + " is not a valid boolean value");
}

size_t TConfigDoc_XML::ReadBinary(const std::string& name, void* buffer, size_t maxLength) const {
    const std::string text = ReadString(name, "");
    auto* bytes = static_cast<unsigned char*>(buffer);
    size_t stored = 0;
    size_t pos = 0;
    while (pos < text.size() && stored < maxLength) {
        if (pos + 1 >= text.size()) throw EConfigError(kBinaryLength);
        const int hi = HexDigit(text[pos]);
        const int lo = HexDigit(text[pos + 1]);
        if (hi < 0 || lo < 0) throw EConfigError(kBinaryChar);
        bytes[stored++] = static_cast<unsigned char>(hi * 16 + lo);
        pos += 2;
    }
    return stored;
}

}  // namespace kelvar
