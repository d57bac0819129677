#include "audio/live/AMixer.h"

namespace kelvar {

using namespace platform;

TAudioMixer::TAudioMixer() : FBackend(CreateMixerBackend()) {
    FDeviceCount = FBackend ? FBackend->DeviceCount() : 0;
    if (FDeviceCount > 0) SetMixerId(0);
}

TAudioMixer::~TAudioMixer() { Close(); }

void TAudioMixer::SetMixerId(int Id) {
    if (Id < 0 || Id >= FDeviceCount) return;
    Close();
    const bool opened = FBackend->Open(Id, true) || FBackend->Open(Id, true) || FBackend->Open(Id, false);
    if (!opened) return;
    FMixerId = Id;
    FCaps = TMixerCaps{};
    FBackend->GetCaps(FCaps);
    FManufacturer = FCaps.ManufacturerId == 1 ? "Microsoft" : std::to_string(FCaps.ManufacturerId) + " = Unknown";
    FNumberOfLine = static_cast<int>(FCaps.Destinations);
    for (uint32_t d = 0; d < FCaps.Destinations; ++d) {
        auto dest = std::make_unique<TMixerDestination>();
        // Lines and controls that cannot be read are left out.
        if (!FBackend->GetDestination(d, dest->Line)) continue;
        for (uint32_t s = 0; s < dest->Line.Connections; ++s) {
            auto connection = std::make_unique<TMixerConnection>();
            if (!FBackend->GetSource(d, s, connection->Line)) continue;
            ReadControls(connection->Line.LineId, connection->Controls);
            dest->Connections.Add(std::move(connection));
        }
        ReadControls(dest->Line.LineId, dest->Controls);
        FDestinations.Add(std::move(dest));
    }
}

void TAudioMixer::ReadControls(uint32_t LineId, TMixerControls& Controls) {
    if (!FBackend->GetLineControls(LineId, Controls.Items)) Controls.Items.clear();
}

void TAudioMixer::Close() {
    if (FMixerId >= 0 && FBackend) FBackend->Close();
    FMixerId = -1;
    FDestinations.Clear();
}

uint32_t TAudioMixer::ChannelsOf(const TMixerControl& Control, const TMixerLine& Line) {
    if (Control.Flags & MIXERCONTROL_CONTROLF_UNIFORM) return 1;
    return Line.Channels > 0 ? Line.Channels : 1;
}

bool TAudioMixer::FindLine(int Destination, int Connection, TMixerDestination*& Dest, const TMixerLine*& Line,
                           TMixerControls*& Controls) {
    Dest = FDestinations.GetDestination(Destination);
    if (!Dest) return false;
    Line = &Dest->Line;
    Controls = &Dest->Controls;
    if (Connection >= 0) {
        TMixerConnection* connection = Dest->Connections.GetConnection(Connection);
        if (!connection) return false;
        Line = &connection->Line;
        Controls = &connection->Controls;
    }
    return true;
}

int TAudioMixer::FindItem(const TMixerControl& Control, uint32_t Channels, uint32_t LineId) {
    std::vector<TMixerItemText> texts;
    if (!FBackend->GetItemTexts(Control.ControlId, Channels, Control.Items, texts)) return -1;
    for (size_t at = Channels - 1; at < texts.size(); at += Channels) {
        if (texts[at].Param == LineId) return static_cast<int>(at);
    }
    return -1;
}

bool TAudioMixer::GetVolume(int Destination, int Connection, int& Left, int& Right, int& Mute, bool& Stereo,
                            bool& VolDisabled, bool& MuteDisabled, bool& IsSelect) {
    Left = Right = Mute = -1;
    Stereo = false;
    VolDisabled = MuteDisabled = true;
    IsSelect = false;
    TMixerDestination* dest = nullptr;
    const TMixerLine* line = nullptr;
    TMixerControls* controls = nullptr;
    if (!FindLine(Destination, Connection, dest, line, controls)) return false;
    std::vector<int32_t> values;
    for (const auto& control : controls->Items) {
        if (Left != -1 && Mute != -1) break;
        if (control.Flags & MIXERCONTROL_CONTROLF_MULTIPLE) continue;
        const uint32_t channels = ChannelsOf(control, *line);
        if (control.ControlType == MIXERCONTROL_CONTROLTYPE_VOLUME && Left == -1) {
            if (!FBackend->GetValues(control.ControlId, channels, 1, values) || values.empty()) continue;
            VolDisabled = (control.Flags & MIXERCONTROL_CONTROLF_DISABLED) != 0;
            Left = values[0];
            if (channels >= 2 && values.size() >= 2) {
                Right = values[1];
                Stereo = true;
            } else {
                Right = Left;
            }
        } else if (control.ControlType == MIXERCONTROL_CONTROLTYPE_MUTE && Mute == -1) {
            if (!FBackend->GetValues(control.ControlId, channels, 1, values) || values.empty()) continue;
            MuteDisabled = (control.Flags & MIXERCONTROL_CONTROLF_DISABLED) != 0;
            Mute = values[0] != 0 ? 1 : 0;
        }
    }
    if (Mute == -1 && Connection >= 0) {
        // A source without a mute of its own: its selection in the destination's list.
        for (const auto& control : dest->Controls.Items) {
            if (control.ControlType < MIXERCONTROL_CT_CLASS_LIST) continue;
            const uint32_t channels = ChannelsOf(control, dest->Line);
            const int at = FindItem(control, channels, line->LineId);
            if (at < 0) continue;
            if (!FBackend->GetValues(control.ControlId, channels, control.Items, values) ||
                static_cast<size_t>(at) >= values.size())
                continue;
            Mute = values[static_cast<size_t>(at)];
            MuteDisabled = (control.Flags & MIXERCONTROL_CONTROLF_DISABLED) != 0;
            IsSelect = true;
            break;
        }
    }
    return true;
}

bool TAudioMixer::SetVolume(int Destination, int Connection, int Left, int Right, int Mute) {
    TMixerDestination* dest = nullptr;
    const TMixerLine* line = nullptr;
    TMixerControls* controls = nullptr;
    if (!FindLine(Destination, Connection, dest, line, controls)) return false;
    if (Right == -1 && Left != -1) Right = Left;
    bool volumeDone = Left == -1;
    bool muteDone = Mute == -1;
    bool muteSet = false;
    // Results of writes are not reported.
    for (const auto& control : controls->Items) {
        if (volumeDone && muteDone) break;
        if (control.Flags & MIXERCONTROL_CONTROLF_MULTIPLE) continue;
        const uint32_t channels = ChannelsOf(control, *line);
        if (control.ControlType == MIXERCONTROL_CONTROLTYPE_VOLUME && !volumeDone) {
            std::vector<int32_t> values(channels, Right);
            values[0] = Left;
            FBackend->SetValues(control.ControlId, channels, 1, values);
            volumeDone = true;
        } else if (control.ControlType == MIXERCONTROL_CONTROLTYPE_MUTE && !muteDone) {
            FBackend->SetValues(control.ControlId, channels, 1, std::vector<int32_t>(channels, Mute));
            muteDone = muteSet = true;
        }
    }
    if (Mute != -1 && !muteSet && Connection >= 0) {
        for (const auto& control : dest->Controls.Items) {
            if (control.ControlType != MIXERCONTROL_CONTROLTYPE_MUX &&
                control.ControlType != MIXERCONTROL_CONTROLTYPE_MIXER)
                continue;
            // Only the first list is tried.
            const uint32_t channels = ChannelsOf(control, dest->Line);
            std::vector<int32_t> values;
            if (!FBackend->GetValues(control.ControlId, channels, control.Items, values)) break;
            if (control.ControlType == MIXERCONTROL_CONTROLTYPE_MUX) std::fill(values.begin(), values.end(), 0);
            const int at = FindItem(control, channels, line->LineId);
            if (at >= 0 && static_cast<size_t>(at) < values.size()) {
                values[static_cast<size_t>(at)] = Mute;
                FBackend->SetValues(control.ControlId, channels, control.Items, values);
            }
            break;
        }
    }
    return true;
}

void TAudioMixer::WindowProc(uint32_t Message, uintptr_t MixerHandle, uint32_t Id) {
    if (Message == MixerMessage::LineChange) {
        if (OnLineChange) OnLineChange(*this, MixerHandle, Id);
    } else if (Message == MixerMessage::ControlChange) {
        if (OnControlChange) OnControlChange(*this, MixerHandle, Id);
    }
}

std::vector<pollfd> TAudioMixer::GetPollFds() { return FMixerId >= 0 ? FBackend->PollFds() : std::vector<pollfd>{}; }

void TAudioMixer::HandleNotifications() {
    if (FMixerId < 0) return;
    const uintptr_t handle = FBackend->Handle();
    FBackend->HandleEvents([&](bool Line, uint32_t Id) {
        WindowProc(Line ? MixerMessage::LineChange : MixerMessage::ControlChange, handle, Id);
    });
}

}  // namespace kelvar
