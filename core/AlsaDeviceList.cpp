#include "core/AlsaDeviceList.h"

#include "audio/outputs/DirectKS_API.h"
#include "platform/alsa/AlsaPcm.h"

namespace kelvar {

namespace {

std::function<TOutputDeviceList()>& Lister(int OutputType) {
    static std::function<TOutputDeviceList()> shared;
    static std::function<TOutputDeviceList()> direct;
    return OutputType == 2 ? direct : shared;
}

}  // namespace

TOutputDeviceList ListSharedOutputDevices() {
    TOutputDeviceList list;
    list.Names.push_back("Primary Sound Driver");
    list.IDs.push_back("");
    platform::ListPcmHints(false, list.Names, list.IDs);
    return list;
}

TOutputDeviceList ListDirectOutputDevices() {
    TOutputDeviceList list;
    ListKSRenderDevices(list.Names, list.IDs);
    return list;
}

void SetOutputDeviceLister(int OutputType, std::function<TOutputDeviceList()> Function) {
    Lister(OutputType) = std::move(Function);
}

TOutputDeviceList ListOutputDevices(int OutputType) {
    if (Lister(OutputType)) return Lister(OutputType)();
    return OutputType == 2 ? ListDirectOutputDevices() : ListSharedOutputDevices();
}

}  // namespace kelvar
