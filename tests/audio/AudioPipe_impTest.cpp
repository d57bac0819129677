// The audio pipe as the core uses it: configured, opened, played through channels, closed.
#include <gtest/gtest.h>

#include <cmath>

#include "OutputTestKit.h"
#include "audio/mix/AudioPipe_imp.h"
#include "audio/outputs/OutputSilent.h"
#include "common/AllocCount.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

using testkit::TAlsaCaptureConf;
using testkit::WaitUntil;

void PushAll(TChannel& Channel, const std::vector<int16_t>& Samples) {
    std::vector<int16_t> copy(Samples);
    // In 50 ms blocks, as a deck's worker thread does.
    const int block = 4410;
    for (size_t i = 0; i < copy.size(); i += block) {
        const int n = static_cast<int>(std::min<size_t>(block, copy.size() - i));
        Channel.GetInput()->Push(copy.data() + i, n * 2, static_cast<TStreamTime>(i / 2 * 1000 / 44100));
    }
}

TEST(AudioPipe, ToneThroughChannelMixerAndAlsaOutputArrivesAtItsLevel) {
    TAlsaCaptureConf conf;
    auto doc = TConfigDoc_XML::Create("");
    auto output = doc->Section("Output");
    output->WriteInteger("OutputType1", OutputType::DirectSound);
    output->WriteString("SoundDevice1", "kelvar_capture");
    TAudioPipe pipe;
    pipe.LoadConfig(*doc);
    EXPECT_FALSE(pipe.GetMixer().GetPreviewEnabled());

    TChannel_player deck;
    pipe.GetMixer().AddSource(deck.GetOutput());
    const auto tone = testkit::MakeTone(44100 / 2, 1000, 16384);
    PushAll(deck, tone);
    ASSERT_TRUE(pipe.Open());
    deck.SetMixMode(MixMode::Playing | MixMode::OnAir);
    pipe.GetOutput().Play();
    ASSERT_TRUE(WaitUntil([&] { return deck.GetPushPull()->GetBuffer()->DataAvailable() == 0; }));
    const int64_t wanted = static_cast<int64_t>(tone.size()) * 2 + 20 * 1764;
    ASSERT_TRUE(WaitUntil([&] {
        std::error_code ec;
        return std::filesystem::file_size(conf.Capture(), ec) >= static_cast<uintmax_t>(wanted);
    }));
    pipe.Close();

    const auto captured = conf.ReadCapture();
    // The tone's level: a 16384 peak is about -6 dBFS; RMS of a sine is peak / sqrt 2.
    double sum = 0;
    size_t count = 0;
    int peak = 0;
    for (int16_t s : captured) {
        if (s == 0) continue;
        sum += double(s) * s;
        ++count;
        peak = std::max(peak, std::abs(int(s)));
    }
    ASSERT_GT(count, tone.size() * 8 / 10);
    EXPECT_NEAR(peak, 16384, 164);
    EXPECT_NEAR(std::sqrt(sum / count), 16384 / std::sqrt(2.0), 330);
}

TEST(AudioPipe, OpensAndClosesFromItsConfiguration) {
    auto doc = TConfigDoc_XML::Create("");
    auto output = doc->Section("Output");
    output->WriteInteger("OutputType1", OutputType::Silent);
    output->WriteInteger("OutputType2", OutputType::Silent);
    output->WriteInteger("PreviewStyle", PreviewStyle::SecondDevice);
    output->WriteInteger("Packets", 5);
    output->WriteInteger("PacketTime", 20);
    TAudioPipe pipe;
    pipe.LoadConfig(*doc);
    EXPECT_TRUE(pipe.GetMixer().GetPreviewEnabled());
    pipe.GetOutput().SetSettings([&] {
        auto settings = pipe.GetOutput().GetSettings();
        settings.SilentClockRate = 20;
        return settings;
    }());

    TChannel_player a, b;
    pipe.GetMixer().AddSource(a.GetOutput());
    pipe.GetMixer().AddSource(b.GetOutput());
    a.SetMixMode(MixMode::Playing | MixMode::OnAir);
    b.SetMixMode(MixMode::Playing | MixMode::Preview);
    PushAll(a, testkit::MakeTone(44100, 440, 1000));
    PushAll(b, testkit::MakeTone(44100, 440, 1000));
    ASSERT_TRUE(pipe.Open());
    ASSERT_NE(pipe.GetOutput().GetPreviewOutput(), nullptr);
    EXPECT_EQ(pipe.GetOutput().GetMainOutput()->GetPacketBytes(), 3528);
    pipe.GetOutput().Play();
    // Both decks are drained: one by the on-air device, one through the preview mix.
    ASSERT_TRUE(WaitUntil([&] {
        return a.GetPushPull()->GetBuffer()->DataAvailable() == 0 && b.GetPushPull()->GetBuffer()->DataAvailable() == 0;
    }));
    pipe.Close();
    EXPECT_FALSE(pipe.GetOutput().IsActive());

    auto saved = TConfigDoc_XML::Create("");
    pipe.SaveConfig(*saved);
    EXPECT_EQ(saved->Section("Output")->ReadInteger("PreviewStyle", -1), 3);
    EXPECT_EQ(saved->Section("Output")->ReadInteger("Packets", -1), 5);
    const std::string xml = saved->GetXML();
    EXPECT_NE(xml.find("Channel"), std::string::npos);
    EXPECT_NE(xml.find("Filters"), std::string::npos);
}

