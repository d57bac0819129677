#pragma once
// Downloads one address with an HTTP GET on a thread of its own, into memory or into a file, and
// reports the result through the events of TWebThread. Windows use it for lookup pages and
// pictures and stop it when they close.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/web/WebThread.h"

namespace kelvar {

class TGetWeb : public TWebThread {
public:
    // Suspended: set the fields, then Resume. Connect and idle time-outs, no total one, so that
    // a large download may take its time but a stalled server does not keep the thread.
    explicit TGetWeb(std::string url);
    ~TGetWeb() override;

    // Not empty: the download goes into this file, which is replaced only by a complete 2xx
    // answer (an error page or a broken transfer leaves the old file as it was).
    std::string FileName;
    std::string UserName;
    std::string Password;
    // Bound of a download into memory; larger answers fail.
    int64_t MaxMemorySize = 16 * 1024 * 1024;

    // -1 before the download starts.
    int64_t GetBytesReceived() const { return FBytesReceived; }
    // -1 until known.
    int64_t GetContentLength() const { return FContentLength; }

protected:
    std::string Perform(THttpClient& client) override;
    void ReleaseDestination() override;

private:
    std::string PartFileName() const { return FileName + ".part"; }

    std::atomic<int64_t> FBytesReceived{-1};
    std::atomic<int64_t> FContentLength{-1};
    std::FILE* FFile = nullptr;
};

}  // namespace kelvar
