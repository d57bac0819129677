#include "gui/config/funAutoRecovery.h"

#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kelvar {

TfrmAutoRecovery::TfrmAutoRecovery(QWidget* Parent) : QFrame(Parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* box = new QGroupBox("Zeziror IV options", this);
    auto* column = new QVBoxLayout(box);
    auto* modes = new QGroupBox("DJ Mode", box);
    auto* modeColumn = new QVBoxLayout(modes);
    eDJMode = new QButtonGroup(this);
    int id = 0;
    for (const char* caption : {"Auto DJ", "Play until Queue is empty", "Manual DJ"}) {
        auto* radio = new QRadioButton(caption, modes);
        eDJMode->addButton(radio, id++);
        modeColumn->addWidget(radio);
    }
    column->addWidget(modes);
    eEnableRecovery = new QCheckBox("Enable Auto error recovery", box);
    eEnableRecovery->setObjectName("eEnableRecovery");
    eEnableRecovery->setChecked(true);
    column->addWidget(eEnableRecovery);
    gRecovery = new QGroupBox(box);
    gRecovery->setObjectName("gRecovery");
    auto* grid = new QGridLayout(gRecovery);
    auto makeSpin = [&](const char* Name) {
        auto* spin = new QSpinBox(gRecovery);
        spin->setObjectName(Name);
        spin->setRange(1, 600);
        spin->setValue(5);
        return spin;
    };
    eMaxIdleTime = makeSpin("eMaxIdleTime");
    eMaxWaitTime = makeSpin("eMaxWaitTime");
    grid->addWidget(new QLabel("Max player idle time", gRecovery), 0, 0);
    grid->addWidget(eMaxIdleTime, 0, 1);
    grid->addWidget(new QLabel("seconds", gRecovery), 0, 2);
    grid->addWidget(new QLabel("User response time", gRecovery), 1, 0);
    grid->addWidget(eMaxWaitTime, 1, 1);
    grid->addWidget(new QLabel("seconds", gRecovery), 1, 2);
    column->addWidget(gRecovery);
    outer->addWidget(box);
    SetDJModeIndex(0);

    QObject::connect(eDJMode, &QButtonGroup::idToggled, this, [this](int, bool) { UpdateStates(); });
    QObject::connect(eEnableRecovery, &QCheckBox::toggled, this, [this] { UpdateStates(); });
}

void TfrmAutoRecovery::SetDJModeIndex(int Index) {
    if (QAbstractButton* button = eDJMode->button(Index)) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = eDJMode->checkedButton()) {
        eDJMode->setExclusive(false);
        checked->setChecked(false);
        eDJMode->setExclusive(true);
    }
    UpdateStates();
}

void TfrmAutoRecovery::UpdateStates() {
    eEnableRecovery->setEnabled(DJModeIndex() != 2);
    gRecovery->setVisible(eEnableRecovery->isChecked());
}

void TfrmAutoRecovery::LoadFrom(IConfigDoc& Section) {
    SetDJModeIndex(static_cast<int>(Section.ReadInteger("DJMode", DJModeIndex())));
    eEnableRecovery->setChecked(Section.ReadBool("AutoRecoveryEnabled", eEnableRecovery->isChecked()));
    eMaxIdleTime->setValue(static_cast<int>(Section.ReadInteger("MaxIdleTime", eMaxIdleTime->value())));
    eMaxWaitTime->setValue(static_cast<int>(Section.ReadInteger("MaxWaitTime", eMaxWaitTime->value())));
    UpdateStates();
}

void TfrmAutoRecovery::SaveTo(IConfigDoc& Section) {
    Section.WriteInteger("DJMode", DJModeIndex());
    Section.WriteBool("AutoRecoveryEnabled", eEnableRecovery->isChecked());
    Section.WriteInteger("MaxIdleTime", eMaxIdleTime->value());
    Section.WriteInteger("MaxWaitTime", eMaxWaitTime->value());
}

}  // namespace kelvar
