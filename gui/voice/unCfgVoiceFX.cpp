#include "gui/voice/unCfgVoiceFX.h"

#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/voice/funCfgVoiceFX.h"

namespace kelvar {

TfoCfgVoiceFX::TfoCfgVoiceFX(QWidget* Parent) : QDialog(Parent) {
    setObjectName("foCfgVoiceFX");
    setWindowTitle("VoiceFX configuration");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    frmCfgVoiceFX1 = new TfrmCfgVoiceFX(this);
    frmCfgVoiceFX1->move(0, 0);
    frmOKCancel1 = new TfrmOKCancel(this);
    frmOKCancel1->setGeometry(0, frmCfgVoiceFX1->height(), frmCfgVoiceFX1->width(), TfrmOKCancel::BarHeight);
    setFixedSize(frmCfgVoiceFX1->width(), frmCfgVoiceFX1->height() + TfrmOKCancel::BarHeight);
}

bool VoiceFXConfigDialog(IConfigDoc& Doc) {
    TfoCfgVoiceFX dialog;
    dialog.frmCfgVoiceFX1->Init();
    dialog.frmCfgVoiceFX1->LoadFrom(Doc);
    SetFormTag(&dialog, 2);
    ExecModal(dialog);
    const bool accepted = GetFormTag(&dialog) == 1;
    if (accepted) dialog.frmCfgVoiceFX1->SaveTo(Doc);
    dialog.frmCfgVoiceFX1->Done();
    return accepted;
}

}  // namespace kelvar
