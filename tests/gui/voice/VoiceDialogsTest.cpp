// The microphone source dialog and the voice configuration dialog: the source address, the
// device lists of both drivers and the mixer lines, the document after OK and after Cancel, and
// the stored destination the list cannot show.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include "VoiceTestKit.h"
#include "audio/live/Recorder_combo.h"
#include "common/GuiTestKit.h"
#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/editors/funFade.h"
#include "gui/editors/funXFadeGraph.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/voice/MixerProgram.h"
#include "gui/voice/VoiceDevices.h"
#include "gui/voice/funCfgMic.h"
#include "gui/voice/funCfgVoiceFX.h"
#include "gui/voice/unCfgMic.h"
#include "gui/voice/unCfgVoiceFX.h"

namespace kelvar {
namespace {

const std::string Guid = "{A1B2C3D4-0000-1111-2222-123412341234}";

class VoiceDialogs : public guitest::GuiTest {
protected:
    void SetUp() override {
        SetCaptureDeviceLister(RecordDriver::DirectSound, [this] {
            ++Listed[0];
            return TCaptureDeviceList{{"Primary Sound Capture Driver", "USB Mic", "Line In"}, {"", Guid, "plughw:2"}};
        });
        SetCaptureDeviceLister(RecordDriver::KernelStreaming, [this] {
            ++Listed[1];
            return TCaptureDeviceList{{"Card 0", "Card 1"}, {"\\\\?\\hw#{card0}", "hw:CARD=1,DEV=0"}};
        });
        Mixer = voicetest::InstallMixer({"Card 0", "Card 1"}, {"PCM", "Mic", "Line"}, {"Line", "Mic Volume", "CD"});
    }
    void TearDown() override {
        SetModalHandler(nullptr);
        SetMessageHandler(nullptr);
        SetProcessStarter(nullptr);
        SetCaptureDeviceLister(RecordDriver::DirectSound, nullptr);
        SetCaptureDeviceLister(RecordDriver::KernelStreaming, nullptr);
        platform::SetMixerBackendFactory(nullptr);
        GuiConfig.reset();
    }

