#include "core/web/unPostWeb.h"

namespace kelvar {

TPostWeb::TPostWeb(std::string url, std::string body) : TWebThread(std::move(url)), Body(std::move(body)) {}

TPostWeb::~TPostWeb() { Stop(); }

std::string TPostWeb::Perform(THttpClient& client) {
    std::string reply;
    client.MaxReplySize = MaxReplySize;
    client.OnData = [&](const char* data, size_t size) {
        reply.append(data, size);
        return true;
    };
    client.Post(URL, Body, "text/xml");
    return reply.empty() ? "Empty result" : reply;
}

}  // namespace kelvar
