#include "gui/voice/unCfgMic.h"

#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/voice/funCfgMic.h"

namespace kelvar {

TfoCfgMic::TfoCfgMic(QWidget* Parent) : QDialog(Parent) {
    setObjectName("foCfgMic");
    setWindowTitle("Soundcard recording configuration");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    frmCfgMic1 = new TfrmCfgMic(this);
    frmCfgMic1->move(0, 0);
    frmOKCancel1 = new TfrmOKCancel(this);
    frmOKCancel1->setGeometry(0, frmCfgMic1->height(), frmCfgMic1->width(), TfrmOKCancel::BarHeight);
    setFixedSize(frmCfgMic1->width(), frmCfgMic1->height() + TfrmOKCancel::BarHeight);
}

bool MicSourceDialog(std::string& Address, std::string& DisplayName) {
    TfoCfgMic dialog;
    dialog.frmCfgMic1->SetDisplayName(DisplayName);
    dialog.frmCfgMic1->Init();
    SetFormTag(&dialog, 2);
    ExecModal(dialog);
    const bool accepted = GetFormTag(&dialog) == 1;
    if (accepted) {
        DisplayName = dialog.frmCfgMic1->GetDisplayName();
        Address = dialog.frmCfgMic1->BuildSourceAddress();
    }
    dialog.frmCfgMic1->Done();
    return accepted;
}

}  // namespace kelvar
