#include "platform/alsa/AlsaMixer.h"

#include <alsa/asoundlib.h>
#include <strings.h>
#include <algorithm>
#include <cmath>

namespace kelvar::platform {

namespace {

enum TKind : uint32_t { KindVolume = 0, KindMute = 1, KindList = 2 };

constexpr uint32_t LineIdOf(uint32_t Destination, uint32_t SourcePlusOne) {
    return Destination * 65536 + SourcePlusOne;
}
constexpr uint32_t ControlIdOf(uint32_t LineId, TKind Kind) { return LineId * 4 + Kind; }

constexpr snd_mixer_selem_channel_id_t ChannelOf(uint32_t Index) {
    return Index == 0 ? SND_MIXER_SCHN_FRONT_LEFT : SND_MIXER_SCHN_FRONT_RIGHT;
}

struct TLineMap {
    TMixerLine Info;
    snd_mixer_elem_t* Elem = nullptr;  // none for a list item without an element of its own
    bool Capture = false;
    std::vector<TMixerControl> Controls;
};

class TAlsaMixerBackend : public IMixerBackend {
public:
    TAlsaMixerBackend() {
        int card = -1;
        while (snd_card_next(&card) >= 0 && card >= 0) FCards.push_back(card);
    }
    ~TAlsaMixerBackend() override { Close(); }

    int DeviceCount() override { return static_cast<int>(FCards.size()); }

    bool Open(int Id, bool Notify) override {
        Close();
        if (Id < 0 || Id >= DeviceCount()) return false;
        const int card = FCards[static_cast<size_t>(Id)];
        const std::string name = "hw:" + std::to_string(card);
        if (snd_mixer_open(&FMixer, 0) < 0) {
            FMixer = nullptr;
            return false;
        }
        if (snd_mixer_attach(FMixer, name.c_str()) < 0 || snd_mixer_selem_register(FMixer, nullptr, nullptr) < 0 ||
            snd_mixer_load(FMixer) < 0) {
            snd_mixer_close(FMixer);
            FMixer = nullptr;
            return false;
        }
        FCard = card;
        char* cardName = nullptr;
        FCardName = snd_card_get_name(card, &cardName) >= 0 && cardName ? cardName : name;
        free(cardName);
        Build();
        FNotify = Notify;
        if (Notify) {
            snd_mixer_set_callback_private(FMixer, this);
            snd_mixer_set_callback(FMixer, &MixerCallback);
            for (auto* e = snd_mixer_first_elem(FMixer); e; e = snd_mixer_elem_next(e)) Watch(e);
        }
        return true;
    }

    void Close() override {
        if (FMixer) snd_mixer_close(FMixer);
        FMixer = nullptr;
        FCard = -1;
        FDest.clear();
        FSources.clear();
        FListElem = nullptr;
        FListEnum = false;
        FListItems.clear();
        FListLines.clear();
        FPending.clear();
        FNotify = false;
    }

    uintptr_t Handle() override { return reinterpret_cast<uintptr_t>(FMixer); }

    bool GetCaps(TMixerCaps& Caps) override {
        if (!FMixer) return false;
        Caps.ManufacturerId = 0;  // ALSA knows no manufacturer numbers
        Caps.ProductId = static_cast<uint16_t>(FCard);
        Caps.DriverVersion = SND_LIB_VERSION;
        Caps.ProductName = FCardName;
        Caps.Destinations = static_cast<uint32_t>(FDest.size());
        return true;
    }

    bool GetDestination(uint32_t Index, TMixerLine& Line) override {
        if (Index >= FDest.size()) return false;
        Line = FDest[Index].Info;
        return true;
    }

    bool GetSource(uint32_t Destination, uint32_t Index, TMixerLine& Line) override {
        if (Destination >= FSources.size() || Index >= FSources[Destination].size()) return false;
        Line = FSources[Destination][Index].Info;
        return true;
    }

    bool GetLineControls(uint32_t LineId, std::vector<TMixerControl>& Controls) override {
        const TLineMap* line = FindLine(LineId);
        if (!line) return false;
        Controls = line->Controls;
        return true;
    }

