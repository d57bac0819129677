#include "core/web/WebLogicMessages.h"

#include <pugixml.hpp>

#include <charconv>
#include <sstream>

#include "core/web/WebErrors.h"
#include "foundation/Logger.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

namespace {

// A song has a few dozen values; a reply with thousands would only cost the main thread time.
constexpr int MaxSongValues = 1000;

// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
size_t Utf8Length(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    unsigned min = 0;
    unsigned value = 0;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0)
        length = 2, min = 0x80, value = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, min = 0x800, value = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, min = 0x10000, value = lead & 0x07;
    else
        return 0;
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) || value == 0xFFFE || value == 0xFFFF)
        return 0;
    return length;
}

// Control characters other than tab and line breaks, and broken UTF-8, would make the document
// unreadable for the service: they are left out.
std::string XmlSafe(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            ++i;
            continue;
        }
        const size_t length = Utf8Length(text, i);
        if (length == 0) {
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return out;
}

void AddText(pugi::xml_node parent, const char* name, const std::string& value) {
    const std::string safe = XmlSafe(value);
    if (!safe.empty()) parent.append_child(name).text().set(safe.c_str());
}

void AddSong(pugi::xml_node parent, const ISongInfoPtr& song) {
    if (!song) return;
    pugi::xml_node node = parent.append_child("song");
    AddText(node, "songID", std::to_string(song->GetID()));
    AddText(node, "filename", song->GetFilename());
    AddText(node, "artist", song->GetArtist());
    AddText(node, "title", song->GetTitle());
    AddText(node, "album", song->GetAlbum());
    AddText(node, "duration", std::to_string(song->GetDuration()));
    for (const char* name : {"label", "buycd", "website"}) AddText(node, name, song->GetValue(name));
}

std::string ToText(const pugi::xml_document& document) {
    std::ostringstream out;
    document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return out.str();
}

pugi::xml_document NewDocument() {
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    return document;
}

// The root element of the reply; raises when the reply is no XML document.
pugi::xml_node LoadReply(pugi::xml_document& document, const std::string& reply) {
    // parse_default reads no DTD and expands no entities beyond the five predefined ones.
    const pugi::xml_parse_result result =
        document.load_buffer(reply.data(), reply.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        throw EWebError(std::string("The web logic's reply is not XML (") + result.description() + " at offset " +
                        std::to_string(result.offset) + ")");
    }
    pugi::xml_node root = document.document_element();
    if (!root) throw EWebError("The web logic's reply is not XML (no root element)");
    return root;
}

std::string LocalName(const pugi::xml_node& node) {
    const std::string name = node.name();
    const size_t colon = name.find(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

pugi::xml_node ChildByLocalName(const pugi::xml_node& parent, const std::string& name) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && LocalName(child) == name) return child;
    return {};
}

// Each child element of songNode as a value of song, by local name.
void ReadSongValues(const pugi::xml_node& songNode, ISongInfo& song) {
    int count = 0;
    for (pugi::xml_node child = songNode.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        if (++count > MaxSongValues) {
            LogMessage("Web logic: the reply's song has more than " + std::to_string(MaxSongValues) +
                           " values, the rest is ignored",
                       "CORE", LogKind::Error);
            return;
        }
        song.SetValue(LocalName(child), std::string(child.text().get()));
    }
}

bool ToInt(const std::string& text, int& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    while (first < last && (*first == ' ' || *first == '\t' || *first == '\r' || *first == '\n')) ++first;
    while (last > first && (last[-1] == ' ' || last[-1] == '\t' || last[-1] == '\r' || last[-1] == '\n')) --last;
    if (first < last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
}

}  // namespace

std::string MakeWebEventDocument(const ISongInfoPtr& song) {
    pugi::xml_document document = NewDocument();
    AddSong(document.append_child("LOGIC"), song);
    return ToText(document);
}

std::string MakeWebRequestDocument(const ISongInfoPtr& song, const std::string& host, const std::string& message,
                                   int code) {
    pugi::xml_document document = NewDocument();
    pugi::xml_node root = document.append_child("LOGIC");
    pugi::xml_node status = root.append_child("status");
    AddText(status, "host", host);
    AddText(status, "code", std::to_string(code));
    AddText(status, "message", message);
    AddSong(root, song);
    return ToText(document);
}

ISongInfoPtr ReadWebSongReply(const std::string& reply) {
    pugi::xml_document document;
    pugi::xml_node songNode = ChildByLocalName(LoadReply(document, reply), "song");
    if (!songNode.find_child([](const pugi::xml_node& child) { return child.type() == pugi::node_element; }))
        return nullptr;
    std::shared_ptr<TSongInfo> song = TSongInfo::Create(-1, "");
    ReadSongValues(songNode, *song);
    if (song->GetID() <= 0) {
        int id = 0;
        if (!ToInt(song->GetValue("songID"), id)) id = 0;
        song->SetID(id);
    }
    return song;
}

void ReadWebRequestReply(const std::string& reply, const ISongInfoPtr& song, std::string& message, int& code) {
    pugi::xml_document document;
    pugi::xml_node root = LoadReply(document, reply);
    pugi::xml_node status = ChildByLocalName(root, "status");
    const std::string codeText = ChildByLocalName(status, "code").text().get();
    int value = 0;
    if (!codeText.empty() && ToInt(codeText, value)) code = value;
    const std::string messageText = ChildByLocalName(status, "message").text().get();
    if (!messageText.empty()) message = messageText;
    if (!song) return;
    ReadSongValues(ChildByLocalName(root, "song"), *song);
}

}  // namespace kelvar
