#include "core/web/Logic_web.h"

#include <algorithm>

#include "core/rotation/RotationConfig.h"
#include "core/web/WebErrors.h"
#include "core/web/WebLogicMessages.h"
#include "core/web/unPostWeb.h"
#include "foundation/Logger.h"

namespace kelvar {

TplWebRotation::TplWebRotation() = default;

TplWebRotation::~TplWebRotation() {
    std::vector<std::unique_ptr<TPostWeb>> posts;
    {
        std::lock_guard<std::mutex> lock(FPostsLock);
        posts.swap(FPosts);
    }
    for (auto& post : posts) post->Stop();
}

void TplWebRotation::LoadConfig(IConfigDoc& node) {
    url_OnChooseSong = node.ReadString("url_OnChooseSong", url_OnChooseSong);
    url_OnPlay = node.ReadString("url_OnPlay", url_OnPlay);
    url_OnFail = node.ReadString("url_OnFail", url_OnFail);
    url_OnEndOfSong = node.ReadString("url_OnEndOfSong", url_OnEndOfSong);
    url_OnRequest = node.ReadString("url_OnRequest", url_OnRequest);
    // A switch that can't be read keeps its value (logged) and the ones after it still load.
    async_OnPlay = ReadConfigBool(node, "async_OnPlay", async_OnPlay);
    async_OnFail = ReadConfigBool(node, "async_OnFail", async_OnFail);
    async_OnEndOfSong = ReadConfigBool(node, "async_OnEndOfSong", async_OnEndOfSong);
    async_OnRequest = ReadConfigBool(node, "async_OnRequest", async_OnRequest);
}

void TplWebRotation::SaveConfig(IConfigDoc& node) {
    node.WriteString("url_OnChooseSong", url_OnChooseSong);
    node.WriteString("url_OnPlay", url_OnPlay);
    node.WriteString("url_OnFail", url_OnFail);
    node.WriteString("url_OnEndOfSong", url_OnEndOfSong);
    node.WriteString("url_OnRequest", url_OnRequest);
    node.WriteBool("async_OnPlay", async_OnPlay);
    node.WriteBool("async_OnFail", async_OnFail);
    node.WriteBool("async_OnEndOfSong", async_OnEndOfSong);
    node.WriteBool("async_OnRequest", async_OnRequest);
}

ISongInfoPtr TplWebRotation::ChooseSong() {
    const std::string reply = Post("", url_OnChooseSong, false);
    if (reply.empty()) return nullptr;
    return ReadWebSongReply(reply);
}

void TplWebRotation::OnPlay(const ISongInfoPtr& song) {
    Post(MakeWebEventDocument(song), url_OnPlay, async_OnPlay || EventsInBackground);
}

void TplWebRotation::OnFail(const ISongInfoPtr& song) {
    Post(MakeWebEventDocument(song), url_OnFail, async_OnFail || EventsInBackground);
}

void TplWebRotation::OnEndOfSong(const ISongInfoPtr& song) {
    Post(MakeWebEventDocument(song), url_OnEndOfSong, async_OnEndOfSong || EventsInBackground);
}

void TplWebRotation::AbortSyncPost() {
    std::lock_guard<std::mutex> lock(FPostsLock);
    if (FSyncClient) FSyncClient->Abort();
}

void TplWebRotation::OnRequest(const ISongInfoPtr& song, const std::string& host, std::string& message, int& code) {
    const std::string reply = Post(MakeWebRequestDocument(song, host, message, code), url_OnRequest, async_OnRequest);
    if (!reply.empty()) ReadWebRequestReply(reply, song, message, code);
}

std::string TplWebRotation::Post(const std::string& body, const std::string& url, bool async) {
    if (url.empty()) return {};
    if (async) {
        ReapFinishedPosts();
        auto post = std::make_unique<TPostWeb>(url, body);
        post->Timeouts = Timeouts;
        post->MaxReplySize = MaxReplySize;
        // Nobody waits for the answer; a failure still belongs in the log.
        post->SetOnResult([](TWebThread& sender, int statusCode, const std::string& resultText) {
            if (statusCode < 200 || statusCode >= 300)
                LogMessage("Web logic post to " + sender.URL + " failed (" + std::to_string(statusCode) + " " +
                               resultText + ")",
                           "CORE", LogKind::Warning);
        });
        TPostWeb* started = post.get();
        {
            std::lock_guard<std::mutex> lock(FPostsLock);
            FPosts.push_back(std::move(post));
        }
        started->Resume();
        return {};
    }

    THttpClient client;
    client.Timeouts = Timeouts;
    client.MaxReplySize = MaxReplySize;
    std::string reply;
    client.OnData = [&](const char* data, size_t size) {
        reply.append(data, size);
        return true;
    };
    {
        std::lock_guard<std::mutex> lock(FPostsLock);
        FSyncClient = &client;
    }
    struct TUnregister {
        TplWebRotation* Self;
        ~TUnregister() {
            std::lock_guard<std::mutex> lock(Self->FPostsLock);
            Self->FSyncClient = nullptr;
        }
    } unregister{this};
    client.Post(url, body, "text/xml");
    const int status = client.GetStatusCode();
    if (status < 200 || status >= 300) {
        std::string text = "HTTP " + std::to_string(status);
        const std::string reason = client.GetReasonPhrase();
        if (!reason.empty()) text += " " + reason;
        throw EWebError(text + " (" + url + ")");
    }
    return reply;
}

int TplWebRotation::PendingPosts() {
    ReapFinishedPosts();
    std::lock_guard<std::mutex> lock(FPostsLock);
    return static_cast<int>(FPosts.size());
}

void TplWebRotation::ReapFinishedPosts() {
    std::vector<std::unique_ptr<TPostWeb>> finished;
    {
        std::lock_guard<std::mutex> lock(FPostsLock);
        auto done =
            std::stable_partition(FPosts.begin(), FPosts.end(), [](const auto& post) { return !post->IsFinished(); });
        std::move(done, FPosts.end(), std::back_inserter(finished));
        FPosts.erase(done, FPosts.end());
    }
    // Their threads have returned: joining them is immediate.
}

namespace {

void CreateWebLogic(IInterfacePtr* instance, const char*) { *instance = std::make_shared<TplWebRotation>(); }

}  // namespace

TPluginInfo* WebLogicInfo() {
    static TPluginInfo info{"Web scripting based logic module",
                            "Playlist rotation logic module\nA web service chooses the songs and hears of every play.",
                            0x0100, "{44851DC2-181D-43B1-8D24-2E34730E0929}", CreateWebLogic};
    return &info;
}

}  // namespace kelvar
