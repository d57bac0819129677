// Mixer line access over the in-memory mixer backend (no sound card here), and the ALSA
// backend's "no device" road.
#include <gtest/gtest.h>

#include "audio/live/AMixer.h"

namespace kelvar {
namespace {

using namespace platform;
using TModel = TMemoryMixerModel;

TModel::TControl Control(uint32_t Id, uint32_t Type, uint32_t Flags, std::vector<int32_t> Values) {
    TModel::TControl c;
    c.Info.ControlId = Id;
    c.Info.ControlType = Type;
    c.Info.Flags = Flags;
    c.Values = std::move(Values);
    return c;
}

TModel::TLine Line(uint32_t LineId, uint32_t Channels, const char* Name, std::vector<TModel::TControl> Controls) {
    TModel::TLine l;
    l.Info.LineId = LineId;
    l.Info.Channels = Channels;
    l.Info.Name = Name;
    l.Controls = std::move(Controls);
    return l;
}

// A card: playback (stereo volume, mute) with a mono "Aux" source; recording with a list over
// "Mic" and "Line", which have no mute of their own.
TModel::TDevice Card(uint32_t ListType, uint16_t Manufacturer = 1) {
    TModel::TDevice d;
    d.Caps.ManufacturerId = Manufacturer;
    d.Caps.ProductName = "Test card";
    d.Caps.ProductId = 7;
    d.Destinations.push_back(Line(0, 2, "Master",
                                  {Control(1, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, {40000, 30000}),
                                   Control(2, MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM, {0})}));
    auto list = Control(11, ListType, MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_MULTIPLE, {1, 0});
    list.Info.Items = 2;
    list.Items = {{0x10001, "Mic"}, {0x10002, "Line"}};
    d.Destinations.push_back(
        Line(0x10000, 2, "Capture", {Control(10, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, {5, 5}), list}));
    d.Sources.push_back({Line(1, 1, "Aux",
                              {Control(3, MIXERCONTROL_CONTROLTYPE_VOLUME, MIXERCONTROL_CONTROLF_UNIFORM, {1000}),
                               Control(4, MIXERCONTROL_CONTROLTYPE_MUTE,
                                       MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_DISABLED, {1})})});
    d.Sources.push_back({Line(0x10001, 2, "Mic", {Control(12, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, {100, 200})}),
                         Line(0x10002, 2, "Line", {Control(13, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, {300, 400})})});
    return d;
}

class AudioMixer : public ::testing::Test {
protected:
    void SetUp() override {
        Model = std::make_shared<TModel>();
        SetMixerBackendFactory([m = Model] { return CreateMemoryMixerBackend(m); });
    }
    void TearDown() override { SetMixerBackendFactory(nullptr); }
    TModel::TControl& ControlOf(int Device, uint32_t Id) { return *TModel::FindControl(Model->Devices[Device], Id); }

