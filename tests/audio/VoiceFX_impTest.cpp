// The talk-over voice: ducking of music envelopes on a clock of the test's own, its sources
// (a recording device through a file PCM, a mixer line of the in-memory mixer) and its
// configuration.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "LiveInputKit.h"
#include "OutputTestKit.h"
#include "audio/live/VoiceFX_imp.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

using testkit::TAlsaInputConf;
using testkit::WaitUntil;

// A music envelope on a hand-driven clock.
struct TMusic {
    std::atomic<uint32_t> Now{1000};
    TVolControl Envelope{[this] { return Now.load(); }};
    // The gain in percent at Ms after the clock's start.
    double At(uint32_t Ms) {
        Now = 1000 + Ms;
        return Envelope.Advance(0) * 100.0;
    }
};

TEST(VoiceFX, TalkingDucksTheMusicAndHoldsItThenBringsItBack) {
    TVoiceFX voice;
    std::vector<std::string> status;
    voice.OnStatus = [&](const std::string& Text) { status.push_back(Text); };
    TMusic a, b;
    voice.AddMusicControl(&a.Envelope);
    voice.AddMusicControl(&b.Envelope);
    a.Now = b.Now = 1000;
    // Talking without activating first: no recorder to run, the music still ducks.
    voice.SetTalking(true);
    EXPECT_EQ(status, std::vector<std::string>{"Recording device not open"});
    EXPECT_NEAR(a.At(0), 100.0, 0.01);
    const double mid = a.At(250);
    EXPECT_GT(mid, 21.0);
    EXPECT_LT(mid, 99.0);
    EXPECT_NEAR(a.At(500), 20.0, 0.01);
    EXPECT_NEAR(a.At(5000), 20.0, 0.01);  // held past the fade's end
    a.Envelope.CancelFade();              // as a seek of the deck would
    EXPECT_NEAR(a.At(6000), 20.0, 0.01);
    EXPECT_NEAR(b.At(500), 20.0, 0.01);

    a.Now = 10000 + 1000;
    voice.SetTalking(false);
    EXPECT_NEAR(a.At(10000), 20.0, 0.5);
    const double rising = a.At(10500);
    EXPECT_GT(rising, 21.0);
    EXPECT_LT(rising, 99.0);
    EXPECT_NEAR(a.At(11000), 100.0, 0.01);
    EXPECT_NEAR(a.At(11100), 100.0, 0.01);
    EXPECT_EQ(a.Envelope.GetFadeKind(), FadeKind::None);
}

TEST(VoiceFX, StoppingHalfWayComesBackFromTheLevelReached) {
    TVoiceFX voice;
    TMusic m;
    voice.AddMusicControl(&m.Envelope);
    voice.SetTalking(true);
    const double reached = m.At(250);
    voice.SetTalking(false);
    EXPECT_NEAR(m.At(250), reached, 0.6);
    EXPECT_NEAR(m.At(1250), 100.0, 0.01);
}

TEST(VoiceFX, WithoutAutoFadeTheMusicIsUntouched) {
    TVoiceFX voice;
    voice.SetAutoFade(false);
    TMusic m;
    voice.AddMusicControl(&m.Envelope);
    voice.SetTalking(true);
    EXPECT_NEAR(m.At(500), 100.0, 0.01);
    EXPECT_EQ(m.Envelope.GetFadeKind(), FadeKind::None);
}

TEST(VoiceFX, MusicVolumeReachesEveryEnvelope) {
    TVoiceFX voice;
    voice.SetMusicVolume(51);
    TMusic m;
    voice.AddMusicControl(&m.Envelope);
    EXPECT_NEAR(m.At(0), 20.0, 0.01);
    voice.SetMusicVolume(255);
    EXPECT_NEAR(m.At(0), 100.0, 0.01);
}

TEST(VoiceFX, FadeRecordsShareTheirLevel) {
    TVoiceFX voice;
    voice.SetFadeOut({0, 300, 60, FadeCurve::Linear});
    EXPECT_EQ(voice.GetFadeOut().Enabled, 1);
    EXPECT_EQ(voice.GetFadeOut().Time, 300);
    EXPECT_EQ(voice.GetFadeIn().Level, 60);
    EXPECT_EQ(voice.GetFadeIn().Time, 1000);
    EXPECT_EQ(voice.GetAutoMusicVol(), 40);
    auto doc = TConfigDoc_XML::Create("");
    auto section = doc->Section("VoiceFX");
    voice.SaveConfig(*section);
    EXPECT_EQ(section->ReadInteger("AutoMusicVol", 0), 40);
    EXPECT_EQ(section->Section("FadeIn")->ReadInteger("Level", 0), 60);
    voice.SetFadeIn({1, 700, 30, FadeCurve::Cosine});
    EXPECT_EQ(voice.GetFadeOut().Level, 30);
}