    bool GetValues(uint32_t ControlId, uint32_t Channels, uint32_t Items, std::vector<int32_t>& Values) override {
        const TLineMap* line = FindLine(ControlId / 4);
        if (!line || Channels == 0) return false;
        const auto kind = static_cast<TKind>(ControlId % 4);
        if (kind == KindList) {
            Values.assign(static_cast<size_t>(Channels) * Items, 0);
            for (uint32_t k = 0; k < Items && k < FListItems.size(); ++k) {
                const int on = ItemSelected(k) ? 1 : 0;
                for (uint32_t c = 0; c < Channels; ++c) Values[k * Channels + c] = on;
            }
            return true;
        }
        if (!line->Elem) return false;
        Values.assign(Channels, 0);
        for (uint32_t c = 0; c < Channels; ++c) {
            const auto ch = ChannelOf(c);
            if (kind == KindVolume) {
                long v = 0, lo = 0, hi = 0;
                if (line->Capture) {
                    snd_mixer_selem_get_capture_volume_range(line->Elem, &lo, &hi);
                    snd_mixer_selem_get_capture_volume(line->Elem, ch, &v);
                } else {
                    snd_mixer_selem_get_playback_volume_range(line->Elem, &lo, &hi);
                    snd_mixer_selem_get_playback_volume(line->Elem, ch, &v);
                }
                Values[c] = hi > lo ? static_cast<int32_t>(std::lround((v - lo) * 65535.0 / (hi - lo))) : 0;
            } else {
                int on = 1;
                if (line->Capture)
                    snd_mixer_selem_get_capture_switch(line->Elem, ch, &on);
                else
                    snd_mixer_selem_get_playback_switch(line->Elem, ch, &on);
                Values[c] = on ? 0 : 1;
            }
        }
        return true;
    }

    bool GetItemTexts(uint32_t ControlId, uint32_t Channels, uint32_t Items,
                      std::vector<TMixerItemText>& Texts) override {
        if (ControlId % 4 != KindList || !FindLine(ControlId / 4) || Channels == 0) return false;
        Texts.assign(static_cast<size_t>(Channels) * Items, TMixerItemText{});
        for (uint32_t k = 0; k < Items && k < FListItems.size(); ++k) {
            for (uint32_t c = 0; c < Channels; ++c) Texts[k * Channels + c] = FListItems[k];
        }
        return true;
    }

    bool SetValues(uint32_t ControlId, uint32_t Channels, uint32_t Items, const std::vector<int32_t>& Values) override {
        const TLineMap* line = FindLine(ControlId / 4);
        if (!line || Channels == 0 || Values.size() < Channels) return false;
        const auto kind = static_cast<TKind>(ControlId % 4);
        if (kind == KindList) return SetList(Channels, Items, Values);
        if (!line->Elem) return false;
        for (uint32_t c = 0; c < Channels; ++c) {
            const auto ch = ChannelOf(c);
            const bool all = Channels == 1;
            if (kind == KindVolume) {
                long lo = 0, hi = 0;
                if (line->Capture)
                    snd_mixer_selem_get_capture_volume_range(line->Elem, &lo, &hi);
                else
                    snd_mixer_selem_get_playback_volume_range(line->Elem, &lo, &hi);
                const long raw =
                    lo + std::lround(std::clamp(Values[c], 0, 65535) * static_cast<double>(hi - lo) / 65535.0);
                if (line->Capture) {
                    all ? snd_mixer_selem_set_capture_volume_all(line->Elem, raw)
                        : snd_mixer_selem_set_capture_volume(line->Elem, ch, raw);
                } else {
                    all ? snd_mixer_selem_set_playback_volume_all(line->Elem, raw)
                        : snd_mixer_selem_set_playback_volume(line->Elem, ch, raw);
                }
            } else {
                const int on = Values[c] ? 0 : 1;
                if (line->Capture) {
                    all ? snd_mixer_selem_set_capture_switch_all(line->Elem, on)
                        : snd_mixer_selem_set_capture_switch(line->Elem, ch, on);
                } else {
                    all ? snd_mixer_selem_set_playback_switch_all(line->Elem, on)
                        : snd_mixer_selem_set_playback_switch(line->Elem, ch, on);
                }
            }
        }
        return true;
    }

