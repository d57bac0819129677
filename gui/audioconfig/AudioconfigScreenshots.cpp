#include "gui/audioconfig/AudioconfigScreenshots.h"

#include <memory>

#include "core/KelvarApi.h"
#include "gui/audioconfig/funCfgPlayer.h"
#include "gui/engine/Screenshots.h"

namespace kelvar {

namespace {

std::unique_ptr<QWidget> Window(const TAudioObject& Object, const char* Page) {
    auto window = std::make_unique<TfoCfgPlayer>();
    window->frmCfgPlayer1->SelectObject(Object);
    window->frmCfgPlayer1->SetPage(Page);
    return window;
}

TAudioObject DeckA() {
    TKelvarApi* api = ProgramKelvarApi();
    return api ? TAudioObject(api->DeckPlayer(TDeckId::DeckA)) : TAudioObject();
}

TAudioObject Output() {
    TKelvarApi* api = ProgramKelvarApi();
    return api && api->AudioPipe() ? TAudioObject(api->AudioPipe()) : TAudioObject();
}

}  // namespace

void RegisterAudioconfigScreenshots() {
    RegisterScreenshot("AudioSettingsEQ", [] { return Window(DeckA(), "EQ"); });
    RegisterScreenshot("AudioSettingsAGC", [] { return Window(DeckA(), "AGC"); });
    RegisterScreenshot("AudioSettingsDSP", [] { return Window(DeckA(), "DSP"); });
    RegisterScreenshot("AudioSettingsOutput", [] { return Window(Output(), "OUTPUT"); });
}

}  // namespace kelvar