    TMemoryMixerModelPtr Model;
};

struct TVolume {
    int Left = 0, Right = 0, Mute = 0;
    bool Stereo = false, VolDisabled = false, MuteDisabled = false, IsSelect = false;
    bool Result = false;
};

TVolume Get(TAudioMixer& Mixer, int Destination, int Connection) {
    TVolume v;
    v.Result = Mixer.GetVolume(Destination, Connection, v.Left, v.Right, v.Mute, v.Stereo, v.VolDisabled,
                               v.MuteDisabled, v.IsSelect);
    return v;
}

TEST(AudioMixerAlsa, NoSoundCardMeansNoDevice) {
    TAudioMixer mixer;  // the ALSA backend
    if (mixer.DeviceCount() > 0) GTEST_SKIP() << "this machine has a sound card";
    EXPECT_EQ(mixer.MixerId(), -1);
    EXPECT_EQ(mixer.Destinations().Count(), 0);
    mixer.SetMixerId(0);
    EXPECT_EQ(mixer.MixerId(), -1);
    const TVolume v = Get(mixer, 0, -1);
    EXPECT_FALSE(v.Result);
    EXPECT_EQ(v.Left, -1);
    EXPECT_EQ(v.Mute, -1);
    EXPECT_TRUE(v.VolDisabled);
    EXPECT_FALSE(mixer.SetVolume(0, -1, 100, 100, 0));
    EXPECT_TRUE(mixer.GetPollFds().empty());
    mixer.HandleNotifications();
}

TEST_F(AudioMixer, OpensTheFirstDeviceAndReadsItsTree) {
    Model->Devices = {Card(MIXERCONTROL_CONTROLTYPE_MUX), Card(MIXERCONTROL_CONTROLTYPE_MIXER, 5)};
    TAudioMixer mixer;
    EXPECT_EQ(mixer.MixerId(), 0);
    EXPECT_EQ(mixer.Manufacturer(), "Microsoft");
    EXPECT_EQ(mixer.ProductName(), "Test card");
    EXPECT_EQ(mixer.ProductId(), 7);
    EXPECT_EQ(mixer.NumberOfLine(), 2);
    ASSERT_EQ(mixer.Destinations().Count(), 2);
    EXPECT_EQ(mixer.Destinations().GetDestination(1)->Connections.Count(), 2);
    EXPECT_EQ(mixer.Destinations().GetDestination(1)->Connections.GetConnection(1)->Line.Name, "Line");
    EXPECT_EQ(mixer.Destinations().GetDestination(2), nullptr);
    EXPECT_EQ(mixer.Destinations().GetDestination(0)->Connections.GetConnection(1), nullptr);
    mixer.SetMixerId(2);  // the device count: ignored
    EXPECT_EQ(mixer.MixerId(), 0);
    mixer.SetMixerId(1);
    EXPECT_EQ(mixer.MixerId(), 1);
    EXPECT_EQ(mixer.Manufacturer(), "5 = Unknown");
}

TEST_F(AudioMixer, OpenTriesTwiceWithNotificationsThenWithout) {
    struct Case {
        int FailOpens, FailNotifyOpens;
        int Id, WithNotify;
    } cases[] = {{0, 1, 0, 1}, {0, 2, 0, 0}, {2, 0, 0, 0}, {3, 0, -1, -1}};
    for (const auto& c : cases) {
        Model->Devices = {Card(MIXERCONTROL_CONTROLTYPE_MUX)};
        Model->Devices[0].FailOpens = c.FailOpens;
        Model->Devices[0].FailNotifyOpens = c.FailNotifyOpens;
        Model->OpenedWithNotify = -1;
        TAudioMixer mixer;
        EXPECT_EQ(mixer.MixerId(), c.Id) << c.FailOpens << " " << c.FailNotifyOpens;
        EXPECT_EQ(Model->OpenedWithNotify, c.WithNotify);
        EXPECT_EQ(mixer.Destinations().Count(), c.Id < 0 ? 0 : 2);
    }
}

TEST_F(AudioMixer, ReadsVolumeAndMuteOfStereoAndMonoLines) {
    Model->Devices = {Card(MIXERCONTROL_CONTROLTYPE_MUX)};
    TAudioMixer mixer;
    TVolume v = Get(mixer, 0, -1);
    EXPECT_TRUE(v.Result);
    EXPECT_EQ(v.Left, 40000);
    EXPECT_EQ(v.Right, 30000);
    EXPECT_TRUE(v.Stereo);
    EXPECT_EQ(v.Mute, 0);
    EXPECT_FALSE(v.VolDisabled);
    EXPECT_FALSE(v.MuteDisabled);
    EXPECT_FALSE(v.IsSelect);
    v = Get(mixer, 0, 0);  // mono: Right is Left
    EXPECT_EQ(v.Left, 1000);
    EXPECT_EQ(v.Right, 1000);
    EXPECT_FALSE(v.Stereo);
    EXPECT_EQ(v.Mute, 1);
    EXPECT_TRUE(v.MuteDisabled);
    EXPECT_FALSE(Get(mixer, 0, 1).Result);
    EXPECT_FALSE(Get(mixer, 2, -1).Result);
}

TEST_F(AudioMixer, SourceWithoutMuteReportsAndSetsItsSelection) {
    for (uint32_t type : {MIXERCONTROL_CONTROLTYPE_MUX, MIXERCONTROL_CONTROLTYPE_MIXER}) {
        Model->Devices = {Card(type)};
        TAudioMixer mixer;
        TVolume mic = Get(mixer, 1, 0);
        EXPECT_EQ(mic.Left, 100);
        EXPECT_EQ(mic.Right, 200);
        EXPECT_EQ(mic.Mute, 1);
        EXPECT_TRUE(mic.IsSelect);
        EXPECT_EQ(Get(mixer, 1, 1).Mute, 0);

        EXPECT_TRUE(mixer.SetVolume(1, 1, -1, -1, 1));
        const auto& list = ControlOf(0, 11).Values;
        if (type == MIXERCONTROL_CONTROLTYPE_MUX) {
            EXPECT_EQ(list, (std::vector<int32_t>{0, 1})) << "a single-select list selects one line";
        } else {
            EXPECT_EQ(list, (std::vector<int32_t>{1, 1})) << "a multiple-select list keeps the others";
        }
        EXPECT_EQ(Get(mixer, 1, 1).Mute, 1);
        EXPECT_EQ(ControlOf(0, 13).Writes, 0);  // no volume given
    }
}

TEST_F(AudioMixer, SetVolumeWritesOnlyWhatIsGiven) {
    Model->Devices = {Card(MIXERCONTROL_CONTROLTYPE_MUX)};
    TAudioMixer mixer;
    EXPECT_TRUE(mixer.SetVolume(0, -1, -1, -1, 1));
    EXPECT_EQ(ControlOf(0, 1).Writes, 0);
    EXPECT_EQ(ControlOf(0, 2).Values, std::vector<int32_t>{1});
    EXPECT_TRUE(mixer.SetVolume(0, -1, 1234, -1, -1));  // Right follows Left
    EXPECT_EQ(ControlOf(0, 1).Values, (std::vector<int32_t>{1234, 1234}));
    EXPECT_EQ(ControlOf(0, 2).Writes, 1);
    EXPECT_TRUE(mixer.SetVolume(0, -1, 10, 20, 0));
    EXPECT_EQ(ControlOf(0, 1).Values, (std::vector<int32_t>{10, 20}));
    EXPECT_EQ(ControlOf(0, 2).Values, std::vector<int32_t>{0});
    EXPECT_FALSE(mixer.SetVolume(0, 5, 10, 20, 0));
}

TEST_F(AudioMixer, NotificationsReachTheEvents) {
    Model->Devices = {Card(MIXERCONTROL_CONTROLTYPE_MUX)};
    TAudioMixer mixer;
    std::vector<std::pair<char, uint32_t>> seen;
    uintptr_t handle = 0;
    mixer.OnLineChange = [&](TAudioMixer&, uintptr_t h, uint32_t id) { seen.push_back({'L', id}), handle = h; };
    mixer.OnControlChange = [&](TAudioMixer&, uintptr_t, uint32_t id) { seen.push_back({'C', id}); };
    Model->Pending = {{false, 11}, {true, 0x10001}};
    mixer.HandleNotifications();
    EXPECT_EQ(seen, (std::vector<std::pair<char, uint32_t>>{{'C', 11}, {'L', 0x10001}}));
    EXPECT_NE(handle, 0u);
    mixer.WindowProc(0x1234, handle, 9);  // any other message: nothing
    EXPECT_EQ(seen.size(), 2u);
}

}  // namespace
}  // namespace kelvar