    std::vector<pollfd> PollFds() override {
        std::vector<pollfd> fds;
        if (!FMixer || !FNotify) return fds;
        const int count = snd_mixer_poll_descriptors_count(FMixer);
        if (count <= 0) return fds;
        fds.resize(static_cast<size_t>(count));
        if (snd_mixer_poll_descriptors(FMixer, fds.data(), static_cast<unsigned>(count)) < 0) fds.clear();
        return fds;
    }

    void HandleEvents(const TNotify& Notify) override {
        if (!FMixer) return;
        snd_mixer_handle_events(FMixer);
        auto pending = std::move(FPending);
        FPending.clear();
        for (const auto& [lineChange, id] : pending) {
            if (Notify) Notify(lineChange, id);
        }
    }

private:
    static bool SameName(const char* A, const std::string& B) { return strcasecmp(A, B.c_str()) == 0; }

    static TMixerControl MakeControl(uint32_t LineId, TKind Kind, bool Uniform, const char* Name) {
        TMixerControl control;
        control.ControlId = ControlIdOf(LineId, Kind);
        control.ControlType = Kind == KindVolume ? MIXERCONTROL_CONTROLTYPE_VOLUME : MIXERCONTROL_CONTROLTYPE_MUTE;
        control.Flags = Uniform ? MIXERCONTROL_CONTROLF_UNIFORM : 0;
        control.Minimum = 0;
        control.Maximum = Kind == KindVolume ? 65535 : 1;
        control.Name = Name;
        return control;
    }

    // A line of Elem; Capture picks the side; Mute: give it a mute control when it can.
    static TLineMap MakeLine(snd_mixer_elem_t* Elem, uint32_t Destination, uint32_t SourcePlusOne, bool Capture,
                             bool Mute) {
        TLineMap line;
        line.Elem = Elem;
        line.Capture = Capture;
        line.Info.Destination = Destination;
        line.Info.Source = SourcePlusOne > 0 ? SourcePlusOne - 1 : 0;
        line.Info.LineId = LineIdOf(Destination, SourcePlusOne);
        line.Info.Name = Elem ? snd_mixer_selem_get_name(Elem) : (Capture ? "Capture" : "Master");
        line.Info.ShortName = line.Info.Name.substr(0, 15);
        if (!Elem) {
            line.Info.Channels = 2;
            return line;
        }
        const bool mono = Capture ? snd_mixer_selem_is_capture_mono(Elem) : snd_mixer_selem_is_playback_mono(Elem);
        line.Info.Channels = mono ? 1 : 2;
        const bool volume =
            Capture ? snd_mixer_selem_has_capture_volume(Elem) : snd_mixer_selem_has_playback_volume(Elem);
        const bool sw = Capture ? snd_mixer_selem_has_capture_switch(Elem) : snd_mixer_selem_has_playback_switch(Elem);
        const bool joined = Capture ? snd_mixer_selem_has_capture_switch_joined(Elem)
                                    : snd_mixer_selem_has_playback_switch_joined(Elem);
        if (volume) line.Controls.push_back(MakeControl(line.Info.LineId, KindVolume, mono, "Volume"));
        if (Mute && sw) line.Controls.push_back(MakeControl(line.Info.LineId, KindMute, mono || joined, "Mute"));
        return line;
    }

