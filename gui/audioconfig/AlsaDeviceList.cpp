#include "gui/audioconfig/AlsaDeviceList.h"

#include <alsa/asoundlib.h>

#include <stdexcept>

#include "audio/outputs/DirectKS_API.h"

namespace kelvar {

namespace {

std::function<TOutputDeviceList()>& Lister(int OutputType) {
    static std::function<TOutputDeviceList()> shared;
    static std::function<TOutputDeviceList()> direct;
    return OutputType == 2 ? direct : shared;
}

std::string Hint(void* H, const char* Id) {
    char* value = snd_device_name_get_hint(H, Id);
    if (!value) return {};
    std::string text = value;
    free(value);
    return text;
}

}  // namespace

TOutputDeviceList ListSharedOutputDevices() {
    TOutputDeviceList list;
    list.Names.push_back("Primary Sound Driver");
    list.IDs.push_back("");
    void** hints = nullptr;
    const int result = snd_device_name_hint(-1, "pcm", &hints);
    if (result < 0) throw std::runtime_error(snd_strerror(result));
    for (void** h = hints; *h; ++h) {
        const std::string name = Hint(*h, "NAME");
        const std::string io = Hint(*h, "IOID");
        if (name.empty() || name == "null" || name == "default" || (!io.empty() && io != "Output")) continue;
        std::string description = Hint(*h, "DESC");
        for (auto& c : description)
            if (c == '\n') c = ' ';
        list.Names.push_back(description.empty() ? name : description + " (" + name + ")");
        list.IDs.push_back(name);
    }
    snd_device_name_free_hint(hints);
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
