// The master volume window over the core's output pair: volumes and mutes both ways, and the
// preview's controls only for a preview on a device of its own.
#include <gtest/gtest.h>

#include "VoiceCoreFixture.h"
#include "audio/mix/DualOutput_Combo.h"
#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "gui/voice/funMasterVolume.h"

namespace kelvar {
namespace {

class MasterVolume : public voicetest::TVoiceCoreFixture {
protected:
    TDualOutput_Combo& Output() { return Api->AudioPipe()->GetOutput(); }
};

TEST_F(MasterVolume, TheItemShowsTheCoresOutputPairAndDrivesIt) {
    TwiMasterVolume item;
    std::string name, caption;
    item.GetName(name);
    item.GetCaption(caption);
    EXPECT_EQ(name, "MasterVolume");
    EXPECT_EQ(caption, "Volume");
    EXPECT_FALSE(item.GetSizeable());
    Output().SetMainVolume(180);
    Output().SetMainMute(true);
    item.Activate();
    TfrmMasterVolume& f = *item.Frame();
    EXPECT_EQ(f.Api(), Api.get());
    EXPECT_EQ(f.eMainVol->Position(), 180);
    EXPECT_EQ(f.eCueVol->Position(), 255);
    EXPECT_FALSE(f.btMain->Active());  // muted: no light

    f.btMain->Click();
    EXPECT_FALSE(Output().GetMainMute());
    EXPECT_TRUE(f.btMain->Active());
    f.eMainVol->SetPosition(90);
    EXPECT_EQ(Output().GetMainVolume(), 90);
    f.btMainZero->Click();
    EXPECT_EQ(Output().GetMainVolume(), 255);
    EXPECT_EQ(f.eMainVol->Position(), 255);

    // Changed elsewhere: the next refresh shows it.
    Output().SetMainVolume(40);
    Output().SetPreviewMute(true);
    f.Refresh();
    EXPECT_EQ(f.eMainVol->Position(), 40);
    EXPECT_EQ(Output().GetMainVolume(), 40);
    EXPECT_FALSE(f.btCue->Active());
    item.Deactivate();
    EXPECT_EQ(item.GetFrame(), nullptr);
}

TEST_F(MasterVolume, PreviewControlsOnlyForASecondDevice) {
    TfrmMasterVolume f;
    f.Init(Api.get());
    for (uint8_t style :
         {PreviewStyle::None, PreviewStyle::Split, PreviewStyle::FourChannels, PreviewStyle::SecondDevice}) {
        TDualOutputSettings settings = Output().GetSettings();
        settings.PreviewStyle = style;
        Output().SetSettings(settings);
        f.Refresh();
        const bool own = style == PreviewStyle::SecondDevice;
        EXPECT_EQ(f.eCueVol->isEnabled(), own) << int(style);
        EXPECT_EQ(f.btCue->isEnabled(), own) << int(style);
        EXPECT_EQ(f.btCueZero->isEnabled(), own) << int(style);
    }
    f.eCueVol->SetPosition(120);
    EXPECT_EQ(Output().GetPreviewVolume(), 120);
    f.btCue->Click();
    EXPECT_TRUE(Output().GetPreviewMute());
    f.btCueZero->Click();
    EXPECT_EQ(Output().GetPreviewVolume(), 255);
    f.Done();
    // Without the pair the controls do nothing.
    f.eMainVol->SetPosition(10);
    EXPECT_EQ(Output().GetMainVolume(), 255);
}

}  // namespace
}  // namespace kelvar
