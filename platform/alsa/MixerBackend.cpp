#include "platform/alsa/MixerBackend.h"

#include <algorithm>
#include <mutex>

#include "platform/alsa/AlsaMixer.h"

namespace kelvar::platform {

namespace {

std::mutex GFactoryLock;
std::function<IMixerBackendPtr()> GFactory;

class TMemoryMixerBackend : public IMixerBackend {
public:
    explicit TMemoryMixerBackend(TMemoryMixerModelPtr Model) : FModel(std::move(Model)) {}

    int DeviceCount() override { return static_cast<int>(FModel->Devices.size()); }

    bool Open(int Id, bool Notify) override {
        Close();
        if (Id < 0 || Id >= DeviceCount()) return false;
        auto& device = FModel->Devices[static_cast<size_t>(Id)];
        if (device.FailOpens > 0) {
            --device.FailOpens;
            return false;
        }
        if (Notify && device.FailNotifyOpens > 0) {
            --device.FailNotifyOpens;
            return false;
        }
        FModel->OpenedWithNotify = Notify ? 1 : 0;
        FDevice = &device;
        FId = Id;
        return true;
    }
    void Close() override {
        FDevice = nullptr;
        FId = -1;
    }
    uintptr_t Handle() override { return FDevice ? static_cast<uintptr_t>(FId + 1) : 0; }

    bool GetCaps(TMixerCaps& Caps) override {
        if (!FDevice) return false;
        Caps = FDevice->Caps;
        Caps.Destinations = static_cast<uint32_t>(FDevice->Destinations.size());
        return true;
    }
    bool GetDestination(uint32_t Index, TMixerLine& Line) override {
        if (!FDevice || Index >= FDevice->Destinations.size()) return false;
        Line = FDevice->Destinations[Index].Info;
        Line.Destination = Index;
        Line.Connections = Index < FDevice->Sources.size() ? static_cast<uint32_t>(FDevice->Sources[Index].size()) : 0;
        Line.ControlCount = static_cast<uint32_t>(FDevice->Destinations[Index].Controls.size());
        return true;
    }
    bool GetSource(uint32_t Destination, uint32_t Index, TMixerLine& Line) override {
        if (!FDevice || Destination >= FDevice->Sources.size() || Index >= FDevice->Sources[Destination].size())
            return false;
        const auto& line = FDevice->Sources[Destination][Index];
        Line = line.Info;
        Line.Destination = Destination;
        Line.Source = Index;
        Line.ControlCount = static_cast<uint32_t>(line.Controls.size());
        return true;
    }
    bool GetLineControls(uint32_t LineId, std::vector<TMixerControl>& Controls) override {
        Controls.clear();
        if (!FDevice) return false;
        auto* line = TMemoryMixerModel::FindLine(*FDevice, LineId);
        if (!line) return false;
        for (const auto& control : line->Controls) Controls.push_back(control.Info);
        return true;
    }
    bool GetValues(uint32_t ControlId, uint32_t Channels, uint32_t Items, std::vector<int32_t>& Values) override {
        auto* control = Find(ControlId);
        if (!control || Channels == 0) return false;
        const bool list = control->Info.ControlType >= MIXERCONTROL_CT_CLASS_LIST;
        const uint32_t items = list ? std::max<uint32_t>(Items, 1) : 1;
        Values.assign(static_cast<size_t>(Channels) * items, 0);
        for (uint32_t k = 0; k < items; ++k) {
            for (uint32_t c = 0; c < Channels; ++c) {
                const size_t from = list ? k : std::min<size_t>(c, control->Values.size() - 1);
                if (from < control->Values.size()) Values[k * Channels + c] = control->Values[from];
            }
        }
        return !control->Values.empty();
    }
    bool GetItemTexts(uint32_t ControlId, uint32_t Channels, uint32_t Items,
                      std::vector<TMixerItemText>& Texts) override {
        auto* control = Find(ControlId);
        if (!control || Channels == 0) return false;
        Texts.assign(static_cast<size_t>(Channels) * Items, TMixerItemText{});
        for (uint32_t k = 0; k < Items && k < control->Items.size(); ++k) {
            for (uint32_t c = 0; c < Channels; ++c) Texts[k * Channels + c] = control->Items[k];
        }
        return true;
    }
    bool SetValues(uint32_t ControlId, uint32_t Channels, uint32_t Items, const std::vector<int32_t>& Values) override {
        auto* control = Find(ControlId);
        if (!control || Channels == 0) return false;
        const bool list = control->Info.ControlType >= MIXERCONTROL_CT_CLASS_LIST;
        if (list) {
            for (uint32_t k = 0; k < Items && k < control->Values.size(); ++k) {
                const size_t at = static_cast<size_t>(k) * Channels + Channels - 1;
                if (at < Values.size()) control->Values[k] = Values[at];
            }
        } else {
            for (size_t c = 0; c < control->Values.size(); ++c) {
                const size_t from =
                    (control->Info.Flags & MIXERCONTROL_CONTROLF_UNIFORM) ? 0 : std::min<size_t>(c, Channels - 1);
                if (from < Values.size()) control->Values[c] = Values[from];
            }
        }
        ++control->Writes;
        return true;
    }
    std::vector<pollfd> PollFds() override { return {}; }
    void HandleEvents(const TNotify& Notify) override {
        auto pending = std::move(FModel->Pending);
        FModel->Pending.clear();
        for (const auto& [line, id] : pending) {
            if (Notify) Notify(line, id);
        }
    }

private:
    TMemoryMixerModel::TControl* Find(uint32_t ControlId) {
        return FDevice ? TMemoryMixerModel::FindControl(*FDevice, ControlId) : nullptr;
    }

    TMemoryMixerModelPtr FModel;
    TMemoryMixerModel::TDevice* FDevice = nullptr;
    int FId = -1;
};

}  // namespace

TMemoryMixerModel::TControl* TMemoryMixerModel::FindControl(TDevice& Device, uint32_t ControlId) {
    auto search = [&](std::vector<TLine>& Lines) -> TControl* {
        for (auto& line : Lines) {
            for (auto& control : line.Controls) {
                if (control.Info.ControlId == ControlId) return &control;
            }
        }
        return nullptr;
    };
    if (auto* control = search(Device.Destinations)) return control;
    for (auto& sources : Device.Sources) {
        if (auto* control = search(sources)) return control;
    }
    return nullptr;
}

TMemoryMixerModel::TLine* TMemoryMixerModel::FindLine(TDevice& Device, uint32_t LineId) {
    for (auto& line : Device.Destinations) {
        if (line.Info.LineId == LineId) return &line;
    }
    for (auto& sources : Device.Sources) {
        for (auto& line : sources) {
            if (line.Info.LineId == LineId) return &line;
        }
    }
    return nullptr;
}

IMixerBackendPtr CreateMemoryMixerBackend(TMemoryMixerModelPtr Model) {
    return std::make_shared<TMemoryMixerBackend>(std::move(Model));
}

IMixerBackendPtr CreateMixerBackend() {
    {
        std::lock_guard<std::mutex> guard(GFactoryLock);
        if (GFactory) return GFactory();
    }
    return CreateAlsaMixerBackend();
}

void SetMixerBackendFactory(std::function<IMixerBackendPtr()> Factory) {
    std::lock_guard<std::mutex> guard(GFactoryLock);
    GFactory = std::move(Factory);
}

}  // namespace kelvar::platform
