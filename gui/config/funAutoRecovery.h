#pragma once
// The automation mode and the auto recovery settings.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QSpinBox>

#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmAutoRecovery : public QFrame {
public:
    explicit TfrmAutoRecovery(QWidget* Parent = nullptr);

    // Section "AutoRecovery".
    void LoadFrom(IConfigDoc& Section);
    void SaveTo(IConfigDoc& Section);

    int DJModeIndex() const { return eDJMode->checkedId(); }
    void SetDJModeIndex(int Index);

    QButtonGroup* eDJMode = nullptr;
    QCheckBox* eEnableRecovery = nullptr;
    QGroupBox* gRecovery = nullptr;
    QSpinBox* eMaxIdleTime = nullptr;
    QSpinBox* eMaxWaitTime = nullptr;

private:
    // Recovery only outside Manual DJ; its times only while it is on.
    void UpdateStates();
};

}  // namespace kelvar