    void Build() {
        std::vector<snd_mixer_elem_t*> elems;
        for (auto* e = snd_mixer_first_elem(FMixer); e; e = snd_mixer_elem_next(e)) {
            if (snd_mixer_selem_is_active(e)) elems.push_back(e);
        }
        auto find = [&](auto Predicate) -> snd_mixer_elem_t* {
            for (auto* e : elems) {
                if (Predicate(e)) return e;
            }
            return nullptr;
        };
        // Playback.
        snd_mixer_elem_t* master = find([](snd_mixer_elem_t* e) {
            return SameName(snd_mixer_selem_get_name(e), "Master") &&
                   (snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e));
        });
        if (!master) master = find([](snd_mixer_elem_t* e) { return snd_mixer_selem_has_playback_volume(e) != 0; });
        FDest.push_back(MakeLine(master, 0, 0, false, true));
        FSources.emplace_back();
        for (auto* e : elems) {
            if (e == master || !(snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e)))
                continue;
            FSources[0].push_back(MakeLine(e, 0, static_cast<uint32_t>(FSources[0].size()) + 1, false, true));
        }
        // Recording.
        snd_mixer_elem_t* capture = find([](snd_mixer_elem_t* e) {
            return SameName(snd_mixer_selem_get_name(e), "Capture") &&
                   (snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_has_capture_switch(e));
        });
        snd_mixer_elem_t* sourceEnum =
            find([](snd_mixer_elem_t* e) { return snd_mixer_selem_is_enum_capture(e) != 0; });
        std::vector<TLineMap> sources;
        for (auto* e : elems) {
            if (e == capture || e == sourceEnum || snd_mixer_selem_is_enumerated(e)) continue;
            if (!(snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_has_capture_switch(e))) continue;
            sources.push_back(MakeLine(e, 1, static_cast<uint32_t>(sources.size()) + 1, true, false));
        }
        if (!capture && !sourceEnum && sources.empty()) {
            FDest[0].Info.Connections = static_cast<uint32_t>(FSources[0].size());
            return;
        }
        TLineMap dest = MakeLine(capture, 1, 0, true, true);
        TMixerControl list;
        list.ControlId = ControlIdOf(dest.Info.LineId, KindList);
        list.Flags = MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_MULTIPLE;
        list.Name = "Recording source";
        if (sourceEnum) {
            FListElem = sourceEnum;
            FListEnum = true;
            list.ControlType = MIXERCONTROL_CONTROLTYPE_MUX;
            const int items = snd_mixer_selem_get_enum_items(sourceEnum);
            for (int k = 0; k < items; ++k) {
                char text[64] = {};
                snd_mixer_selem_get_enum_item_name(sourceEnum, static_cast<unsigned>(k), sizeof(text) - 1, text);
                auto it = std::find_if(sources.begin(), sources.end(),
                                       [&](const TLineMap& s) { return SameName(text, s.Info.Name); });
                if (it == sources.end()) {
                    TLineMap item;
                    item.Capture = true;
                    item.Info.Destination = 1;
                    item.Info.Source = static_cast<uint32_t>(sources.size());
                    item.Info.LineId = LineIdOf(1, static_cast<uint32_t>(sources.size()) + 1);
                    item.Info.Name = text;
                    item.Info.ShortName = item.Info.Name.substr(0, 15);
                    sources.push_back(item);
                    it = sources.end() - 1;
                }
                FListItems.push_back({it->Info.LineId, text});
                FListLines.push_back(it->Elem);
            }
        } else {
            list.ControlType = MIXERCONTROL_CONTROLTYPE_MIXER;
            for (const auto& s : sources) {
                if (!snd_mixer_selem_has_capture_switch(s.Elem)) continue;
                FListItems.push_back({s.Info.LineId, s.Info.Name});
                FListLines.push_back(s.Elem);
            }
        }
        list.Items = static_cast<uint32_t>(FListItems.size());
        list.Maximum = 1;
        if (list.Items > 0) dest.Controls.push_back(list);
        FDest.push_back(dest);
        FSources.push_back(std::move(sources));
        for (uint32_t d = 0; d < FDest.size(); ++d) {
            FDest[d].Info.Connections = static_cast<uint32_t>(FSources[d].size());
            FDest[d].Info.ControlCount = static_cast<uint32_t>(FDest[d].Controls.size());
            for (auto& s : FSources[d]) s.Info.ControlCount = static_cast<uint32_t>(s.Controls.size());
        }
    }

    bool ItemSelected(uint32_t Item) {
        if (FListEnum) {
            unsigned int index = 0;
            return FListElem && snd_mixer_selem_get_enum_item(FListElem, SND_MIXER_SCHN_FRONT_LEFT, &index) >= 0 &&
                   index == Item;
        }
        int on = 0;
        return FListLines[Item] &&
               snd_mixer_selem_get_capture_switch(FListLines[Item], SND_MIXER_SCHN_FRONT_LEFT, &on) >= 0 && on != 0;
    }

