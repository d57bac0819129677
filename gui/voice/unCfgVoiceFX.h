#pragma once
// The dialog that edits the talk-over voice's settings in a configuration document.
#include <QDialog>

#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmCfgVoiceFX;
class TfrmOKCancel;

class TfoCfgVoiceFX : public QDialog {
public:
    explicit TfoCfgVoiceFX(QWidget* Parent = nullptr);

    TfrmCfgVoiceFX* frmCfgVoiceFX1 = nullptr;
    TfrmOKCancel* frmOKCancel1 = nullptr;
};

// Shows Doc's voice settings; OK writes them back and answers true, otherwise Doc is untouched.
bool VoiceFXConfigDialog(IConfigDoc& Doc);

}  // namespace kelvar
