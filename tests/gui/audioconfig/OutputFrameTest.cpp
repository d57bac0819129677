// The output page over the core's output pair: drivers and devices (fake listings), the cue
// styles a driver allows, latency, and "Apply now" reopening the pair for real on the silent
// output, with its changed flag kept only after a failure.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

#include "audio/mix/AudioPipe_imp.h"
#include "controls/KcTrackBar.h"
#include "gui/audioconfig/funDualOutput_combo.h"
#include "tests/gui/audioconfig/AudioConfigTestKit.h"

namespace kelvar {
namespace {

using audioconfigtest::TCoreFixture;

class OutputFrame : public TCoreFixture {
protected:
    void SetUp() override {
        TCoreFixture::SetUp();
        SetOutputDeviceLister(OutputType::DirectSound, [] {
            return TOutputDeviceList{{"Primary Sound Driver", "Card One", "Card Two"}, {"", "plug:one", "plug:two"}};
        });
        SetOutputDeviceLister(OutputType::KernelStreaming, [] {
            return TOutputDeviceList{{"Card One: PCM"}, {"hw:CARD=One,DEV=0"}};
        });
    }
    void TearDown() override {
        SetOutputDeviceLister(OutputType::DirectSound, nullptr);
        SetOutputDeviceLister(OutputType::KernelStreaming, nullptr);
        TCoreFixture::TearDown();
    }
    TDualOutput_Combo& Pair() { return Api->AudioPipe()->GetOutput(); }
    void Store(const std::function<void(TDualOutputSettings&)>& Change) {
        TDualOutputSettings s = Pair().GetSettings();
        Change(s);
        Pair().SetSettings(s);
    }
    static void ChooseDriver(TfrmDualOutput_combo& f, int Index) {
        f.eOutputType1->setCurrentIndex(Index);
        emit f.eOutputType1->activated(Index);
    }
    static std::vector<std::string> Items(QComboBox* c) {
        std::vector<std::string> items;
        for (int i = 0; i < c->count(); ++i) items.push_back(c->itemText(i).toStdString());
        return items;
    }
};

TEST_F(OutputFrame, SilentDriverNeedsNoDeviceAndTakesAwayTheSplitCueStyles) {
    Store([](TDualOutputSettings& s) {
        s.OutputType1 = OutputType::DirectSound;
        s.PreviewStyle = PreviewStyle::FourChannels;
    });
    TfrmDualOutput_combo frame;
    frame.Attach(Api->AudioPipe());
    EXPECT_EQ(Items(frame.eDevice1), (std::vector<std::string>{"Primary Sound Driver", "Card One", "Card Two"}));
    EXPECT_TRUE(frame.ePreview2->isChecked());
    EXPECT_FALSE(frame.Changed());
    ChooseDriver(frame, OutputType::Silent);
    EXPECT_EQ(Items(frame.eDevice1), std::vector<std::string>{"No sound device required"});
    EXPECT_FALSE(frame.ePreview1->isEnabled());
    EXPECT_FALSE(frame.ePreview2->isEnabled());
    EXPECT_TRUE(frame.ePreview0->isChecked());
    EXPECT_TRUE(frame.eMono->isVisibleTo(&frame));
    EXPECT_TRUE(frame.Changed());

    ChooseDriver(frame, OutputType::KernelStreaming);
    EXPECT_EQ(Items(frame.eDevice1), std::vector<std::string>{"Card One: PCM"});
    EXPECT_EQ(frame.eOutputType2->currentIndex(), 1);  // the cue driver follows the air driver
    frame.ePreview1->click();
    EXPECT_FALSE(frame.eMono->isVisibleTo(&frame));
    EXPECT_FALSE(frame.eDevice2->isEnabled());
}

TEST_F(OutputFrame, LatencyIsPacketsTimesPacketTime) {
    TfrmDualOutput_combo frame;
    frame.Attach(Api->AudioPipe());
    frame.ePackets->SetPosition(20);
    frame.ePacketTime->SetPosition(50);
    EXPECT_EQ(frame.lbLatency->text(), "1000 ms");
    EXPECT_EQ(frame.lbPacketTime->text(), "50 ms");
    EXPECT_EQ(frame.lbPackets->text(), "20");
    EXPECT_TRUE(frame.Changed());
}

TEST_F(OutputFrame, ApplyReopensThePairOnlyForChangesAndKeepsTheFlagAfterAFailure) {
    Store([](TDualOutputSettings& s) {
        s.OutputType1 = OutputType::Silent;
        s.SilentClockRate = 0;
    });
    ASSERT_TRUE(Pair().Open(DefaultAudioFormat));
    Pair().Play();
    TfrmDualOutput_combo frame;
    frame.Attach(Api->AudioPipe());
    // Untouched: the frame stores nothing (a value set behind its back stays) and reopens nothing.
    Store([](TDualOutputSettings& s) { s.PacketTime = 7; });
    EXPECT_TRUE(frame.ApplyNow());
    EXPECT_EQ(Pair().GetSettings().PacketTime, 7);

    frame.ePackets->SetPosition(4);
    frame.eMono->click();
    EXPECT_TRUE(frame.ApplyNow());
    EXPECT_FALSE(frame.Changed());
    EXPECT_TRUE(Pair().IsActive());
    EXPECT_EQ(Pair().GetSettings().PacketTime, 10);
    EXPECT_EQ(Pair().GetSettings().Packets, 4);
    EXPECT_TRUE(Pair().GetSettings().Mono);
    EXPECT_FALSE(Api->AudioPipe()->GetMixer().GetPreviewEnabled());

    // A device that does not exist: the message, the pair stays closed, the flag stays.
    SetOutputDeviceLister(OutputType::DirectSound, [] {
        return TOutputDeviceList{{"Gone"}, {"no_such_pcm_device_here"}};
    });
    TfrmDualOutput_combo other;
    other.Attach(Api->AudioPipe());
    ChooseDriver(other, OutputType::DirectSound);
    other.ePreview1->click();
    std::string shown;
    SetMessageHandler([&](const TMessageRequest& r) {
        shown = r.Text;
        return MsgButton::OK;
    });
    EXPECT_FALSE(other.ApplyNow());
    EXPECT_EQ(shown.rfind("Unable to apply settings.\nError: ", 0), 0u) << shown;
    EXPECT_NE(shown.find("\nCode: $"), std::string::npos);
    EXPECT_NE(shown.find("Make sure that the soundcard is not being used by another application."), std::string::npos);
    EXPECT_TRUE(other.Changed());
    EXPECT_EQ(Pair().GetSettings().SoundDevice1, "no_such_pcm_device_here");
    EXPECT_TRUE(Api->AudioPipe()->GetMixer().GetPreviewEnabled());
    Pair().Close();
}

TEST_F(OutputFrame, StoredDeviceGoneByIdIsFoundByNameAndAppliedWithTheCurrentId) {
    Store([](TDualOutputSettings& s) {
        s.OutputType1 = OutputType::DirectSound;
        s.SoundDevice1 = "plug:old";
        s.DeviceName1 = "Card Two";
        s.PreviewStyle = PreviewStyle::SecondDevice;
        s.SoundDevice2 = "nowhere";
        s.DeviceName2 = "nothing";
    });
    TfrmDualOutput_combo frame;
    frame.Attach(Api->AudioPipe());
    EXPECT_EQ(frame.eDevice1->currentText(), "Card Two");
    EXPECT_EQ(frame.eDevice2->currentIndex(), 0);  // neither found: the first
    frame.eMono->click();
    SetMessageHandler([](const TMessageRequest&) { return MsgButton::OK; });
    frame.ApplyNow();
    EXPECT_EQ(Pair().GetSettings().SoundDevice1, "plug:two");
    EXPECT_EQ(Pair().GetSettings().DeviceName1, "Card Two");
    EXPECT_EQ(Pair().GetSettings().SoundDevice2, "");
    EXPECT_EQ(Pair().GetSettings().DeviceName2, "Primary Sound Driver");
    Pair().Close();
}

TEST(OutputDevices, ListingWithoutCardsIsEmptyNotAnError) {
    // The machine may have no sound card: the listings answer, whatever they hold.
    TOutputDeviceList shared;
    EXPECT_NO_THROW(shared = ListSharedOutputDevices());
    ASSERT_FALSE(shared.IDs.empty());
    EXPECT_EQ(shared.IDs.front(), "");
    EXPECT_EQ(shared.Names.size(), shared.IDs.size());
}

}  // namespace
}  // namespace kelvar
