#pragma once
// Posts one XML message with an HTTP POST on a thread of its own; the web logic's asynchronous
// events go through it.
#include <cstdint>
#include <string>

#include "core/web/WebThread.h"

namespace kelvar {

class TPostWeb : public TWebThread {
public:
    // Suspended: set the events, then Resume.
    TPostWeb(std::string url, std::string body);
    ~TPostWeb() override;

    const std::string Body;
    // Replies larger than this fail.
    int64_t MaxReplySize = 1024 * 1024;

protected:
    std::string Perform(THttpClient& client) override;
};

}  // namespace kelvar
