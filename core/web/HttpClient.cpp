#include "core/web/HttpClient.h"

#include <curl/curl.h>

#include <chrono>
#include <cstring>
#include <mutex>

#include "core/web/WebErrors.h"

namespace kelvar {

namespace {

// Longest wait between two checks of the abort flag and the idle limit.
constexpr int PollMs = 100;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CURL* Easy(void* handle) { return static_cast<CURL*>(handle); }
CURLM* Multi(void* handle) { return static_cast<CURLM*>(handle); }

}  // namespace

THttpClient::THttpClient() {
    InitCurlOnce();
    FEasy = curl_easy_init();
    FMulti = curl_multi_init();
    if (!FEasy || !FMulti) {
        if (FEasy) curl_easy_cleanup(Easy(FEasy));
        if (FMulti) curl_multi_cleanup(Multi(FMulti));
        throw EWebError("Cannot create the HTTP client");
    }
}

THttpClient::~THttpClient() {
    curl_multi_cleanup(Multi(FMulti));
    curl_easy_cleanup(Easy(FEasy));
}

std::string THttpClient::GetReasonPhrase() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FReasonPhrase;
}

void THttpClient::Get(const std::string& url) { Perform(url, nullptr, {}); }

void THttpClient::Post(const std::string& url, const std::string& body, const std::string& contentType) {
    Perform(url, &body, contentType);
}

void THttpClient::Abort() {
    FAborted = true;
    curl_multi_wakeup(Multi(FMulti));
}

size_t THttpClient::WriteCallback(char* data, size_t size, size_t count, void* self) {
    auto& client = *static_cast<THttpClient*>(self);
    const size_t length = size * count;
    if (client.FAborted) return 0;
    const int64_t total = client.FBytesReceived + static_cast<int64_t>(length);
    if (client.MaxReplySize > 0 && total > client.MaxReplySize) {
        client.FTooLarge = true;
        return 0;
    }
    if (client.OnData && !client.OnData(data, length)) {
        client.FSinkRefused = true;
        return 0;
    }
    client.FBytesReceived = total;
    return length;
}

size_t THttpClient::HeaderCallback(char* data, size_t size, size_t count, void* self) {
    auto& client = *static_cast<THttpClient*>(self);
    const size_t length = size * count;
    std::string line(data, length);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    // "HTTP/1.1 404 Not Found"; each redirect or interim reply starts a new one.
    if (line.rfind("HTTP/", 0) == 0) {
        std::string reason;
        int code = 0;
        const size_t codeStart = line.find(' ');
        if (codeStart != std::string::npos) {
            size_t pos = codeStart + 1;
            while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9' && code < 1000)
                code = code * 10 + (line[pos++] - '0');
            if (pos < line.size() && line[pos] == ' ') reason = line.substr(pos + 1);
        }
        client.FStatusCode = code;
        std::lock_guard<std::mutex> lock(client.FLock);
        client.FReasonPhrase = reason;
    }
    return length;
}

void THttpClient::Perform(const std::string& url, const std::string* body, const std::string& contentType) {
    CURL* easy = Easy(FEasy);
    CURLM* multi = Multi(FMulti);
    FStatusCode = 0;
    FContentLength = -1;
    FBytesReceived = 0;
    FTooLarge = false;
    FSinkRefused = false;
    {
        std::lock_guard<std::mutex> lock(FLock);
        FReasonPhrase.clear();
    }

    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_reset(easy);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &THttpClient::WriteCallback);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &THttpClient::HeaderCallback);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(Timeouts.ConnectMs));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(Timeouts.TotalMs));
    if (FollowRedirects) {
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    }
    if (!UserName.empty() || !Password.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, UserName.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, Password.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    }
    curl_slist* headers = nullptr;
    if (body) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
        headers = curl_slist_append(headers, ("Content-Type: " + contentType).c_str());
        // No "Expect: 100-continue" round trip before the body.
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }

    std::string failure;
    CURLcode result = CURLE_OK;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        curl_slist_free_all(headers);
        throw EWebError("Cannot start the HTTP request (" + url + ")");
    }
    using Clock = std::chrono::steady_clock;
    auto lastActivity = Clock::now();
    curl_off_t lastMoved = -1;
    for (;;) {
        if (FAborted) {
            failure = "Request aborted";
            break;
        }
        int running = 0;
        CURLMcode code = curl_multi_perform(multi, &running);
        if (code != CURLM_OK) {
            failure = curl_multi_strerror(code);
            break;
        }
        curl_off_t length = -1;
        if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0)
            FContentLength = length;
        if (!running) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left))
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy) result = message->data.result;
            break;
        }
        if (Timeouts.IdleMs > 0) {
            curl_off_t sent = 0;
            curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent);
            const curl_off_t moved = sent + FBytesReceived;
            const auto now = Clock::now();
            if (moved != lastMoved) {
                lastMoved = moved;
                lastActivity = now;
            } else if (now - lastActivity >= std::chrono::milliseconds(Timeouts.IdleMs)) {
                failure = "No data for " + std::to_string(Timeouts.IdleMs) + " ms";
                break;
            }
        }
        code = curl_multi_poll(multi, nullptr, 0, PollMs, nullptr);
        if (code != CURLM_OK) {
            failure = curl_multi_strerror(code);
            break;
        }
    }
    curl_multi_remove_handle(multi, easy);
    curl_slist_free_all(headers);
    long status = 0;
    if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status > 0)
        FStatusCode = static_cast<int>(status);

    if (failure.empty() && result != CURLE_OK) {
        if (FTooLarge)
            failure = "The reply is larger than " + std::to_string(MaxReplySize) + " bytes";
        else if (FSinkRefused)
            failure = "Cannot store the reply";
        else if (FAborted)
            failure = "Request aborted";
        else
            failure = errorText[0] ? errorText : curl_easy_strerror(result);
    }
    if (!failure.empty()) throw EWebError(failure + " (" + url + ")");
}

}  // namespace kelvar
