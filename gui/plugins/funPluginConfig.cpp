#include "gui/plugins/funPluginConfig.h"

#include "gui/plugins/funOKCancel.h"
#include "gui/plugins/unPluginConfig.h"

namespace kelvar {

TfrmPluginConfig::TfrmPluginConfig(QWidget* Parent) : QFrame(Parent) {
    resize(320, 240);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(238, 234, 219));
    setPalette(colours);
}

void TfrmPluginConfig::LoadSettings(IConfigDoc&) {}
void TfrmPluginConfig::SaveSettings(IConfigDoc&) {}
bool TfrmPluginConfig::CanClose() { return true; }

bool TPluginConfig::Configure(IConfigDoc& Node) {
    std::unique_ptr<TfrmPluginConfig> frame = CreateFrame();
    frame->LoadSettings(Node);
    bool confirmed = false;
    {
        TfoPluginConfig dialog;
        dialog.setWindowTitle(frame->Title);
        dialog.SetFrame(frame.get());
        SetFormTag(&dialog, 2);
        // The frame is taken back whatever happens, so it is freed once, by us.
        struct TDetach {
            TfrmPluginConfig* Frame;
            TfoPluginConfig& Dialog;
            ~TDetach() {
                Frame->hide();
                Dialog.SetFrame(nullptr);
                Frame->setParent(nullptr);
            }
        } detach{frame.get(), dialog};
        dialog.exec();
        if (GetFormTag(&dialog) == 1) {
            frame->SaveSettings(Node);
            confirmed = true;
        }
    }
    return confirmed;
}

}  // namespace kelvar
