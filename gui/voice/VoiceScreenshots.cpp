#include "gui/voice/VoiceScreenshots.h"

#include <memory>

#include "core/KelvarApi.h"
#include "core/VoiceAccess.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/Screenshots.h"
#include "gui/voice/funCfgMic.h"
#include "gui/voice/funCfgVoiceFX.h"
#include "gui/voice/funMasterVolume.h"
#include "gui/voice/funVoiceFX.h"
#include "gui/voice/unCfgMic.h"
#include "gui/voice/unCfgVoiceFX.h"

namespace kelvar {

void RegisterVoiceScreenshots() {
    RegisterScreenshot("VoiceFX", []() -> std::unique_ptr<QWidget> {
        auto frame = std::make_unique<TfrmVoiceFX>();
        TKelvarApi* api = ProgramKelvarApi();
        frame->Init(api ? api->Voice() : nullptr);
        frame->ShowText("Idle...");
        frame->Done();
        return frame;
    });
    RegisterScreenshot("MasterVolume", []() -> std::unique_ptr<QWidget> {
        auto frame = std::make_unique<TfrmMasterVolume>();
        frame->Init(ProgramKelvarApi());
        frame->Done();
        return frame;
    });
    RegisterScreenshot("MicSource", []() -> std::unique_ptr<QWidget> {
        auto dialog = std::make_unique<TfoCfgMic>();
        dialog->frmCfgMic1->SetDisplayName("Live recording");
        dialog->frmCfgMic1->Init();
        return dialog;
    });
    RegisterScreenshot("VoiceFXConfig", []() -> std::unique_ptr<QWidget> {
        auto dialog = std::make_unique<TfoCfgVoiceFX>();
        auto doc = TConfigDoc_XML::Create("");
        if (TKelvarApi* api = ProgramKelvarApi()) TVoiceAccess(api->Voice()).SaveConfig(*doc);
        dialog->frmCfgVoiceFX1->Init();
        dialog->frmCfgVoiceFX1->LoadFrom(*doc);
        dialog->frmCfgVoiceFX1->DrawTimerTimer();
        return dialog;
    });
}

}  // namespace kelvar
