#include "core/web/unGetWeb.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/web/WebErrors.h"

namespace kelvar {

TGetWeb::TGetWeb(std::string url) : TWebThread(std::move(url)) {
    Timeouts.ConnectMs = 10000;
    Timeouts.TotalMs = 0;
    Timeouts.IdleMs = 30000;
}

TGetWeb::~TGetWeb() {
    // The thread must be gone before this part of the object is.
    Stop();
    ReleaseDestination();
}

std::string TGetWeb::Perform(THttpClient& client) {
    client.UserName = UserName;
    client.Password = Password;
    client.FollowRedirects = true;
    std::string memory;
    bool writeFailed = false;
    if (!FileName.empty()) {
        FFile = std::fopen(PartFileName().c_str(), "wb");
        if (!FFile) throw EWebError("Cannot create " + PartFileName() + " (" + std::strerror(errno) + ")");
    } else {
        client.MaxReplySize = MaxMemorySize;
    }
    FBytesReceived = 0;
    client.OnData = [&](const char* data, size_t size) {
        if (FContentLength < 0) FContentLength = client.GetContentLength();
        if (FFile) {
            if (std::fwrite(data, 1, size, FFile) != size) {
                writeFailed = true;
                return false;
            }
        } else {
            memory.append(data, size);
        }
        FBytesReceived += static_cast<int64_t>(size);
        return true;
    };
    try {
        client.Get(URL);
    } catch (const EWebError&) {
        if (writeFailed) throw EWebError("Cannot write " + PartFileName());
        throw;
    }
    if (FContentLength < 0) FContentLength = client.GetContentLength();
    if (!FFile) return memory.empty() ? "Empty result" : memory;

    // The file is complete and closed before anyone hears of it.
    const bool closed = std::fclose(FFile) == 0;
    FFile = nullptr;
    if (!closed) throw EWebError("Cannot write " + PartFileName());
    const int status = client.GetStatusCode();
    std::error_code ec;
    if (status >= 200 && status < 300) {
        std::filesystem::rename(PartFileName(), FileName, ec);
        if (ec) throw EWebError("Cannot write " + FileName + " (" + ec.message() + ")");
    } else {
        std::filesystem::remove(PartFileName(), ec);
    }
    return FBytesReceived == 0 ? "Empty result" : "Data was saved to file: " + FileName;
}

void TGetWeb::ReleaseDestination() {
    if (!FFile) return;
    std::fclose(FFile);
    FFile = nullptr;
    std::error_code ec;
    std::filesystem::remove(PartFileName(), ec);
}

}  // namespace kelvar
