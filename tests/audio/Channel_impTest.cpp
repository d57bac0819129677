// Channels: their chains, configuration sections and seeking.
#include <gtest/gtest.h>

#include "OutputTestKit.h"
#include "audio/mix/Channel_imp.h"
#include "audio/nodes/Node_Volume.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

TEST(Channel, ChainsHoldTheirElementsInOrder) {
    TChannel_player player;
    EXPECT_EQ(player.ElementCount(), 11u);
    EXPECT_NE(player.GetPushPull(), nullptr);
    EXPECT_EQ(player.GetPushPull()->GetMaxChunks(), 200);
    EXPECT_EQ(player.GetMixMode(), MixMode::OnAir);
    TChannel_VoiceFX voice;
    EXPECT_EQ(voice.ElementCount(), 7u);
    EXPECT_EQ(voice.GetPushPull()->GetMaxChunks(), 3);
    EXPECT_EQ(voice.GetPushPull()->GetChunkMs(), 10);
    auto silence = std::make_shared<TPinSource>(
        nullptr, [] { return DefaultAudioFormat; }, nullptr);
    TChannel_mixer master(silence);
    EXPECT_EQ(master.ElementCount(), 5u);
    EXPECT_EQ(master.Volume, nullptr);
}

TEST(Channel, SettingsLiveInFiltersUnderNodeNames) {
    auto doc = TConfigDoc_XML::Create("");
    TChannel_player player;
    player.SetMixMode(MixMode::OnAir | MixMode::Preview);
    player.SaveConfig(*doc);
    const std::string xml = doc->GetXML();
    for (const char* name : {"Filters", "Resampler", "GapKiller", "FadeTrigger", "WinampDSP", "DSPEffects", "AGC",
                             "Volume", "Metronome", "VUMeter", "Null", "mmOutput", "mmPreview"}) {
        EXPECT_NE(xml.find(name), std::string::npos) << name;
    }
    TChannel_player other;
    other.LoadConfig(*doc);
    EXPECT_EQ(other.GetMixMode(), MixMode::OnAir | MixMode::Preview);
}

TEST(Channel, PushedAudioReachesTheMixerInputAndSeekEmptiesTheBridge) {
    TChannel_player player;
    const auto tone = testkit::MakeTone(4410, 440, 8000);
    std::vector<int16_t> block(tone.begin(), tone.end());
    player.GetInput()->Push(block.data(), static_cast<int>(block.size() * 2), 0);
    player.GetInput()->EndOfStream();
    std::vector<int16_t> pulled(882);
    TStreamTime t = 0;
    int total = 0;
    int peak = 0;
    for (int i = 0; i < 20; ++i) {
        const int n = player.GetOutput()->Pull(pulled.data(), 1764, t);
        total += n;
        peak = std::max(peak, testkit::Peak(pulled.data(), static_cast<size_t>(n / 2)));
        if (n == 0) break;
    }
    EXPECT_GT(total, 0);
    EXPECT_NEAR(peak, 8000, 80);

    player.GetInput()->Push(block.data(), static_cast<int>(block.size() * 2), 0);
    player.SetMixMode(MixMode::Playing | MixMode::OnAir);
    player.Seek(5000);
    EXPECT_EQ(player.GetMixMode(), MixMode::Playing | MixMode::OnAir);
    EXPECT_EQ(player.GetPushPull()->GetBuffer()->DataAvailable(), 0);
}

}  // namespace
}  // namespace kelvar
