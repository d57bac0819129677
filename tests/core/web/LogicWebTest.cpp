#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <memory>
#include <string>

#include "LoopbackHttpServer.h"
#include "WebTestKit.h"
#include "core/plugins/PluginList_imp.h"
#include "core/web/Logic_web.h"
#include "core/web/WebErrors.h"
#include "foundation/ConfigDoc_XML.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

using webtest::THttpReply;
using webtest::THttpRequest;
using webtest::TLoopbackHttpServer;

const char* SongReply =
    "<?xml version=\"1.0\"?><WEB><song><songID>42</songID><filename>/m/x.mp3</filename>"
    "<artist>Band</artist></song></WEB>";

class LogicWebTest : public ::testing::Test, protected webtest::TWebFixtureBase {
protected:
    LogicWebTest() {
        Logic.Timeouts.ConnectMs = 2000;
        Logic.Timeouts.TotalMs = 2000;
    }

    TplWebRotation Logic;
};

TEST_F(LogicWebTest, ConfigurationKeepsItsKeysInOrderAndDefaultsToCurrentValues) {
    auto config = TConfigDoc_XML::Create("");
    Logic.url_OnChooseSong = "http://a/choose";
    Logic.url_OnPlay = "http://a/play";
    Logic.async_OnPlay = true;
    Logic.SaveConfig(*config);
    const std::string xml = config->GetXML();
    const char* keys[] = {"url_OnChooseSong", "url_OnPlay",   "url_OnFail",        "url_OnEndOfSong", "url_OnRequest",
                          "async_OnPlay",     "async_OnFail", "async_OnEndOfSong", "async_OnRequest"};
    size_t last = 0;
    for (const char* key : keys) {
        const size_t at = xml.find(std::string("<") + key);
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key;
        last = at;
    }

    TplWebRotation loaded;
    loaded.url_OnFail = "http://kept/fail";
    auto partial = TConfigDoc_XML::Create("");
    partial->WriteString("url_OnPlay", "http://b/play");
    partial->WriteBool("async_OnFail", true);
    loaded.LoadConfig(*partial);
    EXPECT_EQ(loaded.url_OnPlay, "http://b/play");
    EXPECT_EQ(loaded.url_OnFail, "http://kept/fail");
    EXPECT_TRUE(loaded.async_OnFail);
    EXPECT_FALSE(loaded.async_OnPlay);

    loaded.LoadConfig(*config);
    EXPECT_EQ(loaded.url_OnChooseSong, "http://a/choose");
    EXPECT_TRUE(loaded.async_OnPlay);
}

TEST_F(LogicWebTest, ChooseSongPostsAndReadsTheReply) {
    TLoopbackHttpServer server([](const THttpRequest&) { return THttpReply::Answer(SongReply); });
    Logic.url_OnChooseSong = server.Url("/choose");
    ISongInfoPtr song = Logic.ChooseSong();
    ASSERT_TRUE(song);
    EXPECT_EQ(song->GetID(), 42);
    EXPECT_EQ(song->GetFilename(), "/m/x.mp3");
    EXPECT_EQ(song->GetArtist(), "Band");
    THttpRequest request = server.Requests().at(0);
    EXPECT_EQ(request.Method, "POST");
    EXPECT_EQ(request.Path, "/choose");
    EXPECT_EQ(request.Headers["content-type"], "text/xml");
    EXPECT_TRUE(request.Body.empty());
}

TEST_F(LogicWebTest, WithoutAnAddressNothingIsSentAndNoSongChosen) {
    EXPECT_EQ(Logic.ChooseSong(), nullptr);
    EXPECT_NO_THROW(Logic.OnPlay(TSongInfo::Create(1, "a.mp3")));
    EXPECT_EQ(Logic.PendingPosts(), 0);
}

TEST_F(LogicWebTest, AReplyWithoutSongGivesNoSong) {
    TLoopbackHttpServer server([](const THttpRequest&) { return THttpReply::Answer("<r><song/></r>"); });
    Logic.url_OnChooseSong = server.Url("/choose");
    EXPECT_EQ(Logic.ChooseSong(), nullptr);
    TLoopbackHttpServer empty([](const THttpRequest&) { return THttpReply{}; });
    Logic.url_OnChooseSong = empty.Url("/choose");
    EXPECT_EQ(Logic.ChooseSong(), nullptr);
}

