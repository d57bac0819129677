#pragma once
// A real core (its six players, voice and audio pipe, no sound card) for the audio settings
// pages, with the presets file and the DSP plug-in folders in a temporary folder.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/nodes/WinampDSPList.h"
#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "common/TempFolder.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/audioconfig/EQPresets.h"
#include "gui/audioconfig/unCfgPlayer.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar::audioconfigtest {

class TCoreFixture : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        std::filesystem::create_directories(Temp.File("plugins"));
        SetEQPresetFileName(Temp.File("kelvar.EQ.ini"));
        FreeWinampDSPList();
        SetWinampDSPFolders({Temp.File("plugins") + "/", "", Temp.File("dsp.ini")});
        Core = std::make_unique<TKelvar>();
        Core->Init();
        auto doc = TConfigDoc_XML::Create("");
        auto kelvar = doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*kelvar);
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
        // No dialog may wait for a person; a test that expects one sets its own handler.
        SetMessageHandler([](const TMessageRequest& r) {
            ADD_FAILURE() << "unexpected message: " << r.Text;
            return MsgButton::OK;
        });
        SetModalHandler([](QDialog&) {
            ADD_FAILURE() << "unexpected modal dialog";
            return int(QDialog::Rejected);
        });
    }
    void TearDown() override {
        CloseAudioSettings();
        SetMessageHandler(nullptr);
        SetModalHandler(nullptr);
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        FreeWinampDSPList();
        SetEQPresetFileName("");
        TSongDbFixture::TearDown();
    }

    // The core's configuration as XML.
    std::string CoreXml() {
        auto doc = TConfigDoc_XML::Create("");
        Core->SaveConfig(*doc->Section("Kelvar"));
        return doc->GetXML();
    }

    test::TTempFolder Temp;
    std::unique_ptr<TKelvar> Core;
    std::unique_ptr<TKelvarApi> Api;
};

// Root-mean-square of 16-bit stereo samples.
inline double Rms(const std::vector<int16_t>& Samples) {
    double sum = 0;
    for (int16_t s : Samples) sum += double(s) * s;
    return Samples.empty() ? 0 : std::sqrt(sum / double(Samples.size()));
}

inline std::vector<int16_t> Sine(double Hz, int Frames, double Amplitude = 8000) {
    std::vector<int16_t> s(static_cast<size_t>(Frames) * 2);
    for (int i = 0; i < Frames; ++i) {
        const auto v = static_cast<int16_t>(Amplitude * std::sin(2 * M_PI * Hz * i / 44100.0));
        s[2 * static_cast<size_t>(i)] = v;
        s[2 * static_cast<size_t>(i) + 1] = v;
    }
    return s;
}

}  // namespace kelvar::audioconfigtest
