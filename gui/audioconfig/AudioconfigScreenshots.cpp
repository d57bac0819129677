#include "gui/audioconfig/AudioconfigScreenshots.h"

#include <memory>

#include "core/Kelvar.h"
#include "gui/audioconfig/funCfgPlayer.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/Screenshots.h"

namespace kelvar {

namespace {

std::unique_ptr<QWidget> Window(const TAudioObject& Object, const char* Page) {
    auto window = std::make_unique<TfoCfgPlayer>();
    window->frmCfgPlayer1->SelectObject(Object);
    window->frmCfgPlayer1->SetPage(Page);
    return window;
}

TAudioObject DeckA() { return GuiKelvar ? TAudioObject(GuiKelvar->DeckA) : TAudioObject(); }

}  // namespace

void RegisterAudioconfigScreenshots() {
    RegisterScreenshot("AudioSettingsEQ", [] { return Window(DeckA(), "EQ"); });
    RegisterScreenshot("AudioSettingsAGC", [] { return Window(DeckA(), "AGC"); });
    RegisterScreenshot("AudioSettingsDSP", [] { return Window(DeckA(), "DSP"); });
    RegisterScreenshot("AudioSettingsOutput", [] {
        return Window(GuiKelvar && GuiKelvar->AudioPipe ? TAudioObject(GuiKelvar->AudioPipe.get()) : TAudioObject(),
                      "OUTPUT");
    });
}

}  // namespace kelvar
