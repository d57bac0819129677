#pragma once
// The web rotation: a web service chooses the songs. Each automation event is posted to a URL of
// its own as a small "LOGIC" XML document; the song choice reads the chosen song from the reply.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/plugins/PluginList.h"
#include "core/rotation/PlaylistLogic_imp.h"
#include "core/web/HttpClient.h"

namespace kelvar {

class TPostWeb;

class TplWebRotation : public TPlaylistLogic {
public:
    TplWebRotation();
    // Aborts the asynchronous posts still running and waits for their threads.
    ~TplWebRotation() override;

    void LoadConfig(IConfigDoc& node) override;
    void SaveConfig(IConfigDoc& node) override;
    void OnEndOfSong(const ISongInfoPtr& song) override;
    // Always synchronous; raises EWebError when the post fails or the reply is not XML.
    ISongInfoPtr ChooseSong() override;
    void OnPlay(const ISongInfoPtr& song) override;
    void OnRequest(const ISongInfoPtr& song, const std::string& host, std::string& message, int& code) override;
    void OnFail(const ISongInfoPtr& song) override;

    // Empty URL: nothing is sent and the reply is empty. Async: the post runs on a thread of its
    // own and the reply is empty. Otherwise the reply text; raises EWebError on a network
    // failure, a time-out, a status outside 2xx or a reply larger than MaxReplySize.
    std::string Post(const std::string& body, const std::string& url, bool async);

    // Asynchronous posts still running.
    int PendingPosts();
    // From any thread: the synchronous post under way (a song choice made off the main thread)
    // fails at once.
    void AbortSyncPost();

    // Set by a caller that must never wait for the service (the automation on the main
    // thread): the play, fail and end events are then posted in the background whatever their
    // switches say, their failures logged.
    bool EventsInBackground = false;

    std::string url_OnChooseSong;
    std::string url_OnEndOfSong;
    std::string url_OnPlay;
    std::string url_OnRequest;
    std::string url_OnFail;
    bool async_OnEndOfSong = false;
    bool async_OnPlay = false;
    bool async_OnRequest = false;
    bool async_OnFail = false;

    // Synchronous posts hold the main thread: they must end.
    THttpTimeouts Timeouts;
    int64_t MaxReplySize = 1024 * 1024;

private:
    void ReapFinishedPosts();

    std::mutex FPostsLock;
    std::vector<std::unique_ptr<TPostWeb>> FPosts;
    THttpClient* FSyncClient = nullptr;  // under FPostsLock while a synchronous post runs
};

// The built-in plug-in record of the web logic.
TPluginInfo* WebLogicInfo();

}  // namespace kelvar
