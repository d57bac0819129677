#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <string>
#include <vector>

#include "core/web/WebErrors.h"
#include "core/web/WebLogicMessages.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

std::vector<std::string> ChildNames(const pugi::xml_node& node) {
    std::vector<std::string> names;
    for (pugi::xml_node child : node.children()) names.push_back(child.name());
    return names;
}

pugi::xml_node Parse(pugi::xml_document& document, const std::string& text) {
    EXPECT_TRUE(document.load_string(text.c_str())) << text;
    return document.document_element();
}

TEST(WebLogicMessages, EventDocumentLeavesEmptyValuesOut) {
    auto song = TSongInfo::Create(12, "/music/a.mp3");
    song->SetArtist("Band");
    song->SetTitle("Song");
    song->SetDuration(183000);
    pugi::xml_document document;
    pugi::xml_node root = Parse(document, MakeWebEventDocument(song));
    EXPECT_STREQ(root.name(), "LOGIC");
    pugi::xml_node node = root.child("song");
    EXPECT_EQ(ChildNames(node), (std::vector<std::string>{"songID", "filename", "artist", "title", "duration"}));
    EXPECT_STREQ(node.child_value("songID"), "12");
    EXPECT_STREQ(node.child_value("filename"), "/music/a.mp3");
    EXPECT_STREQ(node.child_value("duration"), "183000");

    song->SetAlbum("LP");
    song->SetValue("website", "http://band.example/?a=1&b=2");
    song->SetValue("buycd", "shop");
    song->SetValue("label", "Lbl");
    node = Parse(document, MakeWebEventDocument(song)).child("song");
    EXPECT_EQ(ChildNames(node), (std::vector<std::string>{"songID", "filename", "artist", "title", "album", "duration",
                                                          "label", "buycd", "website"}));
    EXPECT_STREQ(node.child_value("website"), "http://band.example/?a=1&b=2");

    EXPECT_TRUE(ChildNames(Parse(document, MakeWebEventDocument(nullptr))).empty());
}

TEST(WebLogicMessages, HostileTextStillMakesAWellFormedDocument) {
    auto song = TSongInfo::Create(-1, "x.mp3");
    song->SetArtist("<b>&</b>\x01\x1f \xff\xfe ok \xc3\xa9");
    pugi::xml_document document;
    pugi::xml_node node = Parse(document, MakeWebEventDocument(song)).child("song");
    EXPECT_STREQ(node.child_value("artist"), "<b>&</b>  ok \xc3\xa9");
    EXPECT_STREQ(node.child_value("songID"), "-1");
}

TEST(WebLogicMessages, RequestDocumentPutsStatusFirst) {
    auto song = TSongInfo::Create(5, "b.mp3");
    pugi::xml_document document;
    pugi::xml_node root = Parse(document, MakeWebRequestDocument(song, "10.0.0.7", "please", 3));
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"status", "song"}));
    EXPECT_EQ(ChildNames(root.child("status")), (std::vector<std::string>{"host", "code", "message"}));
    EXPECT_STREQ(root.child("status").child_value("code"), "3");

    root = Parse(document, MakeWebRequestDocument(nullptr, "", "", 0));
    EXPECT_EQ(ChildNames(root), std::vector<std::string>{"status"});
    EXPECT_EQ(ChildNames(root.child("status")), std::vector<std::string>{"code"});
}

TEST(WebLogicMessages, SongReplies) {
    struct TCase {
        const char* Reply;
        int ID;  // 0 with Song false: no song
        bool Song;
    };
    const TCase cases[] = {
        {"<r><song><songID>42</songID><filename>/m/x.mp3</filename><artist>A</artist></song></r>", 42, true},
        {"<r><song><ID>7</ID><songID>42</songID></song></r>", 7, true},
        {"<r><song><ID>-3</ID><songID>42</songID></song></r>", 42, true},
        {"<r><song><ID>x</ID><songID>abc</songID></song></r>", 0, true},
        {"<r><song><filename>/m/y.mp3</filename></song></r>", 0, true},
        {"<r><song></song></r>", 0, false},
        {"<r><song>text only</song></r>", 0, false},
        {"<r><other/></r>", 0, false},
        {"<LOGIC xmlns:k='urn:k'><song><k:songID>9</k:songID></song></LOGIC>", 9, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Reply);
        ISongInfoPtr song = ReadWebSongReply(c.Reply);
        ASSERT_EQ(song != nullptr, c.Song);
        if (song) {
            EXPECT_EQ(song->GetID(), c.ID);
        }
    }
    ISongInfoPtr song = ReadWebSongReply(cases[0].Reply);
    EXPECT_EQ(song->GetFilename(), "/m/x.mp3");
    EXPECT_EQ(song->GetArtist(), "A");
}

TEST(WebLogicMessages, BrokenRepliesRaise) {
    for (const char* reply : {"not xml at all", "<r><song><songID>1</song></r>", "   "}) {
        SCOPED_TRACE(reply);
        EXPECT_THROW(ReadWebSongReply(reply), EWebError);
    }
}

TEST(WebLogicMessages, DocumentTypeEntitiesAreNotExpanded) {
    const std::string reply =
        "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
        "<r><song><artist>&c;</artist><title>&#65;&amp;</title></song></r>";
    ISongInfoPtr song = ReadWebSongReply(reply);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->GetArtist(), "&c;");
    EXPECT_EQ(song->GetTitle(), "A&");
}

TEST(WebLogicMessages, ASongWithThousandsOfValuesIsCutShort) {
    std::string reply = "<r><song><songID>3</songID>";
    for (int i = 0; i < 5000; ++i) reply += "<v" + std::to_string(i) + ">x</v" + std::to_string(i) + ">";
    ISongInfoPtr song = ReadWebSongReply(reply + "</song></r>");
    ASSERT_TRUE(song);
    EXPECT_EQ(song->GetID(), 3);
    // "ID" and 1000 values.
    EXPECT_EQ(song->GetCount(), 1001);
}

TEST(WebLogicMessages, RequestReplyUpdatesCodeMessageAndSong) {
    auto song = TSongInfo::Create(5, "b.mp3");
    std::string message = "asked";
    int code = 1;
    ReadWebRequestReply(
        "<r><status><code>200</code><message>queued</message></status>"
        "<song><title>New</title></song></r>",
        song, message, code);
    EXPECT_EQ(code, 200);
    EXPECT_EQ(message, "queued");
    EXPECT_EQ(song->GetTitle(), "New");
    EXPECT_EQ(song->GetID(), 5);

    ReadWebRequestReply("<r><status><code>soon</code><message/></status></r>", song, message, code);
    EXPECT_EQ(code, 200);
    EXPECT_EQ(message, "queued");
    EXPECT_THROW(ReadWebRequestReply("<r>", song, message, code), EWebError);
}

}  // namespace
}  // namespace kelvar