    bool SetList(uint32_t Channels, uint32_t Items, const std::vector<int32_t>& Values) {
        for (uint32_t k = 0; k < Items && k < FListItems.size(); ++k) {
            const size_t at = static_cast<size_t>(k) * Channels + Channels - 1;
            if (at >= Values.size()) break;
            if (FListEnum) {
                if (Values[at] == 0) continue;
                if (!FListElem) return false;
                for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
                    if (snd_mixer_selem_set_enum_item(FListElem, static_cast<snd_mixer_selem_channel_id_t>(c), k) < 0)
                        break;
                }
                return true;
            }
            if (FListLines[k]) snd_mixer_selem_set_capture_switch_all(FListLines[k], Values[at] ? 1 : 0);
        }
        return true;
    }

    const TLineMap* FindLine(uint32_t LineId) const {
        for (const auto& d : FDest) {
            if (d.Info.LineId == LineId) return &d;
        }
        for (const auto& sources : FSources) {
            for (const auto& s : sources) {
                if (s.Info.LineId == LineId) return &s;
            }
        }
        return nullptr;
    }

    void Watch(snd_mixer_elem_t* Elem) {
        snd_mixer_elem_set_callback_private(Elem, this);
        snd_mixer_elem_set_callback(Elem, &ElemCallback);
    }

    void ElementChanged(snd_mixer_elem_t* Elem, unsigned int Mask) {
        const bool removed = Mask == SND_CTL_EVENT_MASK_REMOVE;
        const bool lineChange = removed || (Mask & (SND_CTL_EVENT_MASK_INFO | SND_CTL_EVENT_MASK_ADD));
        auto report = [&](TLineMap& Line) {
            // ALSA frees a removed element after this call: the line keeps its place in the
            // tree, but its reads and writes fail from now on.
            if (removed) Line.Elem = nullptr;
            if (lineChange) {
                FPending.push_back({true, Line.Info.LineId});
                return;
            }
            for (const auto& control : Line.Controls) FPending.push_back({false, control.ControlId});
        };
        for (auto& d : FDest) {
            if (d.Elem == Elem) report(d);
        }
        for (auto& sources : FSources) {
            for (auto& s : sources) {
                if (s.Elem == Elem) report(s);
            }
        }
        const bool inList =
            Elem == FListElem || std::find(FListLines.begin(), FListLines.end(), Elem) != FListLines.end();
        if (removed) {
            if (FListElem == Elem) FListElem = nullptr;
            std::replace(FListLines.begin(), FListLines.end(), Elem, static_cast<snd_mixer_elem_t*>(nullptr));
        }
        if (inList && !lineChange && FDest.size() > 1)
            FPending.push_back({false, ControlIdOf(FDest[1].Info.LineId, KindList)});
    }

    static int ElemCallback(snd_mixer_elem_t* Elem, unsigned int Mask) {
        if (auto* self = static_cast<TAlsaMixerBackend*>(snd_mixer_elem_get_callback_private(Elem)))
            self->ElementChanged(Elem, Mask);
        return 0;
    }

    static int MixerCallback(snd_mixer_t* Mixer, unsigned int Mask, snd_mixer_elem_t* Elem) {
        auto* self = static_cast<TAlsaMixerBackend*>(snd_mixer_get_callback_private(Mixer));
        if (self && (Mask & SND_CTL_EVENT_MASK_ADD)) {
            self->Watch(Elem);
            self->FPending.push_back({true, 0});
        }
        return 0;
    }

    std::vector<int> FCards;
    snd_mixer_t* FMixer = nullptr;
    int FCard = -1;
    std::string FCardName;
    bool FNotify = false;
    std::vector<TLineMap> FDest;
    std::vector<std::vector<TLineMap>> FSources;
    snd_mixer_elem_t* FListElem = nullptr;  // the capture-source enumeration, when used
    bool FListEnum = false;                 // the list is that enumeration (it may be gone since)
    std::vector<TMixerItemText> FListItems;
    std::vector<snd_mixer_elem_t*> FListLines;  // the element of each list item (may be none)
    std::vector<std::pair<bool, uint32_t>> FPending;
};

}  // namespace

IMixerBackendPtr CreateAlsaMixerBackend() { return std::make_shared<TAlsaMixerBackend>(); }

}  // namespace kelvar::platform