TEST(VoiceFX, LevelsBeyondTheirRangeTakeTheNearerEnd) {
    // Such values come from hand-edited configurations: a depth above 100 would turn the
    // music's phase over, one below 0 raise it; a volume above 255 would amplify.
    TVoiceFX voice;
    TMusic m;
    voice.AddMusicControl(&m.Envelope);
    voice.SetFadeOut({1, 500, 250, FadeCurve::Linear});
    EXPECT_EQ(voice.GetFadeIn().Level, 100);
    voice.SetTalking(true);
    EXPECT_NEAR(m.At(500), 0.0, 0.01);
    voice.SetTalking(false);
    voice.SetFadeIn({1, 1000, -40, FadeCurve::Linear});
    EXPECT_EQ(voice.GetFadeOut().Level, 0);
    EXPECT_EQ(voice.GetAutoMusicVol(), 100);

    voice.SetMusicVolume(1000);
    EXPECT_EQ(voice.GetMusicVolume(), 255);
    EXPECT_NEAR(m.At(5000), 100.0, 0.01);
    voice.SetMusicVolume(-3);
    EXPECT_EQ(voice.GetMusicVolume(), 0);
    voice.SetVoiceVolume(300);
    EXPECT_EQ(voice.GetVoiceVolume(), 255);
    EXPECT_EQ(voice.GetRecordControl().GetVolume(), 255);
}

TEST(VoiceFX, ConfigurationRoundTripAndIgnoredWhileTalking) {
    auto doc = TConfigDoc_XML::Create("");
    auto section = doc->Section("VoiceFX");
    {
        TVoiceFX voice;
        voice.SetVoiceMode(VoiceMode::None);
        voice.SetMixPoint(1);
        voice.SetAutoFade(false);
        voice.SetFadeOut({1, 250, 70, FadeCurve::FourthPower});
        voice.GetRecordControl().SoundDevice = "plughw:1";
        voice.GetRecordControl().Packets = 7;
        voice.GetMixerControl().PlayVolCtrlID = 3;
        voice.GetMixerControl().AutoMute = true;
        voice.SaveConfig(*section);
    }
    TVoiceFX talking;
    talking.SetTalking(true);
    talking.LoadConfig(*section);
    EXPECT_EQ(talking.GetVoiceMode(), VoiceMode::Record);
    EXPECT_EQ(talking.GetMixPoint(), 0);

    TVoiceFX voice;
    voice.LoadConfig(*section);
    EXPECT_EQ(voice.GetVoiceMode(), VoiceMode::None);
    EXPECT_EQ(voice.GetMixPoint(), 1);
    EXPECT_FALSE(voice.GetAutoFade());
    EXPECT_EQ(voice.GetFadeOut().Time, 250);
    EXPECT_EQ(voice.GetFadeOut().Curve, FadeCurve::FourthPower);
    EXPECT_EQ(voice.GetFadeIn().Level, 70);
    EXPECT_EQ(voice.GetFadeIn().Time, 1000);
    EXPECT_EQ(voice.GetRecordControl().SoundDevice, "plughw:1");
    EXPECT_EQ(voice.GetRecordControl().Packets, 7);
    EXPECT_EQ(voice.GetMixerControl().PlayVolCtrlID, 3);
    EXPECT_TRUE(voice.GetMixerControl().AutoMute);

    doc->SetLiveApply(true);
    auto live = doc->Section("VoiceFX");
    live->WriteInteger("MixPoint", 0);
    voice.LoadConfig(*live);
    EXPECT_EQ(voice.GetMixPoint(), 1);
}

class VoiceMixerLine : public ::testing::Test {
protected:
    void SetUp() override {
        Model = std::make_shared<platform::TMemoryMixerModel>();
        platform::TMemoryMixerModel::TDevice device;
        platform::TMemoryMixerModel::TLine dest, line;
        dest.Info.LineId = 0;
        line.Info.LineId = 1;
        line.Info.Channels = 2;
        platform::TMemoryMixerModel::TControl volume, mute;
        volume.Info = {5, platform::MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0, 0, 65535, "Volume"};
        volume.Values = {0, 0};
        mute.Info = {6,     platform::MIXERCONTROL_CONTROLTYPE_MUTE, platform::MIXERCONTROL_CONTROLF_UNIFORM, 0, 0, 1,
                     "Mute"};
        mute.Values = {1};
        line.Controls = {volume, mute};
        device.Destinations = {dest};
        device.Sources = {{line}};
        Model->Devices = {device};
        platform::SetMixerBackendFactory([m = Model] { return platform::CreateMemoryMixerBackend(m); });
    }
    void TearDown() override { platform::SetMixerBackendFactory(nullptr); }
    std::vector<int32_t> Values(uint32_t Id) {
        return platform::TMemoryMixerModel::FindControl(Model->Devices[0], Id)->Values;
    }
    platform::TMemoryMixerModelPtr Model;
};

