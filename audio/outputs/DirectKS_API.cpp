#include "audio/outputs/DirectKS_API.h"

#include <mutex>

#include "audio/graph/AudioErrors.h"

namespace kelvar {

namespace {

std::mutex GLock;
TKSDriverFactory GFactory;
IKSDriverPtr GDriver;

void ListDevices(const TGuid& Category, std::vector<std::string>& Names, std::vector<std::string>& Paths) {
    Names.clear();
    Paths.clear();
    if (!LoadDirectKS()) throw EAudioError("Unable to load KS Driver");
    IKSDriverPtr driver = GetKSDriver();
    TKSHandle list = 0;
    if (driver->Filters_Create(list) != 0 || list == 0) throw EAudioError("Unable to create Filter Enumeration");
    try {
        const TGuid categories[2] = {KSCATEGORY_AUDIO, Category};
        if (driver->Filters_Enumerate(list, 1, categories, 2, -1, 0, -1) != 0)
            throw EAudioError("Unable to Enumerate filters");
        int32_t position = 0;
        TKSHandle filter = 0;
        while (driver->Filters_GetNextAudRenFilter(list, position, filter)) {
            if (filter != 0) {
                // One byte more than the driver is told, so the texts always end.
                char path[251] = {};
                char name[251] = {};
                uint32_t pathLength = 250;
                uint32_t nameLength = 250;
                if (driver->Filter_GetInfo(filter, path, pathLength, name, nameLength) == 0) {
                    Names.emplace_back(name);
                    Paths.emplace_back(path);
                }
            }
            if (position == 0) break;
        }
    } catch (...) {
        driver->Filters_Destroy(list);
        throw;
    }
    driver->Filters_Destroy(list);
}

}  // namespace

bool LoadDirectKS() {
    std::lock_guard<std::mutex> guard(GLock);
    if (GDriver) return true;
    GDriver = GFactory ? GFactory() : CreateAlsaKSDriver();
    return GDriver != nullptr;
}

IKSDriverPtr GetKSDriver() {
    std::lock_guard<std::mutex> guard(GLock);
    return GDriver;
}

void SetKSDriverFactory(TKSDriverFactory Factory) {
    std::lock_guard<std::mutex> guard(GLock);
    GFactory = std::move(Factory);
    GDriver.reset();
}

void ListKSRenderDevices(std::vector<std::string>& Names, std::vector<std::string>& Paths) {
    ListDevices(KSCATEGORY_RENDER, Names, Paths);
}

void ListKSCaptureDevices(std::vector<std::string>& Names, std::vector<std::string>& Paths) {
    ListDevices(KSCATEGORY_CAPTURE, Names, Paths);
}

}  // namespace kelvar
