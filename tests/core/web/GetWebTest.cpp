#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "LoopbackHttpServer.h"
#include "WebTestKit.h"
#include "core/web/unGetWeb.h"
#include "core/web/unPostWeb.h"

namespace kelvar {
namespace {

using webtest::THttpReply;
using webtest::THttpRequest;
using webtest::TLoopbackHttpServer;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What the events saw, and on which thread.
struct TResults {
    std::atomic<int> Count{0};
    std::atomic<int> SyncCount{0};
    int Status = -1;
    std::string Text;
    bool SyncOnMainThread = false;
};

class GetWebTest : public ::testing::Test, protected webtest::TWebFixtureBase {
protected:
    void SetUp() override {
        Folder =
            std::filesystem::temp_directory_path() / ("kelvar-web-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(Folder);
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    std::unique_ptr<TGetWeb> Start(const std::string& url, TResults& results, const std::string& fileName = {}) {
        auto get = std::make_unique<TGetWeb>(url);
        get->FileName = fileName;
        get->Timeouts.IdleMs = 2000;
        get->SetOnResult([&results](TWebThread&, int, const std::string&) { ++results.Count; });
        get->SetOnResultSync([&results, fileName, this](TWebThread&, int status, const std::string& text) {
            results.Status = status;
            results.Text = text;
            results.SyncOnMainThread = Loop->IsMainThread();
            // A file download is complete and closed by now.
            if (!fileName.empty()) results.Text += "|" + ReadFile(fileName);
            ++results.SyncCount;
        });
        get->Resume();
        return get;
    }

    std::filesystem::path Folder;
};

TEST_F(GetWebTest, ReportsTheAnswerOnTheThreadAndTheMainThread) {
    struct TCase {
        THttpReply Reply;
        int Status;
        std::string Text;
    };
    const TCase cases[] = {
        {THttpReply::Answer("<html>page</html>"), 200, "<html>page</html>"},
        {THttpReply::Answer("missing", 404, "Not Found"), 404, "Not Found"},
        {{}, 200, "Empty result"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TLoopbackHttpServer server([&](const THttpRequest&) { return c.Reply; });
        TResults results;
        auto get = Start(server.Url("/page"), results);
        ASSERT_TRUE(PumpUntil([&] { return results.SyncCount == 1; }));
        EXPECT_EQ(results.Count, 1);
        EXPECT_TRUE(results.SyncOnMainThread);
        EXPECT_EQ(results.Status, c.Status);
        EXPECT_EQ(results.Text, c.Text);
        EXPECT_EQ(get->GetStatusCode(), c.Status);
        get->Stop();
        EXPECT_TRUE(get->GetDone());
        EXPECT_EQ(get->GetBytesReceived(), static_cast<int64_t>(c.Reply.Body.size()));
        EXPECT_EQ(get->GetContentLength(), static_cast<int64_t>(c.Reply.Body.size()));
        EXPECT_EQ(server.Requests().at(0).Method, "GET");
    }
}

TEST_F(GetWebTest, DownloadsIntoAFileOnlyWhenTheAnswerIsGood) {
    const std::string body(100000, 'p');
    TLoopbackHttpServer server([&](const THttpRequest& request) {
        if (request.Path == "/gone") return THttpReply::Answer("error page", 404, "Not Found");
        return THttpReply::Answer(body);
    });
    const std::string fileName = (Folder / "cover.jpg").string();
    TResults results;
    auto get = Start(server.Url("/cover"), results, fileName);
    ASSERT_TRUE(PumpUntil([&] { return results.SyncCount == 1; }));
    EXPECT_EQ(results.Text, "Data was saved to file: " + fileName + "|" + body);

    TResults failed;
    auto gone = Start(server.Url("/gone"), failed, fileName);
    ASSERT_TRUE(PumpUntil([&] { return failed.SyncCount == 1; }));
    EXPECT_EQ(failed.Status, 404);
    EXPECT_EQ(failed.Text, "Not Found|" + body);
    gone->Stop();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder), {}), 1);
}

TEST_F(GetWebTest, FailuresEndInTheEventsWithTheirMessage) {
    TLoopbackHttpServer stalling([](const THttpRequest&) { return THttpReply::Stall(); });
    TLoopbackHttpServer large([](const THttpRequest&) { return THttpReply::Answer(std::string(5000, 'x')); });
    struct TCase {
        std::string Url;
        std::string Message;
        int64_t MaxMemory;
    };
    const TCase cases[] = {
        {stalling.Url("/slow"), "No data for 300 ms", 1000},
        {large.Url("/big"), "larger than 1000 bytes", 1000},
        {"http://127.0.0.1:" + std::to_string(webtest::ClosedLoopbackPort()) + "/", "127.0.0.1", 1000},
        {"file:///etc/passwd", "file:///etc/passwd", 1000},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Url);
        TResults results;
        auto get = std::make_unique<TGetWeb>(c.Url);
        get->Timeouts.IdleMs = 300;
        get->MaxMemorySize = c.MaxMemory;
        get->SetOnResultSync([&](TWebThread&, int status, const std::string& text) {
            results.Status = status;
            results.Text = text;
            ++results.SyncCount;
        });
        get->Resume();
        ASSERT_TRUE(PumpUntil([&] { return results.SyncCount == 1; }));
        EXPECT_NE(results.Text.find(c.Message), std::string::npos) << results.Text;
    }
}

TEST_F(GetWebTest, StopEndsTheThreadWithoutAnyEvent) {
    TLoopbackHttpServer server([](const THttpRequest&) { return THttpReply::Stall(); });
    TResults results;

    auto never = std::make_unique<TGetWeb>(server.Url("/never"));
    never->SetOnResult([&](TWebThread&, int, const std::string&) { ++results.Count; });
    never->Stop();
    EXPECT_TRUE(never->IsFinished());
    never->Resume();
    never.reset();

    // Waiting on a stalled server with no time-out: only the stop ends it.
    auto stalled = std::make_unique<TGetWeb>(server.Url("/stalled"));
    stalled->Timeouts.IdleMs = 0;
    stalled->SetOnResult([&](TWebThread&, int, const std::string&) { ++results.Count; });
    stalled->SetOnResultSync([&](TWebThread&, int, const std::string&) { ++results.SyncCount; });
    stalled->Resume();
    ASSERT_TRUE(server.WaitForRequests(1));
    stalled->Stop();
    EXPECT_TRUE(stalled->IsFinished());
    Loop->ProcessPending();
    EXPECT_EQ(results.Count, 0);
    EXPECT_EQ(results.SyncCount, 0);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(GetWebTest, StopOnTheMainThreadReleasesAThreadWaitingForItsMainThreadCall) {
    TLoopbackHttpServer server([](const THttpRequest&) { return THttpReply::Answer("x"); });
    TResults results;
    auto get = std::make_unique<TGetWeb>(server.Url("/x"));
    get->SetOnResultSync([&](TWebThread&, int, const std::string&) { ++results.SyncCount; });
    get->Resume();
    // The loop is not pumped: the thread sits waiting for its main-thread call.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (get->GetPendingCalls() == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(get->GetPendingCalls(), 1);
    get->Stop();
    EXPECT_TRUE(get->IsFinished());
    get.reset();
    Loop->ProcessPending();
    EXPECT_EQ(results.SyncCount, 0);
}

TEST_F(GetWebTest, TheOwnerMayStopAndFreeTheDownloadFromItsMainThreadEvent) {
    TLoopbackHttpServer server([](const THttpRequest&) { return THttpReply::Answer("x"); });
    auto get = std::make_unique<TGetWeb>(server.Url("/x"));
    std::string text;
    get->SetOnResultSync([&](TWebThread&, int, const std::string& result) {
        text = result;
        get.reset();
    });
    get->Resume();
    ASSERT_TRUE(PumpUntil([&] { return get == nullptr; }));
    EXPECT_EQ(text, "x");
}

TEST_F(GetWebTest, CredentialsReachTheServer) {
    TLoopbackHttpServer server([](const THttpRequest& request) {
        if (request.Headers.count("authorization") == 0) {
            THttpReply challenge = THttpReply::Answer("", 401, "Unauthorized");
            challenge.Headers = "WWW-Authenticate: Basic realm=\"kelvar\"\r\n";
            return challenge;
        }
        return THttpReply::Answer(request.Headers.at("authorization"));
    });
    TResults results;
    auto get = std::make_unique<TGetWeb>(server.Url("/private"));
    get->UserName = "dj";
    get->Password = "secret";
    get->SetOnResultSync([&](TWebThread&, int status, const std::string& text) {
        results.Status = status;
        results.Text = text;
        ++results.SyncCount;
    });
    get->Resume();
    ASSERT_TRUE(PumpUntil([&] { return results.SyncCount == 1; }));
    EXPECT_EQ(results.Status, 200);
    EXPECT_EQ(results.Text, "Basic ZGo6c2VjcmV0");
}

TEST_F(GetWebTest, APostThreadReportsTheReply) {
    TLoopbackHttpServer server([](const THttpRequest& request) { return THttpReply::Answer("got " + request.Body); });
    TResults results;
    TPostWeb post(server.Url("/p"), "<LOGIC/>");
    post.SetOnResult([&](TWebThread&, int status, const std::string& text) {
        results.Status = status;
        results.Text = text;
        ++results.Count;
    });
    post.Resume();
    ASSERT_TRUE(PumpUntil([&] { return post.IsFinished(); }));
    EXPECT_EQ(results.Count, 1);
    EXPECT_EQ(results.Status, 200);
    EXPECT_EQ(results.Text, "got <LOGIC/>");
    EXPECT_EQ(server.Requests().at(0).Headers.at("content-type"), "text/xml");
}

}  // namespace
}  // namespace kelvar