TEST_F(VoiceMixerLine, AutoMuteOpensTheLineAtTheVoiceVolumeAndMutesItAgain) {
    TVoiceFX voice;
    voice.SetVoiceMode(VoiceMode::MixerLine);
    voice.GetMixerControl().AutoMute = true;
    EXPECT_TRUE(voice.GetMixerControl().GetMuted());
    EXPECT_EQ(platform::TMemoryMixerModel::FindControl(Model->Devices[0], 5)->Writes, 0);
    voice.SetActive(true);
    // The voice volume (255) is the line's from the first open.
    EXPECT_EQ(Values(5), (std::vector<int32_t>{65535, 65535}));
    EXPECT_EQ(Values(6), std::vector<int32_t>{0});
    voice.SetTalking(true);
    EXPECT_EQ(voice.GetVoiceChannel()->GetMixMode() & MixMode::Playing, 0);
    voice.SetVoiceVolume(100);
    EXPECT_EQ(Values(5), (std::vector<int32_t>{25700, 25700}));
    voice.SetActive(false);
    EXPECT_EQ(Values(6), std::vector<int32_t>{1});
    EXPECT_FALSE(voice.GetTalking());
}

TEST_F(VoiceMixerLine, ChangingTheModeEndsTalkingAndClosesTheOldSource) {
    TVoiceFX voice;
    TMusic m;
    voice.AddMusicControl(&m.Envelope);
    voice.SetVoiceVolume(100);  // while the recording source is current
    voice.SetVoiceMode(VoiceMode::MixerLine);
    voice.GetMixerControl().AutoMute = true;
    voice.SetActive(true);
    EXPECT_EQ(Values(5), (std::vector<int32_t>{25700, 25700}));  // the new source has the voice volume
    voice.SetTalking(true);
    EXPECT_NEAR(m.At(500), 20.0, 0.01);

    voice.SetVoiceMode(VoiceMode::None);
    EXPECT_FALSE(voice.GetTalking());
    EXPECT_FALSE(voice.GetActive());
    EXPECT_FALSE(voice.GetMixerControl().GetActive());
    EXPECT_EQ(Values(6), std::vector<int32_t>{1});
    EXPECT_NEAR(m.At(1500), 100.0, 0.01);  // the music came back
    const int writes = platform::TMemoryMixerModel::FindControl(Model->Devices[0], 6)->Writes;
    voice.SetActive(true);
    voice.SetTalking(true);
    EXPECT_EQ(platform::TMemoryMixerModel::FindControl(Model->Devices[0], 6)->Writes, writes);
    EXPECT_NEAR(m.At(2000), 20.0, 0.01);  // no source, but the music still ducks
}

TEST_F(VoiceMixerLine, WithoutAutoMuteTheLineKeepsItsMute) {
    TVoiceFX voice;
    voice.SetVoiceMode(VoiceMode::MixerLine);
    voice.SetActive(true);
    EXPECT_EQ(Values(5), (std::vector<int32_t>{65535, 65535}));
    EXPECT_EQ(Values(6), std::vector<int32_t>{1});
}

// Pulls the on-air mix until its peak passes Level or Limit blocks went by; answers the peak.
int MixPeak(TMixer& Mixer, int Level, int Limit) {
    std::vector<int16_t> block(441 * 2);
    int peak = 0;
    for (int i = 0; i < Limit && peak < Level; ++i) {
        TStreamTime time = 0;
        Mixer.Mix(block.data(), static_cast<int>(block.size() * 2), time);
        peak = std::max(peak, testkit::Peak(block.data(), block.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return peak;
}

TEST(VoiceRecord, TheRecordedVoiceIsMixedOnlyAtMixPointZero) {
    TAlsaInputConf conf(testkit::MakeTone(44100 * 5, 440, 10000));
    TMixer mixer;
    TVoiceFX voice;
    voice.GetRecordControl().SoundDevice = "kelvar_in";
    voice.SetMixer(&mixer);
    voice.SetActive(true);
    ASSERT_NE(voice.GetRecordControl().GetRecorder(), nullptr);
    EXPECT_EQ(voice.GetVoiceChannel()->GetPushPull()->GetMaxChunks(), 5);
    EXPECT_EQ(MixPeak(mixer, 1, 20), 0);  // not talking: silent
    voice.SetTalking(true);
    EXPECT_GT(MixPeak(mixer, 5000, 500), 5000);

    voice.SetMixPoint(1);
    EXPECT_EQ(MixPeak(mixer, 1, 50), 0);
    // Nothing pulls the voice now: its bridge keeps only the newest packets.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto buffer = voice.GetVoiceChannel()->GetPushPull()->GetBuffer();
    EXPECT_LE(buffer->DataAvailable(), 5 * 1764);
    voice.SetTalking(false);
    voice.SetActive(false);
    EXPECT_EQ(voice.GetRecordControl().GetRecorder(), nullptr);
}

TEST(VoiceRecord, ADeviceThatCannotOpenReportsItsText) {
    TAlsaInputConf conf(testkit::MakeRamp(100));
    TVoiceFX voice;
    std::vector<std::string> status;
    voice.OnStatus = [&](const std::string& Text) { status.push_back(Text); };
    voice.GetRecordControl().SoundDevice = "no_such_device";
    voice.SetActive(true);
    voice.SetTalking(true);
    EXPECT_EQ(status.at(0), "Unable to create DirectSoundCapture object");
    voice.SetActive(false);
}

}  // namespace
}  // namespace kelvar