// A deck's thread pushes and seeks while the output thread mixes the same channel: the two
// walk the chain from opposite ends, and must neither deadlock nor lose the mix flags.
TEST(AudioPipe, SeekingWhileTheOutputThreadMixes) {
    TAudioPipe pipe;
    pipe.GetOutput().SetSettings([&] {
        auto settings = pipe.GetOutput().GetSettings();
        settings.OutputType1 = OutputType::Silent;
        settings.SilentClockRate = 50;
        return settings;
    }());
    TChannel_player deck;
    pipe.GetMixer().AddSource(deck.GetOutput());
    deck.SetMixMode(MixMode::Playing | MixMode::OnAir);
    ASSERT_TRUE(pipe.Open());
    pipe.GetOutput().Play();
    auto* output = static_cast<TOutput_Silence*>(pipe.GetOutput().GetMainOutput());
    const auto tone = testkit::MakeTone(4410, 440, 3000);
    // Until the output thread has mixed a few hundred packets meanwhile.
    const int64_t until = output->GetDelivered() + 300 * 1764;
    for (int i = 0; output->GetDelivered() < until; ++i) {
        ASSERT_LT(i, 1000000);
        PushAll(deck, tone);
        deck.Seek(i * 100);
        ASSERT_EQ(deck.GetMixMode(), MixMode::Playing | MixMode::OnAir);
    }
    pipe.Close();
}

// A mixer input that is pulled like a channel and notes how many allocations its thread has
// made so far.
class TAllocationProbe : public TFilter_MixMode {
public:
    int Pull(void* Buffer, int Length, TStreamTime& Time) override {
        if (Calls < static_cast<int>(Counts.size())) Counts[static_cast<size_t>(Calls)] = testkit::ThreadAllocations();
        ++Calls;
        std::memset(Buffer, 0, static_cast<size_t>(Length));
        (void)Time;
        return Length;
    }
    std::vector<int64_t> Counts = std::vector<int64_t>(400);
    std::atomic<int> Calls{0};
};

TEST(AudioPipe, OutputThreadAllocatesNothingPerPacketOnceRunning) {
    const int64_t before = testkit::ThreadAllocations();
    auto counted = std::make_unique<int>(1);
    ASSERT_EQ(testkit::ThreadAllocations() - before, 1) << "the allocation counter is not in place";
    TAudioPipe pipe;
    auto& out = pipe.GetOutput();
    out.SetSettings([&] {
        auto settings = out.GetSettings();
        settings.OutputType1 = OutputType::Silent;
        settings.PreviewStyle = PreviewStyle::Split;  // on-air and a separately built preview
        settings.SilentClockRate = 20;
        return settings;
    }());
    pipe.GetMixer().SetPreviewEnabled(true);
    std::vector<std::unique_ptr<TChannel_player>> decks;
    for (int i = 0; i < 6; ++i) {
        decks.push_back(std::make_unique<TChannel_player>());
        pipe.GetMixer().AddSource(decks.back()->GetOutput());
        PushAll(*decks.back(), testkit::MakeTone(44100 * 5, 440 + 100 * i, 3000));
    }
    decks[0]->SetMixMode(MixMode::Playing | MixMode::OnAir);
    decks[1]->SetMixMode(MixMode::Playing | MixMode::Preview);
    decks[2]->SetMixMode(MixMode::Playing | MixMode::OnAir | MixMode::Preview);
    decks[3]->SetMixMode(MixMode::Playing | MixMode::OnAir);
    auto probe = std::make_shared<TAllocationProbe>();
    probe->SetMixMode(MixMode::Playing);
    pipe.GetMixer().AddSource(probe);
    ASSERT_TRUE(pipe.Open());
    out.Play();
    ASSERT_TRUE(WaitUntil([&] { return probe->Calls >= 400; }));
    pipe.Close();
    // The first packets may size the work blocks; after that nothing is allocated.
    EXPECT_EQ(probe->Counts[399] - probe->Counts[50], 0);
}

}  // namespace
}  // namespace kelvar