// Every failure of the song choice raises, so the caller counts a failed attempt; none hangs.
TEST_F(LogicWebTest, FailedChoicesRaise) {
    struct TCase {
        const char* Name;
        THttpReply Reply;
        const char* Message;
    };
    const TCase cases[] = {
        {"server error", THttpReply::Answer(SongReply, 500, "Internal Server Error"), "HTTP 500 Internal Server Error"},
        {"not found", THttpReply::Answer("", 404, "Not Found"), "HTTP 404"},
        {"malformed", THttpReply::Answer("<WEB><song><songID>1</WEB>"), "not XML"},
        {"oversized", THttpReply::Answer(std::string(2 * 1024 * 1024, 'x')), "larger than"},
        {"vanishes", THttpReply::Vanish(), ""},
        {"stalls", THttpReply::Stall(), "timed out"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TLoopbackHttpServer server([&](const THttpRequest&) { return c.Reply; });
        Logic.url_OnChooseSong = server.Url("/choose");
        Logic.Timeouts.TotalMs = 500;
        try {
            Logic.ChooseSong();
            ADD_FAILURE() << "no exception";
        } catch (const EWebError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
        }
    }
    Logic.url_OnChooseSong = "http://127.0.0.1:" + std::to_string(webtest::ClosedLoopbackPort()) + "/choose";
    EXPECT_THROW(Logic.ChooseSong(), EWebError);
    Logic.url_OnChooseSong = "file:///etc/passwd";
    EXPECT_THROW(Logic.ChooseSong(), EWebError);
}

TEST_F(LogicWebTest, EventsPostTheSongDocument) {
    TLoopbackHttpServer server([](const THttpRequest&) { return THttpReply::Answer("ignored"); });
    Logic.url_OnPlay = server.Url("/play");
    Logic.url_OnFail = server.Url("/fail");
    Logic.url_OnEndOfSong = server.Url("/end");
    auto song = TSongInfo::Create(7, "/m/y.mp3");
    Logic.OnPlay(song);
    Logic.OnFail(song);
    Logic.OnEndOfSong(song);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    const char* paths[] = {"/play", "/fail", "/end"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].Path, paths[i]);
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(requests[i].Body.c_str()));
        EXPECT_STREQ(document.child("LOGIC").child("song").child_value("songID"), "7");
    }

    TLoopbackHttpServer failing([](const THttpRequest&) { return THttpReply::Answer("", 503, "Busy"); });
    Logic.url_OnPlay = failing.Url("/play");
    EXPECT_THROW(Logic.OnPlay(song), EWebError);
}

TEST_F(LogicWebTest, AnAsynchronousEventReturnsAtOnceAndLogsItsFailure) {
    TLoopbackHttpServer server([](const THttpRequest&) { return THttpReply::Stall(); });
    Logic.url_OnPlay = server.Url("/play");
    Logic.async_OnPlay = true;
    Logic.OnPlay(TSongInfo::Create(3, "a.mp3"));
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_EQ(Logic.PendingPosts(), 1);
    server.ReleaseStalled();
    ASSERT_TRUE(PumpUntil([&] { return Logic.PendingPosts() == 0; }));
    EXPECT_TRUE(Log->Contains("Web logic post to " + server.Url("/play") + " failed"));
}

TEST_F(LogicWebTest, ShutdownAbortsAsynchronousPostsStillWaiting) {
    TLoopbackHttpServer server([](const THttpRequest&) { return THttpReply::Stall(); });
    auto logic = std::make_unique<TplWebRotation>();
    // Only the abort can end these posts before the server goes.
    logic->Timeouts.TotalMs = 0;
    logic->url_OnFail = server.Url("/fail");
    logic->async_OnFail = true;
    for (int i = 0; i < 3; ++i) logic->OnFail(TSongInfo::Create(i + 1, "a.mp3"));
    ASSERT_TRUE(server.WaitForRequests(3));
    logic.reset();
    EXPECT_EQ(server.Requests().size(), 3u);
}

TEST_F(LogicWebTest, RequestReplyUpdatesTheCaller) {
    TLoopbackHttpServer server([](const THttpRequest&) {
        return THttpReply::Answer(
            "<r><status><code>2</code><message>later</message></status>"
            "<song><title>Changed</title></song></r>");
    });
    Logic.url_OnRequest = server.Url("/request");
    auto song = TSongInfo::Create(9, "a.mp3");
    std::string message = "please";
    int code = 1;
    Logic.OnRequest(song, "10.1.1.1", message, code);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(message, "later");
    EXPECT_EQ(song->GetTitle(), "Changed");
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(server.Requests().at(0).Body.c_str()));
    EXPECT_STREQ(document.child("LOGIC").child("status").child_value("host"), "10.1.1.1");
    EXPECT_STREQ(document.child("LOGIC").child("status").child_value("message"), "please");
}

TEST(WebLogicPlugin, TheBuiltInRecordCreatesTheWebLogic) {
    TBasePlugin plugin(WebLogicInfo);
    EXPECT_EQ(plugin.GetName(), "Web scripting based logic module");
    EXPECT_EQ(plugin.GetVersion(), 0x0100);
    EXPECT_EQ(plugin.GetGUID(), "{44851DC2-181D-43B1-8D24-2E34730E0929}");
    EXPECT_EQ(plugin.GetDescription().rfind("Playlist rotation logic module", 0), 0u);
    EXPECT_TRUE(std::dynamic_pointer_cast<TplWebRotation>(plugin.CreateInstance()));
}

}  // namespace
}  // namespace kelvar
