#include "gui/config/funGapKiller.h"

#include <QGridLayout>
#include <QLabel>

namespace kelvar {

namespace {

QSpinBox* MakeSpin(QWidget* Parent, const char* Name, int Min, int Max, int Value) {
    auto* spin = new QSpinBox(Parent);
    spin->setObjectName(Name);
    spin->setRange(Min, Max);
    spin->setValue(Value);
    return spin;
}

QCheckBox* MakeCheck(QWidget* Parent, const char* Name, const char* Caption, bool Checked) {
    auto* box = new QCheckBox(Caption, Parent);
    box->setObjectName(Name);
    box->setChecked(Checked);
    return box;
}

}  // namespace

TfrmGapKiller::TfrmGapKiller(QWidget* Parent) : QFrame(Parent) {
    auto* grid = new QGridLayout(this);
    eEnabled = MakeCheck(this, "eEnabled", "Enable gap killer (By default)", true);
    grid->addWidget(eEnabled, 0, 0, 1, 2);
    grid->addWidget(new QLabel("(Can be overrided on a per track basis)", this), 0, 2, 1, 3);

    eRemoveFront = MakeCheck(this, "eRemoveFront", "Remove silence from beginning of track", true);
    eTriggerFront = MakeSpin(this, "eTriggerFront", -60, -1, -20);
    eRemoveBack = MakeCheck(this, "eRemoveBack", "Remove silence from end of track", true);
    eTriggerBack = MakeSpin(this, "eTriggerBack", -60, -1, -24);
    int row = 1;
    for (auto [box, spin] : {std::pair{eRemoveFront, eTriggerFront}, std::pair{eRemoveBack, eTriggerBack}}) {
        grid->addWidget(box, row, 0, 1, 2);
        grid->addWidget(new QLabel("Trigger at", this), row, 2);
        grid->addWidget(spin, row, 3);
        grid->addWidget(new QLabel("dB", this), row, 4);
        ++row;
    }

    eSkipBlips = MakeCheck(this, "eSkipBlips", "Detect and skip blips", true);
    eBlipTime = MakeSpin(this, "eBlipTime", 0, 50, 10);
    grid->addWidget(eSkipBlips, row, 0);
    grid->addWidget(new QLabel("of", this), row, 1);
    grid->addWidget(eBlipTime, row, 2);
    grid->addWidget(new QLabel("ms or less", this), row, 3, 1, 2);
    ++row;

    // The sign of the stored time carries the switch, so the time is never 0.
    eTriggerMaxGap = MakeCheck(this, "eTriggerMaxGap", "Trigger end of song if more than ", false);
    eMaxGap = MakeSpin(this, "eMaxGap", 1, 20, 15);
    grid->addWidget(eTriggerMaxGap, row, 0);
    grid->addWidget(eMaxGap, row, 1);
    grid->addWidget(new QLabel("seconds of silence is detected", this), row, 2, 1, 3);
    grid->setRowStretch(row + 1, 1);
    grid->setColumnStretch(5, 1);
}

void TfrmGapKiller::LoadFrom(IConfigDoc& Section) {
    for (QCheckBox* box : {eEnabled, eRemoveFront, eRemoveBack, eSkipBlips}) {
        const std::string key = box->objectName().mid(1).toStdString();
        box->setChecked(Section.ReadBool(key, box->isChecked()));
    }
    for (QSpinBox* spin : {eTriggerFront, eTriggerBack, eBlipTime}) {
        const std::string key = spin->objectName().mid(1).toStdString();
        spin->setValue(static_cast<int>(Section.ReadInteger(key, spin->value())));
    }
    // A missing key keeps what the controls show, the switch included (the deck's own default
    // is off as well).
    const int64_t shown = int64_t{eMaxGap->value()} * (eTriggerMaxGap->isChecked() ? 1000 : -1000);
    const int64_t seconds = Section.ReadInteger("MaxGap", shown) / 1000;
    eTriggerMaxGap->setChecked(seconds > 0);
    eMaxGap->setValue(static_cast<int>(seconds < 0 ? -seconds : seconds));
}

void TfrmGapKiller::SaveTo(IConfigDoc& Section) {
    for (QCheckBox* box : {eEnabled, eRemoveFront, eRemoveBack, eSkipBlips})
        Section.WriteBool(box->objectName().mid(1).toStdString(), box->isChecked());
    for (QSpinBox* spin : {eTriggerFront, eTriggerBack, eBlipTime})
        Section.WriteInteger(spin->objectName().mid(1).toStdString(), spin->value());
    const int64_t ms = int64_t{eMaxGap->value()} * 1000;
    Section.WriteInteger("MaxGap", eTriggerMaxGap->isChecked() ? ms : -ms);
}

}  // namespace kelvar
