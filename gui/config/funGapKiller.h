#pragma once
// The shared gap killer settings every deck's gap killer loads.
#include <QCheckBox>
#include <QFrame>
#include <QSpinBox>

#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmGapKiller : public QFrame {
public:
    explicit TfrmGapKiller(QWidget* Parent = nullptr);

    // Section "GapKillerEx"; each key read with the control's state as the default.
    void LoadFrom(IConfigDoc& Section);
    void SaveTo(IConfigDoc& Section);

    QCheckBox* eEnabled = nullptr;
    QCheckBox* eRemoveFront = nullptr;
    QCheckBox* eRemoveBack = nullptr;
    QSpinBox* eTriggerFront = nullptr;
    QSpinBox* eTriggerBack = nullptr;
    QCheckBox* eSkipBlips = nullptr;
    QSpinBox* eBlipTime = nullptr;
    QCheckBox* eTriggerMaxGap = nullptr;
    QSpinBox* eMaxGap = nullptr;
};

}  // namespace kelvar