    int Listed[2] = {0, 0};
    platform::TMemoryMixerModelPtr Mixer;
};

TEST_F(VoiceDialogs, MicAddressCarriesTheDeviceBuffersAndTimeLimit) {
    std::string address = "mic://", name = "Live recording";
    SetModalHandler([](QDialog& d) {
        auto& dialog = dynamic_cast<TfoCfgMic&>(d);
        EXPECT_EQ(dialog.windowTitle(), "Soundcard recording configuration");
        TfrmCfgMic& f = *dialog.frmCfgMic1;
        EXPECT_EQ(f.eDisplay->text(), "Live recording");
        EXPECT_EQ(f.eDevice->currentIndex(), 0);
        f.eDisplay->setText("Studio mic");
        f.eDevice->setCurrentIndex(1);
        f.ePackets->SetPosition(5);
        f.ePacketTime->SetPosition(10);
        f.eHour->setCurrentIndex(1);
        f.eMin->setCurrentIndex(30);
        EXPECT_TRUE(f.eDuration->isChecked());  // a time list ticks the limit
        SetFormTag(&dialog, 1);
        return int(QDialog::Accepted);
    });
    ASSERT_TRUE(MicSourceDialog(address, name));
    EXPECT_EQ(name, "Studio mic");
    EXPECT_EQ(address,
              "mic://?&driver=DS&sounddevice=%7BA1B2C3D4%2D0000%2D1111%2D2222%2D123412341234%7D&packets=5&packettime=10"
              "&duration=01:30:00");

    // Cancel, and closing the window, leave both as they were.
    SetModalHandler([](QDialog& d) {
        dynamic_cast<TfoCfgMic&>(d).frmCfgMic1->eDisplay->setText("changed");
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(MicSourceDialog(address, name));
    EXPECT_EQ(name, "Studio mic");
    EXPECT_EQ(address.substr(0, 22), "mic://?&driver=DS&soun");
}

TEST_F(VoiceDialogs, MicPrimaryDeviceKernelStreamingPathsAndMixerLines) {
    TfrmCfgMic f;
    f.Init();
    // The primary device: no device pair, and no mixer device of its own.
    f.eAutoVol->setChecked(true);
    EXPECT_EQ(f.GetMixerDeviceID(), -1);
    EXPECT_EQ(f.eVolCtrl->count(), 0);
    EXPECT_EQ(f.BuildSourceAddress(), "mic://?&driver=DS&packets=10&packettime=10&deviceID=-1&volctrl=-1");

    // The shared driver's second device is the first card: its recording lines, the microphone chosen.
    f.eDevice->setCurrentIndex(1);
    EXPECT_EQ(f.GetMixerDeviceID(), 0);
    ASSERT_EQ(f.eVolCtrl->count(), 3);
    EXPECT_EQ(f.eVolCtrl->currentText(), "Mic Volume");
    EXPECT_EQ(f.BuildSourceAddress(),
              "mic://?&driver=DS&sounddevice=%7BA1B2C3D4%2D0000%2D1111%2D2222%2D123412341234%7D&packets=10"
              "&packettime=10&deviceID=0&volctrl=1");

    // Direct hardware: the device path is encoded, the index is the card.
    f.eDriverType->setCurrentIndex(1);
    EXPECT_TRUE(f.IsKernelStreaming());
    EXPECT_EQ(f.eDevice->count(), 2);
    EXPECT_EQ(f.GetDeviceID(), "\\\\?\\hw#{card0}");
    EXPECT_EQ(
        f.BuildSourceAddress(),
        "mic://?&driver=KS&sounddevice=%5C%5C%3F%5Chw%23%7Bcard0%7D&packets=10&packettime=10&deviceID=0&volctrl=1");

    // Back and forth lists each driver once.
    f.eDriverType->setCurrentIndex(0);
    f.eDriverType->setCurrentIndex(1);
    EXPECT_EQ(Listed[0], 1);
    EXPECT_EQ(Listed[1], 1);

    // A card without a microphone line keeps the first line.
    Mixer->Devices[1].Sources[1][1].Info.Name = "Aux";
    f.FillVolumeControls(1, -1);
    EXPECT_EQ(f.eVolCtrl->currentIndex(), 0);
    f.FillVolumeControls(1, 2);
    EXPECT_EQ(f.eVolCtrl->currentText(), "CD");
    f.Done();
}

TEST_F(VoiceDialogs, MicBufferLabelsAndDurationSwitch) {
    TfrmCfgMic f;
    f.Init();
    EXPECT_EQ(f.lbLatency->text(), "100 ms");
    f.ePackets->SetPosition(20);
    f.ePacketTime->SetPosition(50);
    EXPECT_EQ(f.lbPackets->text(), "20");
    EXPECT_EQ(f.lbPacketTime->text(), "50 ms");
    EXPECT_EQ(f.lbLatency->text(), "1000 ms");
    f.ePackets->SetPosition(99);  // the track bar keeps its range
    EXPECT_EQ(f.lbPackets->text(), "20");

    f.eSec->setCurrentIndex(59);
    EXPECT_TRUE(f.eDuration->isChecked());
    EXPECT_NE(f.BuildSourceAddress().find("&duration=00:00:59"), std::string::npos);
    f.eDuration->setChecked(false);
    EXPECT_EQ(f.BuildSourceAddress().find("duration"), std::string::npos);
    f.Done();
}

TEST_F(VoiceDialogs, MixerButtonRunsTheConfiguredProgramOrSaysWhy) {
    GuiConfig = TConfigDoc_XML::Create("");
    QString program;
    QStringList arguments;
    SetProcessStarter([&](const QString& P, const QStringList& A) {
        program = P;
        arguments = A;
        return true;
    });
    std::vector<std::string> messages;
    SetMessageHandler([&](const TMessageRequest& R) {
        messages.push_back(R.Text);
        return MsgButton::OK;
    });
    GuiConfig->Section("Mixer")->WriteString("Command", "/bin/true --card %c --view %v");
    TfrmCfgMic f;
    f.Init();
    f.eDriverType->setCurrentIndex(1);
    f.eDevice->setCurrentIndex(1);
    f.btMixer->Click();
    EXPECT_EQ(program, "/bin/true");
    EXPECT_EQ(arguments, (QStringList{"--card", "1", "--view", "capture"}));
    EXPECT_TRUE(messages.empty());

    GuiConfig->Section("Mixer")->WriteString("Command", "no-such-mixer-program -x");
    program.clear();
    f.btMixer->Click();
    EXPECT_TRUE(program.isEmpty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "The mixer program no-such-mixer-program could not be started.");
    f.Done();
}

// Runs the voice dialog on Doc; Step fills it in and answers whether to press OK.
bool RunVoiceDialog(IConfigDoc& Doc, std::function<bool(TfrmCfgVoiceFX&)> Step) {
    SetModalHandler([Step](QDialog& d) {
        auto& dialog = dynamic_cast<TfoCfgVoiceFX&>(d);
        EXPECT_EQ(dialog.windowTitle(), "VoiceFX configuration");
        const bool ok = Step(*dialog.frmCfgVoiceFX1);
        SetFormTag(&dialog, ok ? 1 : 2);
        return int(ok ? QDialog::Accepted : QDialog::Rejected);
    });
    return VoiceFXConfigDialog(Doc);
}

TEST_F(VoiceDialogs, VoiceDialogOnAnEmptyDocumentShowsTheDefaultsAndOKWritesThem) {
    auto doc = TConfigDoc_XML::Create("");
    ASSERT_TRUE(RunVoiceDialog(*doc, [](TfrmCfgVoiceFX& f) {
        EXPECT_EQ(f.SelectedDestination(), VoiceDestination::Mixer);
        EXPECT_EQ(f.eModeItems[0]->text(), "None (Auto fade only)");
        EXPECT_FALSE(f.pRecord->isHidden());
        EXPECT_FALSE(f.pRecordBuffer->isHidden());
        EXPECT_TRUE(f.pPlayback->isHidden());
        EXPECT_EQ(f.frmFadeOut->eTime->Position(), 1000);
        EXPECT_EQ(f.frmFadeOut->eLevel->Position(), 80);
        EXPECT_EQ(f.frmFadeOut->eCurve->currentIndex(), 2);
        EXPECT_EQ(f.frmFadeIn->eTime->Position(), 1000);
        EXPECT_TRUE(f.frmFadeIn->eLevel->isHidden());
        EXPECT_TRUE(f.frmFadeIn->eEnabled->isHidden());
        EXPECT_EQ(f.eDevice->currentIndex(), 0);
        EXPECT_EQ(f.ePlaybackDevice->currentText(), "Card 0");
        EXPECT_EQ(f.ePlaybackVolCtrl->currentText(), "Mic");
        // One depth for both directions, whatever the fade-in frame held.
        f.frmFadeOut->eLevel->SetPosition(60);
        f.frmFadeIn->eLevel->SetPosition(30);
        f.frmFadeIn->eTime->SetPosition(2500);
        f.ePackets->SetPosition(7);
        f.eDevice->setCurrentIndex(2);
        return true;
    }));
    EXPECT_EQ(doc->ReadInteger("VoiceMode", -1), 0);
    EXPECT_EQ(doc->ReadInteger("MixPoint", -1), 0);
    EXPECT_TRUE(doc->ReadBool("AutoFade", false));
    auto fadeOut = doc->Section("FadeOut"), fadeIn = doc->Section("FadeIn");
    EXPECT_EQ(fadeOut->ReadInteger("Level", 0), 60);
    EXPECT_EQ(fadeIn->ReadInteger("Level", 0), 60);
    EXPECT_EQ(fadeIn->ReadInteger("Time", 0), 2500);
    EXPECT_EQ(fadeOut->ReadInteger("Curve", 0), 2);
    auto record = doc->Section("Record");
    EXPECT_EQ(record->ReadInteger("DriverType", -1), 0);
    EXPECT_EQ(record->ReadString("SoundDevice", "?"), "plughw:2");
    EXPECT_EQ(record->ReadString("DeviceName", "?"), "Line In");
    EXPECT_EQ(record->ReadInteger("Packets", 0), 7);
    EXPECT_EQ(record->ReadInteger("PacketTime", 0), 10);
    auto playback = doc->Section("Playback");
    EXPECT_EQ(playback->ReadInteger("PlayDeviceID", -1), 0);
    EXPECT_EQ(playback->ReadInteger("PlayVolCtrlID", -1), 1);
    EXPECT_TRUE(playback->ReadBool("AutoMute", false));
}

TEST_F(VoiceDialogs, StoredSettingsShowAndUnknownKeysStay) {
    auto doc = TConfigDoc_XML::Create("");
    doc->WriteInteger("VoiceMode", 1);
    doc->WriteInteger("MusicVolume", 200);
    doc->WriteInteger("Speed", -3);
    doc->WriteBool("AutoFade", false);
    doc->Section("FadeOut")->WriteInteger("Time", 400);
    doc->Section("FadeOut")->WriteInteger("Curve", 3);
    auto record = doc->Section("Record");
    record->WriteInteger("DriverType", 1);
    record->WriteString("SoundDevice", "hw:CARD=9,DEV=0");  // gone from the machine
    record->WriteString("DeviceName", "Card 1");            // but its name is there
    record->WriteInteger("PacketTime", 25);
    auto playback = doc->Section("Playback");
    playback->WriteInteger("PlayDeviceID", 1);
    playback->WriteInteger("PlayVolCtrlID", 2);
    playback->WriteBool("AutoMute", false);
    ASSERT_TRUE(RunVoiceDialog(*doc, [](TfrmCfgVoiceFX& f) {
        EXPECT_EQ(f.SelectedDestination(), VoiceDestination::Soundcard);
        EXPECT_TRUE(f.pRecord->isHidden());
        EXPECT_FALSE(f.pPlayback->isHidden());
        EXPECT_FALSE(f.eAutoFade->isChecked());
        EXPECT_EQ(f.frmFadeOut->eTime->Position(), 400);
        EXPECT_EQ(f.frmFadeOut->eCurve->currentIndex(), 3);
        EXPECT_TRUE(f.IsKernelStreaming());
        EXPECT_EQ(f.eDevice->currentText(), "Card 1");
        EXPECT_EQ(f.ePacketTime->Position(), 25);
        EXPECT_EQ(f.lbLatency->text(), "250 ms");
        EXPECT_EQ(f.ePlaybackDevice->currentIndex(), 1);
        EXPECT_EQ(f.ePlaybackVolCtrl->currentText(), "Line");
        EXPECT_FALSE(f.eAutoMute->isChecked());
        f.PickDestination(VoiceDestination::None);
        EXPECT_TRUE(f.pRecord->isHidden());
        EXPECT_TRUE(f.pPlayback->isHidden());
        return true;
    }));
    EXPECT_EQ(doc->ReadInteger("VoiceMode", -1), 2);
    EXPECT_EQ(doc->ReadInteger("MusicVolume", 0), 200);
    EXPECT_EQ(doc->ReadInteger("Speed", 0), -3);
    // The device found by its name, its ID stored from the list.
    EXPECT_EQ(record->ReadString("SoundDevice", ""), "hw:CARD=1,DEV=0");
    EXPECT_EQ(playback->ReadInteger("PlayVolCtrlID", -1), 2);

    // A stored device of which neither ID nor name is listed: the driver's first device.
    record->WriteString("SoundDevice", "hw:CARD=7,DEV=0");
    record->WriteString("DeviceName", "Card 7");
    ASSERT_TRUE(RunVoiceDialog(*doc, [](TfrmCfgVoiceFX& f) {
        EXPECT_EQ(f.eDevice->currentIndex(), 0);
        return true;
    }));
    EXPECT_EQ(record->ReadString("SoundDevice", ""), "\\\\?\\hw#{card0}");
    EXPECT_EQ(record->ReadString("DeviceName", ""), "Card 0");

    // Cancel leaves the document as it was.
    const std::string before = doc->GetXML();
    EXPECT_FALSE(RunVoiceDialog(*doc, [](TfrmCfgVoiceFX& f) {
        f.PickDestination(VoiceDestination::Mixer);
        f.frmFadeOut->eTime->SetPosition(3000);
        return false;
    }));
    EXPECT_EQ(doc->GetXML(), before);
}

TEST_F(VoiceDialogs, ARemovedDestinationIsKeptUnlessAnotherIsPicked) {
    auto doc = TConfigDoc_XML::Create("");
    doc->WriteInteger("VoiceMode", 0);
    doc->WriteInteger("MixPoint", 1);
    ASSERT_TRUE(RunVoiceDialog(*doc, [](TfrmCfgVoiceFX& f) {
        EXPECT_EQ(f.SelectedDestination(), -1);  // the list has no item for it
        EXPECT_FALSE(f.pRecord->isHidden());
        f.frmFadeOut->eTime->SetPosition(1500);
        return true;
    }));
    EXPECT_EQ(doc->ReadInteger("VoiceMode", -1), 0);
    EXPECT_EQ(doc->ReadInteger("MixPoint", -1), 1);
    EXPECT_EQ(doc->Section("FadeOut")->ReadInteger("Time", 0), 1500);

    ASSERT_TRUE(RunVoiceDialog(*doc, [](TfrmCfgVoiceFX& f) {
        f.PickDestination(VoiceDestination::Soundcard);
        EXPECT_FALSE(f.pPlayback->isHidden());
        return true;
    }));
    EXPECT_EQ(doc->ReadInteger("VoiceMode", -1), 1);
    EXPECT_EQ(doc->ReadInteger("MixPoint", -1), 0);
}

TEST_F(VoiceDialogs, WithoutCardsTheStoredMixerLineStaysAndThePictureFollowsTheFades) {
    platform::SetMixerBackendFactory(
        [] { return platform::CreateMemoryMixerBackend(std::make_shared<platform::TMemoryMixerModel>()); });
    auto doc = TConfigDoc_XML::Create("");
    doc->Section("Playback")->WriteInteger("PlayDeviceID", 1);
    doc->Section("Playback")->WriteInteger("PlayVolCtrlID", 3);
    ASSERT_TRUE(RunVoiceDialog(*doc, [](TfrmCfgVoiceFX& f) {
        EXPECT_EQ(f.ePlaybackDevice->count(), 0);
        EXPECT_EQ(f.ePlaybackVolCtrl->count(), 0);
        // A change is drawn once the timer runs out.
        f.DrawTimerTimer();
        const QImage before = f.frmXFadeGraph1->Bitmap();
        f.frmFadeOut->eTime->SetPosition(5000);
        EXPECT_TRUE(f.DrawTimer->isActive());
        EXPECT_EQ(f.frmXFadeGraph1->Bitmap(), before);
        f.DrawTimerTimer();
        EXPECT_FALSE(f.DrawTimer->isActive());
        EXPECT_NE(f.frmXFadeGraph1->Bitmap(), before);
        EXPECT_EQ(f.Settings().FadeOut.Time, 5000);
        return true;
    }));
    EXPECT_EQ(doc->Section("Playback")->ReadInteger("PlayDeviceID", -1), 1);
    EXPECT_EQ(doc->Section("Playback")->ReadInteger("PlayVolCtrlID", -1), 3);
}

TEST_F(VoiceDialogs, AlsaListsTheNamedCapturePcmsAndNoCardsGiveEmptyLists) {
    SetCaptureDeviceLister(RecordDriver::DirectSound, nullptr);
    SetCaptureDeviceLister(RecordDriver::KernelStreaming, nullptr);
    platform::SetMixerBackendFactory(nullptr);
    voicetest::TAlsaMicConf conf(voicetest::Tone(100, 1000));
    const TCaptureDeviceList shared = ListCaptureDevices(RecordDriver::DirectSound);
    ASSERT_FALSE(shared.IDs.empty());
    EXPECT_EQ(shared.IDs[0], "");
    EXPECT_EQ(shared.Names[0], "Primary Sound Capture Driver");
    auto mic = std::find(shared.IDs.begin(), shared.IDs.end(), "kelvar_mic");
    ASSERT_NE(mic, shared.IDs.end());
    EXPECT_EQ(shared.Names[static_cast<size_t>(mic - shared.IDs.begin())], "Test microphone (kelvar_mic)");
    EXPECT_TRUE(ListCaptureDevices(RecordDriver::KernelStreaming).IDs.empty());
    EXPECT_TRUE(MixerDeviceNames().empty());
    EXPECT_TRUE(MixerSourceLines(0, 1).empty());
}

}  // namespace
}  // namespace kelvar
