#pragma once
// A real core over the test database, with an in-memory sound card mixer, for the voice and
// master volume windows.
#include <gtest/gtest.h>

#include <memory>

#include "VoiceTestKit.h"
#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar::voicetest {

class TVoiceCoreFixture : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        Mixer = InstallMixer({"Card 0"}, {"PCM", "Mic", "Line"}, {"Line", "Mic Volume"});
        Core = NewCore(*Doc->Section("Kelvar"));
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
    }
    void TearDown() override {
        SetModalHandler(nullptr);
        SetMessageHandler(nullptr);
        GuiHeartBeat = nullptr;
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        platform::SetMixerBackendFactory(nullptr);
        TSongDbFixture::TearDown();
    }

    std::unique_ptr<TKelvar> NewCore(IConfigDoc& Section) {
        auto core = std::make_unique<TKelvar>();
        core->SetLogger(Log);
        core->Init();
        Section.WriteInteger("ProcessPriority", PriorityClass::Normal);
        core->LoadConfig(Section);
        return core;
    }

    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc = TConfigDoc_XML::Create("");
    platform::TMemoryMixerModelPtr Mixer;
    std::unique_ptr<TKelvar> Core;
    std::unique_ptr<TKelvarApi> Api;
};

}  // namespace kelvar::voicetest
